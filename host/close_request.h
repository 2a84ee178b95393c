// Closing the window while a modal dialog is up (the Debug dialog, a file
// dialog, a message box). Qt drops the window manager's close request for a
// window that a modal dialog blocks; this filter hears it first and hands it
// to the window, which ends the dialogs and the program.
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

class QWidget;

namespace pellux {

class CloseRequestFilter : public QAbstractNativeEventFilter {
 public:
  // onClose runs when the window manager asks `window` to close while a
  // modal dialog blocks it. Installs itself on the application.
  CloseRequestFilter(QWidget& window, std::function<void()> onClose);
  ~CloseRequestFilter() override;
  CloseRequestFilter(const CloseRequestFilter&) = delete;
  CloseRequestFilter& operator=(const CloseRequestFilter&) = delete;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  QWidget& window_;
  std::function<void()> onClose_;
  std::uint32_t deleteWindowAtom_ = 0;  // X11's WM_DELETE_WINDOW
};

// Ends every modal dialog, innermost first, as if each had been cancelled.
void EndModalDialogs();

}  // namespace pellux
