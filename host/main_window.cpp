#include "host/main_window.h"

#include <QActionGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <cmath>
#include <new>

#include "host/debugger_hook.h"
#include "host/display_image.h"
#include "host/host_keys.h"
#include "host/qt_resources.h"
#include "machine/calculator.h"
#include "machine/driver.h"

#ifdef Q_OS_WIN
#define NOMINMAX
#include <windows.h>

#include <cstring>
#endif

namespace pellux {

namespace {

constexpr int kStartZoom = 3;

#ifdef Q_OS_WIN
// The screenshot goes on the clipboard as the device-independent bitmap other
// Windows programs paste; any failure leaves the clipboard as it was.
void PutDibOnClipboard(HWND owner, const std::array<std::uint8_t, kClipboardDibBytes>& block) {
  if (!OpenClipboard(owner)) return;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, block.size());
  if (memory) {
    if (void* target = GlobalLock(memory)) {
      std::memcpy(target, block.data(), block.size());
      GlobalUnlock(memory);
      EmptyClipboard();
      if (SetClipboardData(CF_DIB, memory)) memory = nullptr;  // the clipboard owns it now
    }
    if (memory) GlobalFree(memory);
  }
  CloseClipboard();
}
#else
// The same block's pixel rows as an image for the toolkit's clipboard.
QImage ImageOfDib(const std::array<std::uint8_t, kClipboardDibBytes>& block) {
  QImage image(block.data() + kDibPixelsOffset, static_cast<int>(kLcdWidth), static_cast<int>(kLcdHeight),
               static_cast<qsizetype>(ScaledStride(1)), QImage::Format_Mono);
  image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  return image.convertToFormat(QImage::Format_RGB32);  // a deep copy every program can take
}
#endif

bool IsSystemKey(const QKeyEvent& event, unsigned virtualKey) {
  return virtualKey == vk::kF10 || virtualKey == vk::kAlt || (event.modifiers() & Qt::AltModifier);
}

}  // namespace

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      listingFont_(FixedListingFont()),
      nativeKeys_(NativeKeysOfPlatform(QGuiApplication::platformName())),
      contextMenu_(new QMenu(this)) {
  setWindowTitle(QStringLiteral("Pellux"));
  setFixedSize(ScaledWidth(kStartZoom), ScaledHeight(kStartZoom));
  setFocusPolicy(Qt::StrongFocus);
  // Every paint covers the whole client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);

  QMenu* size = contextMenu_->addMenu(QStringLiteral("&Size"));
  auto* zoomGroup = new QActionGroup(this);
  zoomGroup->setExclusive(true);
  for (int zoom = kMinZoom; zoom <= kMaxZoom; ++zoom) {
    QAction* item = size->addAction(QStringLiteral("&%1X").arg(zoom));
    item->setCheckable(true);
    zoomGroup->addAction(item);
    connect(item, &QAction::triggered, this, [this, zoom] { ChangeZoom(zoom); });
    zoomItems_[static_cast<std::size_t>(zoom - kMinZoom)] = item;
  }
  contextMenu_->addAction(QStringLiteral("Take S&creenshot"), this, [this] { CopyScreenshot(); });
  contextMenu_->addAction(QStringLiteral("&Debug...\tF11"), this, [this] {
    if (driver_) openDebugger();
  });
  CheckZoomItem(kStartZoom);

  openDebugger = [this] {
    if (driver_) OpenDebugger(this, machine(), breakOnKeypress);
  };
}

MainWindow::~MainWindow() = default;

Calculator& MainWindow::machine() const { return driver_->machine(); }

std::unique_ptr<DisplayBitmap> MainWindow::CreateDisplayBitmap(int width, int height) {
  std::unique_ptr<DisplayBitmap> bitmap(new (std::nothrow) DisplayBitmap);
  if (!bitmap) return nullptr;
  bitmap->image = QImage(width, height, QImage::Format_Mono);
  if (bitmap->image.isNull()) return nullptr;
  bitmap->image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  return bitmap;
}

bool MainWindow::Attach(Driver* driver) {
  driver_ = driver;
  if (!SetDisplayScale(kStartZoom)) return false;
  setFixedSize(ScaledWidth(zoom_), ScaledHeight(zoom_));
  CheckZoomItem(zoom_);
  return true;
}

bool MainWindow::SetDisplayScale(int zoom) {
  if (zoom < kMinZoom || zoom > kMaxZoom) return false;
  std::unique_ptr<DisplayBitmap> bitmap = CreateDisplayBitmap(ScaledWidth(zoom), ScaledHeight(zoom));
  if (!bitmap) return false;
  displayBitmap_ = std::move(bitmap);
  zoom_ = zoom;
  return true;
}

void MainWindow::ShowNewFrame() {
  if (!driver_ || machine().frameSerial == shownFrame_) return;
  shownFrame_ = machine().frameSerial;
  update();
}

void MainWindow::ChangeZoom(int zoom) {
  if (!driver_) return;
  if (!SetDisplayScale(zoom)) {
    CheckZoomItem(zoom_);  // the menu had already moved its check
    return;
  }
  setFixedSize(ScaledWidth(zoom), ScaledHeight(zoom));
  update();
  CheckZoomItem(zoom);
}

