// Help > Keys lists the window's own key table by the names on the keys;
// About names the version and the licence.
#include "host/help_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "host/host_key_names.h"
#include "host/host_keys.h"
#include "host/keypad_view.h"
#include "pellux_version.h"

namespace pellux {
namespace {

TEST(KeysWindow, WritesEveryPcKeyOfTheKeyTableOnTheKeyItPresses) {
  std::set<std::string> names;
  for (const HostKey& key : kHostKeyTable) {
    const std::string name = PcKeyName(key.key);
    // A name the user can find on the keyboard, one per PC key: two keys
    // under one name would leave the user guessing which is meant.
    EXPECT_FALSE(name.empty()) << "PC key " << static_cast<int>(key.key);
    EXPECT_TRUE(names.insert(name).second) << name << " names two keys";
    ASSERT_NE(KeypadKeyOf(key.code), nullptr)
        << name << ": code " << unsigned{key.code} << " is on the keypad";
    const std::vector<std::string> written = PcKeyNamesOf(key.code);
    EXPECT_NE(std::find(written.begin(), written.end(), name), written.end()) << name;
  }
  KeysWindow window(nullptr);
  EXPECT_TRUE(window.keypad()->isVisibleTo(&window));
}

TEST(KeysWindow, NamesTheKeysAsPrintedOnAKeyboard) {
  const struct {
    PcKey key;
    const char* name;
  } cases[] = {{PcKey::End, "End"},      {PcKey::Q, "Q"},
               {PcKey::Digit7, "7"},     {PcKey::Num7, "Num 7"},
               {PcKey::F12, "F12"},      {PcKey::PageDown, "Page Down"},
               {PcKey::Backslash, "\\"}, {PcKey::NumDecimal, "Num ."},
               {PcKey::F24, "F24"}};
  for (const auto& c : cases) EXPECT_EQ(PcKeyName(c.key), c.name) << c.name;
  EXPECT_EQ(PcKeyName(PcKey::None), "");
  EXPECT_EQ(PcKeyName(PcKey::CapsLock), "") << "a key the window does not use";
  EXPECT_EQ(PcKeyName(PcKey::Count), "");
}

TEST(AboutWindow, SaysTheVersionAndTheLicence) {
  AboutWindow window(nullptr);
  const QString text = window.Text();
  const QString version =
      QString::fromUtf8(PelluxVersion().data(), static_cast<qsizetype>(PelluxVersion().size()));
  EXPECT_FALSE(version.isEmpty());
  EXPECT_TRUE(text.contains(QStringLiteral("Pellux ") + version)) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("MIT License"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("2026 The Pellux developers"))) << text.toStdString();
}

}  // namespace
}  // namespace pellux
