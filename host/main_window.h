// The application window: shows the LCD at the chosen zoom, takes the PC
// keyboard for the calculator, and carries the context menu.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "host/input_queue.h"
#include "host/key_translation.h"
#include "host/qt_resources.h"

class QAction;
class QImage;
class QMenu;
class QPainter;

namespace pellux {

class Calculator;
class Driver;

// Paints a 3840-byte LCD frame over a client area of 240 x 128 times the zoom
// (logical pixels) on a device of `ratio` device pixels per logical pixel,
// each LCD pixel an exact square of device pixels. `scaled` is the display
// bitmap: a 1-bit image of the zoom's size, refilled here.
void DrawLcd(QPainter& painter, const std::uint8_t* frame, int zoom, qreal ratio, QImage& scaled);

class MainWindow : public QWidget {
 public:
  MainWindow();
  ~MainWindow() override;

  // A 1-bit display bitmap of the given size, or null when the host cannot
  // afford it.
  virtual std::unique_ptr<DisplayBitmap> CreateDisplayBitmap(int width, int height);

  // Shows the machine the driver runs and hands it the keys; sets the start
  // zoom, 3X. False when the display bitmap cannot be had.
  bool Attach(Driver* driver);

  int zoom() const { return zoom_; }
  const DisplayBitmap* displayBitmap() const { return displayBitmap_.get(); }
  const QFont& listingFont() const { return listingFont_; }

  // A display bitmap for the zoom; false, with nothing changed, when it
  // cannot be had.
  bool SetDisplayScale(int zoom);
  // The Size menu: the new scale, the window resized to it and the item checked.
  void ChangeZoom(int zoom);
  // The unscaled LCD on the clipboard, black on white.
  void CopyScreenshot();

  // Hands the queued keyboard input to the machine in order and stops after
  // the first one that asks the machine to run before the next: answers
  // whether one did (the resume flag).
  bool HandleInput();

  // Repaints when the machine has published a frame not yet shown.
  void ShowNewFrame();

  // The user closed the window: the main loop ends.
  bool CloseRequested() const { return closeRequested_; }
  QMenu* ContextMenu() const { return contextMenu_; }

  // Set by the Debug dialog's "Break on keypress".
  std::uint32_t breakOnKeypress = 0;
  // What F11, the menu item and a breakpoint open; the Debug dialog by default.
  std::function<void()> openDebugger;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void QueueKey(const QKeyEvent& event);
  void PaintDisplay();
  void CheckZoomItem(int zoom);

  Calculator& machine() const;

  Driver* driver_ = nullptr;
  std::unique_ptr<DisplayBitmap> displayBitmap_;
  int zoom_ = 1;
  QFont listingFont_;
  std::uint64_t shownFrame_ = ~std::uint64_t{0};
  NativeKeys nativeKeys_;
  InputQueue input_;
  QMenu* contextMenu_;
  std::array<QAction*, 5> zoomItems_{};
  bool closeRequested_ = false;
};

}  // namespace pellux
