// The keypad under the LCD: clicks reach the machine's keyboard matrix and
// ON key as the PC keys do, a right click holds a key for combinations, the
// keys the machine holds are drawn pressed, and the picture keeps its size
// beside an LCD of exactly zoom x 240 by zoom x 128 pixels.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QKeyEvent>
#include <QTest>
#include <cstdlib>

#include "host/help_windows.h"
#include "host/keypad_view.h"
#include "host/main_window.h"
#include "machine/calculator.h"
#include "tests/host/shell_fixture.h"

namespace pellux {
namespace {

using test::ShellFixture;

constexpr unsigned kCodeA = 74, kCode2nd = 0, kCodeDiamond = 1, kCodeUp = 5, kCodeOn = 128;

// What the machine sees: the matrix bits that are 0 (held), by code, and ON.
std::vector<unsigned> HeldCodes(const Calculator& calc) {
  std::vector<unsigned> held;
  for (unsigned code = 0; code < kMatrixKeyCount; ++code) {
    if (!(calc.keyMatrix[code / 8] & (1u << (code % 8)))) held.push_back(code);
  }
  if (!(calc.ports[port::kOnKey] & 0x02)) held.push_back(kCodeOn);
  return held;
}

QPoint CentreOf(const KeypadView& keypad, unsigned code) {
  const KeypadKey* key = KeypadKeyOf(code);
  EXPECT_NE(key, nullptr) << code;
  return key ? keypad.KeyRect(*key).center().toPoint() : QPoint();
}

void HandleAll(MainWindow& w) {
  while (w.HandleInput()) {
  }
}

TEST(Keypad, AClickOnEachKindOfKeyPressesExactlyItsKeyAndLetsItGo) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  KeypadView& keypad = w.keypad();
  const struct {
    const char* kind;
    unsigned code;
  } cases[] = {
      {"letter A", kCodeA}, {"2nd", kCode2nd}, {"diamond", kCodeDiamond}, {"ON", kCodeOn}, {"up", kCodeUp}};
  for (const auto& c : cases) {
    const QPoint at = CentreOf(keypad, c.code);
    QTest::mousePress(&keypad, Qt::LeftButton, {}, at);
    HandleAll(w);
    EXPECT_EQ(HeldCodes(f.calc()), std::vector<unsigned>{c.code}) << c.kind;
    QTest::mouseRelease(&keypad, Qt::LeftButton, {}, at);
    HandleAll(w);
    EXPECT_EQ(HeldCodes(f.calc()), std::vector<unsigned>{}) << c.kind;
    EXPECT_EQ(f.calc().anyKeyDown, 0u) << c.kind;
  }
  // Between the keys nothing is pressed.
  QTest::mouseClick(&keypad, Qt::LeftButton, {}, QPoint(1, 1));
  HandleAll(w);
  EXPECT_EQ(HeldCodes(f.calc()), std::vector<unsigned>{});
}

TEST(Keypad, ARightClickHoldsAModifierForTheNextClickedKey) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  KeypadView& keypad = w.keypad();
  for (const unsigned modifier : {kCode2nd, kCodeDiamond}) {
    QTest::mouseClick(&keypad, Qt::RightButton, {}, CentreOf(keypad, modifier));
    HandleAll(w);
    EXPECT_EQ(HeldCodes(f.calc()), std::vector<unsigned>{modifier});
    EXPECT_EQ(keypad.held(), std::set<unsigned>{modifier}) << "shown held";
    const QPoint a = CentreOf(keypad, kCodeA);
    QTest::mousePress(&keypad, Qt::LeftButton, {}, a);
    HandleAll(w);
    EXPECT_EQ(HeldCodes(f.calc()), (std::vector<unsigned>{modifier, kCodeA})) << "the combination";
    if (std::getenv("PELLUX_KEYPAD_PICTURES")) {
      keypad.grab().save(
          QStringLiteral("%1/held-%2.png").arg(qEnvironmentVariable("PELLUX_KEYPAD_PICTURES")).arg(modifier));
    }
    QTest::mouseRelease(&keypad, Qt::LeftButton, {}, a);
    HandleAll(w);
    EXPECT_EQ(HeldCodes(f.calc()), std::vector<unsigned>{modifier}) << "still held";
    // A click on the held key lets it go.
    QTest::mouseClick(&keypad, Qt::LeftButton, {}, CentreOf(keypad, modifier));
    HandleAll(w);
    EXPECT_EQ(HeldCodes(f.calc()), std::vector<unsigned>{});
    EXPECT_TRUE(keypad.held().empty());
  }
  // A held key goes up with every other when the window loses the keys.
  QTest::mouseClick(&keypad, Qt::RightButton, {}, CentreOf(keypad, kCode2nd));
  HandleAll(w);
  QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(&w, &focusOut);
  HandleAll(w);
  EXPECT_EQ(HeldCodes(f.calc()), std::vector<unsigned>{});
  EXPECT_TRUE(keypad.held().empty());
}

