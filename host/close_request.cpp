#include "host/close_request.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>

#if defined(PELLUX_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>
#define PELLUX_LISTEN_XCB 1
#endif

namespace pellux {

namespace {

#ifdef PELLUX_LISTEN_XCB
std::uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr);
  const std::uint32_t atom = reply ? reply->atom : 0;
  std::free(reply);
  return atom;
}
#endif

}  // namespace

CloseRequestFilter::CloseRequestFilter(QWidget& window, std::function<void()> onClose)
    : window_(window), onClose_(std::move(onClose)) {
#ifdef PELLUX_LISTEN_XCB
  // Only the X11 platform has a connection to ask (the offscreen one may
  // answer the interface without one).
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 && QGuiApplication::platformName() == QLatin1String("xcb") && x11->connection()) {
    deleteWindowAtom_ = InternAtom(x11->connection(), "WM_DELETE_WINDOW");
  }
#endif
  qApp->installNativeEventFilter(this);
}

CloseRequestFilter::~CloseRequestFilter() { qApp->removeNativeEventFilter(this); }

bool CloseRequestFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  // Without a modal dialog Qt delivers the close as usual.
  if (!QApplication::activeModalWidget()) return false;
  bool closeAsked = false;
#ifdef PELLUX_LISTEN_XCB
  if (eventType == "xcb_generic_event_t" && deleteWindowAtom_ != 0) {
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
      const auto* client = static_cast<const xcb_client_message_event_t*>(message);
      closeAsked = client->format == 32 && client->window == window_.winId() &&
                   client->data.data32[0] == deleteWindowAtom_;
    }
  }
#endif
  if (!closeAsked) return false;
  onClose_();
  return true;
}

void EndModalDialogs() {
  // Each dialog's own event loop returns once control comes back to it.
  for (int guard = 0; guard < 32; ++guard) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    if (QApplication::activeModalWidget() == modal) modal->hide();
  }
}

}  // namespace pellux