void MainWindow::CheckZoomItem(int zoom) { zoomItems_[static_cast<std::size_t>(zoom - kMinZoom)]->setChecked(true); }

void MainWindow::CopyScreenshot() {
  if (!driver_) return;
  std::uint8_t frame[kLcdFrameBytes];
  machine().GetLcdFrame(frame);
  const auto block = BuildClipboardDib(frame);
#ifdef Q_OS_WIN
  PutDibOnClipboard(reinterpret_cast<HWND>(winId()), block);
#else
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(ImageOfDib(block));
#endif
}

void MainWindow::PaintDisplay() {
  if (!driver_ || !displayBitmap_) return;
  std::uint8_t frame[kLcdFrameBytes];
  machine().GetLcdFrame(frame);
  QPainter painter(this);
  DrawLcd(painter, frame, zoom_, devicePixelRatioF(), displayBitmap_->image);
}

void DrawLcd(QPainter& painter, const std::uint8_t* frame, int zoom, qreal ratio, QImage& scaled) {
  const qreal devicePerLcdPixel = zoom * ratio;
  if (devicePerLcdPixel == std::floor(devicePerLcdPixel)) {
    if (scaled.width() != ScaledWidth(zoom) || scaled.height() != ScaledHeight(zoom) ||
        static_cast<std::size_t>(scaled.bytesPerLine()) != ScaledStride(zoom)) {
      return;
    }
    scaled.fill(0);
    ScaleFrame(frame, scaled.bits(), zoom);
    // A whole number of device pixels per logical one (the application
    // rounds the screen's scale): Qt's nearest-pixel scaling keeps squares.
    painter.drawImage(QRect(0, 0, scaled.width(), scaled.height()), scaled);
    return;
  }
  // A fractional scale the user forced: squares of as many whole device
  // pixels as fit, drawn one to one and centred on white.
  const int side = std::max(1, static_cast<int>(devicePerLcdPixel));
  QImage device(ScaledWidth(side), ScaledHeight(side), QImage::Format_Mono);
  if (device.isNull() || static_cast<std::size_t>(device.bytesPerLine()) != ScaledStride(side)) return;
  device.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  device.fill(0);
  ScaleFrame(frame, device.bits(), side);
  device.setDevicePixelRatio(ratio);
  const QSizeF area(ScaledWidth(zoom), ScaledHeight(zoom));
  painter.fillRect(QRectF(QPointF(0, 0), area), Qt::white);
  const QPointF deviceOffset(std::floor((area.width() * ratio - device.width()) / 2),
                             std::floor((area.height() * ratio - device.height()) / 2));
  painter.drawImage(deviceOffset / ratio, device);
}

void MainWindow::paintEvent(QPaintEvent*) { PaintDisplay(); }

bool MainWindow::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      // Here rather than in keyPressEvent, so that Tab reaches the calculator
      // instead of moving the focus.
      QueueKey(static_cast<const QKeyEvent&>(*event));
      return true;
    case QEvent::ShortcutOverride:
      event->accept();
      return true;
    default:
      return QWidget::event(event);
  }
}

void MainWindow::QueueKey(const QKeyEvent& event) {
  if (!driver_) return;
  const unsigned virtualKey = VirtualKeyOf(event, nativeKeys_);
  const bool press = event.type() == QEvent::KeyPress;
  if (IsSystemKey(event, virtualKey)) {
    // Alt combinations and F10 belong to the system: they let every key go.
    if (press && !event.isAutoRepeat()) input_.ReleaseAll();
    return;
  }
  if (virtualKey == 0) return;
  const std::uint64_t timestamp = event.timestamp();
  if (press) {
    input_.Press(virtualKey, timestamp, event.isAutoRepeat());
  } else {
    input_.Release(virtualKey, timestamp, event.isAutoRepeat());
  }
}

bool MainWindow::HandleInput() {
  if (!driver_) return false;
  while (const std::optional<HostInput> input = input_.Next()) {
    bool resume = false;
    switch (input->kind) {
      case HostInput::Kind::Press:
        if (input->virtualKey == vk::kF11) {
          openDebugger();
        } else if (const std::optional<unsigned> code = LookupHostKey(input->virtualKey)) {
          resume = driver_->KeyDown(*code);
          if (resume && breakOnKeypress) openDebugger();
        }
        break;
      case HostInput::Kind::Release:
        if (const std::optional<unsigned> code = LookupHostKey(input->virtualKey)) resume = driver_->KeyUp(*code);
        break;
      case HostInput::Kind::ReleaseAll:
        resume = driver_->ReleaseAllKeys();
        break;
    }
    if (resume) return true;
  }
  return false;
}

void MainWindow::focusOutEvent(QFocusEvent* event) {
  // A key held while the focus goes elsewhere never sends its release here.
  if (driver_) input_.ReleaseAll();
  QWidget::focusOutEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) { contextMenu_->popup(event->globalPos()); }

void MainWindow::closeEvent(QCloseEvent* event) {
  closeRequested_ = true;
  event->accept();
}

}  // namespace pellux