QRgb PixelAt(KeypadView& keypad, QPoint at) {
  const QImage image = keypad.grab().toImage();
  const qreal ratio = image.devicePixelRatio();
  return image.pixel(static_cast<int>(at.x() * ratio), static_cast<int>(at.y() * ratio));
}

TEST(Keypad, AKeyPressedOnThePcKeyboardLightsItsKey) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  KeypadView& keypad = w.keypad();
  const struct {
    int qtKey;
    unsigned code;
  } cases[] = {{Qt::Key_A, kCodeA}, {Qt::Key_End, kCodeOn}, {Qt::Key_Up, kCodeUp}};
  std::uint64_t time = 1;
  for (const auto& c : cases) {
    // Just inside the key's left edge, where no label is drawn.
    const KeypadKey* key = KeypadKeyOf(c.code);
    ASSERT_NE(key, nullptr);
    const QRectF rect = keypad.KeyRect(*key);
    const QPoint edge(static_cast<int>(rect.left() + rect.width() * 0.15),
                      static_cast<int>(rect.bottom() - rect.height() * 0.3));
    const QRgb up = PixelAt(keypad, edge);
    QKeyEvent press(QEvent::KeyPress, c.qtKey, {}, QString());
    press.setTimestamp(time++);
    QCoreApplication::sendEvent(&w, &press);
    HandleAll(w);
    const QRgb down = PixelAt(keypad, edge);
    EXPECT_NE(down, up) << c.code << " drawn pressed";
    QKeyEvent release(QEvent::KeyRelease, c.qtKey, {}, QString());
    release.setTimestamp(time++);
    QCoreApplication::sendEvent(&w, &release);
    HandleAll(w);
    EXPECT_EQ(PixelAt(keypad, edge), up) << c.code << " drawn up again";
  }
}

TEST(Keypad, TooltipsAndTheKeyHelpNameThePcKeysOfTheHostKeyTable) {
  const struct {
    unsigned code;
    const char* text;
  } cases[] = {{kCodeA, "A: PC key A"},
               {kCodeOn, "ON: PC key End"},
               {13, "1: PC key 1 or Num 1"},
               {kCode2nd, "2nd: PC key ="}};
  for (const auto& c : cases) EXPECT_EQ(KeypadView::ToolTipText(*KeypadKeyOf(c.code)), c.text);
  // Help > Keys is the same picture, with the PC keys written on it.
  KeysWindow help(nullptr);
  EXPECT_EQ(help.keypad()->size(), KeypadView::SizeAtZoom(3));
  if (std::getenv("PELLUX_KEYPAD_PICTURES")) {
    help.keypad()->grab().save(qEnvironmentVariable("PELLUX_KEYPAD_PICTURES") +
                               QStringLiteral("/help-keys.png"));
  }
}

// Each LCD size beside the keypad, and the keypad's picture drawn whole at
// the screen's scale. Run again under QT_SCALE_FACTOR 1.5 and 2 (CMake).
TEST(KeypadSizes, TheLcdKeepsItsSizeAndTheKeypadScalesWithTheZoom) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  w.show();
  int lastWidth = 0;
  for (int zoom = 1; zoom <= 5; ++zoom) {
    w.ChangeZoom(zoom);
    const QSize lcd = w.lcdView().size();
    const QSize keypad = w.keypad().size();
    EXPECT_EQ(lcd, QSize(240 * zoom, 128 * zoom)) << zoom;
    if (zoom >= 2) {
      EXPECT_EQ(keypad.width(), lcd.width()) << "as wide as the LCD at " << zoom;
    }
    EXPECT_GE(keypad.width(), lastWidth) << zoom;
    lastWidth = keypad.width();
    EXPECT_GE(w.width(), keypad.width());
    EXPECT_GE(w.height(), lcd.height() + keypad.height());
    const QImage picture = w.keypad().grab().toImage();
    const qreal ratio = w.keypad().devicePixelRatioF();
    EXPECT_EQ(picture.size(), (QSizeF(keypad) * ratio).toSize()) << zoom;
    if (std::getenv("PELLUX_KEYPAD_PICTURES")) {
      picture.save(
          QStringLiteral("%1/keypad-%2x.png").arg(qEnvironmentVariable("PELLUX_KEYPAD_PICTURES")).arg(zoom));
      w.grab().save(
          QStringLiteral("%1/window-%2x.png").arg(qEnvironmentVariable("PELLUX_KEYPAD_PICTURES")).arg(zoom));
    }
  }
  // View > Keypad hides it: the LCD alone, at the same size.
  const int withKeypad = w.height();
  w.menus().keypad->trigger();
  EXPECT_FALSE(w.keypad().isVisible());
  EXPECT_EQ(w.lcdView().size(), QSize(1200, 640));
  EXPECT_LT(w.height(), withKeypad);
  w.menus().keypad->trigger();
  EXPECT_TRUE(w.keypad().isVisible());
  EXPECT_EQ(w.height(), withKeypad);
}

}  // namespace
}  // namespace pellux
