// The application window: the menu bar, the LCD at the chosen zoom, the
// status line; it takes the PC keyboard for the calculator and carries the
// context menu.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "debugger/debug_session.h"
#include "host/input_queue.h"
#include "host/key_translation.h"
#include "host/lcd_view.h"
#include "host/listing_font.h"
#include "host/qt_resources.h"
#include "host/settings_store.h"
#include "host/window_menus.h"

class QAction;
class QImage;
class QMenu;
class QMenuBar;
class QMessageBox;
class QPainter;
class QVBoxLayout;

namespace pellux {

class AboutWindow;
class Calculator;
class CloseRequestFilter;
class DebugDialog;
class Driver;
class ErrMsg;
class KeypadView;
class KeysWindow;
class LcdView;
class StatusLine;

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
  // Every key the machine holds goes up now, and the keys still queued are
  // dropped: the window is closing, and the session saved next must not
  // keep a key held (Ctrl of Ctrl+Q is the calculator's diamond).
  void ReleaseAllKeys();

  // Shows the frame when the machine has published one not yet shown, at
  // most about 60 times a second unless forced.
  void ShowNewFrame(bool force = false);

  // The user closed the window: the main loop ends.
  bool CloseRequested() const { return closeRequested_; }
  // Quit, and the window manager's close while a modal dialog is up: the
  // dialogs end as if cancelled, then the main loop.
  void RequestClose();
  QMenu* ContextMenu() const { return contextMenu_; }
  QMenuBar* MenuBar() const { return menuBar_; }
  // The menu bar from its table of declarations, once, before Attach;
  // `declare` answers the table and points its items into the window's menus.
  void SetMenus(const std::function<std::vector<MenuItemDecl>(WindowMenus&)>& declare);
  // Every item's state from where the table says it comes from.
  void RefreshMenus() const { menuTable_.Refresh(); }
  const WindowMenus& menus() const { return menus_; }
  // The context menu's Size items, 1X..5X, which View > Size shows too.
  QList<QAction*> SizeItems() const;
  StatusLine& statusLine() const { return *status_; }
  LcdView& lcdView() const { return *view_; }
  KeypadView& keypad() const { return *keypad_; }
  // View > Keypad: the keypad under the LCD, or the LCD alone.
  void ShowKeypad(bool on);

  // View > Full Screen: the LCD at the largest whole factor, centred on
  // black, without the menu bar and the status line. Esc and F11 leave it.
  void SetFullScreen(bool on);
  // Debug > Breakpoints..., Help > Keys... and About Pellux.
  void ShowBreakpoints();
  void ShowKeysWindow();
  void ShowAboutWindow();

  // Where the user's choices come from; dialogs by default, replaced by
  // tests. A chooser answers an empty string when the user cancelled.
  std::function<QString(FileKind kind, const QString& suggested)> chooseSaveFile;
  std::function<QString(FileKind kind, const QString& folder)> chooseOpenFile;
  std::function<QStringList(FileKind kind, const QString& folder)> chooseOpenFiles;
  std::function<QString(const QString& title, const QString& start)> chooseFolder;
  // A line the user types ("HOST:PORT"), or an empty string when cancelled.
  std::function<QString(const QString& title, const QString& label, const QString& suggested)> askText;
  // How an error reaches the user: a message box by default.
  std::function<void(const ErrMsg&)> showError;
  std::function<void(const QString& text)> showWarning;
  // A warning that does not stop the machine: a box beside the window, to
  // which what comes while it is open is added (one box, however many).
  std::function<void(const QString& text)> showNotice;
  // A yes-or-no question before something that cannot be undone: true to
  // go on. A box with `goText` and Cancel where windows can be seen, else yes.
  std::function<bool(const QString& question, const QString& goText)> confirm;
  // Files dropped on the window, in the order given.
  std::function<void(const QStringList& paths)> filesDropped;

  // Set by the Debug dialog's "Break on keypress".
  bool breakOnKeypress = false;
  // What F11, the menu item and a breakpoint open; the Debug dialog by default.
  std::function<void()> openDebugger;
  // Sees the Debug dialog before it runs: gdb's port, when there is one.
  std::function<void(DebugDialog&)> debugDialogOpening;
  // Stops the machine in the debugger, saying why.
  void BreakIn(StopReason why);
  // The symbols and what the debugger keeps between stops.
  DebugSession debugSession;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void QueueKey(const QKeyEvent& event);
  // The machine and the keypad let every key go; answers the resume flag.
  bool LetGoOfEveryKey();
  void CheckZoomItem(int zoom);
  void ShowHelpWindow(QWidget* window);
  void ShowNoticeBox(const QString& text);
  // Full screen: the menu bar over the LCD while the mouse is at the top.
  void FollowMouseInFullScreen(QPoint at);

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
  QMenuBar* menuBar_;
  WindowMenus menus_{};
  MenuTable menuTable_;
  LcdView* view_;
  KeypadView* keypad_;
  StatusLine* status_;
  QVBoxLayout* layout_;
  KeysWindow* keysWindow_ = nullptr;
  AboutWindow* aboutWindow_ = nullptr;
  QPointer<QMessageBox> notice_;
  std::unique_ptr<CloseRequestFilter> closeFilter_;
  std::int64_t lastFrameShownNs_ = 0;
  bool closeRequested_ = false;
};

}  // namespace pellux
