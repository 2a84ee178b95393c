#include "host/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QInputDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>
#include <new>
#include <span>
#include <vector>

#include "host/breakpoints_dialog.h"
#include "host/close_request.h"
#include "host/debugger_hook.h"
#include "host/display_image.h"
#include "host/help_windows.h"
#include "host/keypad_view.h"
#include "host/qt_resources.h"
#include "host/show_error.h"
#include "host/status_line.h"
#include "machine/calculator.h"
#include "machine/driver.h"
#include "machine/keys.h"

namespace pellux {

namespace {

constexpr int kStartZoom = 3;

// In full screen the menu bar shows while the mouse is this close to the
// top edge (or over the bar).
constexpr int kMenuRevealEdge = 2;

// The same block's pixel rows as an image for the toolkit's clipboard: the
// 1-bit block, or the 8-bit one of a picture with grey.
QImage ImageOfDib(std::span<const std::uint8_t> block) {
  const bool grey = block.size() == kGreyClipboardDibBytes;
  QImage image(block.data() + (grey ? kGreyDibPixelsOffset : kDibPixelsOffset), static_cast<int>(kLcdWidth),
               static_cast<int>(kLcdHeight), static_cast<qsizetype>(grey ? kLcdWidth : ScaledStride(1)),
               grey ? QImage::Format_Indexed8 : QImage::Format_Mono);
  QList<QRgb> colours;
  if (grey) {
    for (int light = 255; light >= 0; --light) colours.push_back(qRgb(light, light, light));  // index: darkness
  } else {
    colours = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
  }
  image.setColorTable(colours);
  return image.convertToFormat(QImage::Format_RGB32);  // a deep copy every program can take
}

// At most this often the LCD is repainted: about 60 times a second.
constexpr std::int64_t kFrameIntervalNs = 16'000'000;

// Keys the menus take before the calculator: Quit (Ctrl+Q) and Alt
// combinations (a letter opens a menu or is an item's key).
bool IsMenuShortcut(const QKeyEvent& event) {
  if (event.modifiers() & Qt::AltModifier) return true;
  return QKeySequence(event.keyCombination()) == QKeySequence(Qt::CTRL | Qt::Key_Q);
}

bool IsSystemKey(const QKeyEvent& event, PcKey key) {
  return key == PcKey::F10 || key == PcKey::Alt || (event.modifiers() & Qt::AltModifier);
}

// The local files a drag carries, or none when anything else comes with it.
QStringList DroppedFiles(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    paths << url.toLocalFile();
  }
  return paths;
}

}  // namespace

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      listingFont_(FixedListingFont()),
      nativeKeys_(NativeKeysOfPlatform(QGuiApplication::platformName())),
      contextMenu_(new QMenu(this)),
      menuBar_(new QMenuBar(this)),
      view_(new LcdView(this)),
      keypad_(new KeypadView(this)),
      status_(new StatusLine(this)),
      layout_(new QVBoxLayout(this)) {
  setWindowTitle(QStringLiteral("Pellux"));
  setWindowIcon(QIcon(QStringLiteral(":/pellux-256.png")));
  setFocusPolicy(Qt::StrongFocus);

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
    if (driver_) BreakIn(StopReason::UserBreak);
  });
  CheckZoomItem(kStartZoom);

  menuBar_->setFocusPolicy(Qt::NoFocus);
  status_->setFocusPolicy(Qt::NoFocus);
  view_->SetZoom(kStartZoom);
  keypad_->SetZoom(kStartZoom);
  keypad_->isDown = [this](unsigned code) {
    if (!driver_) return false;
    const Calculator& calc = machine();
    if (code == kOnKeyCode) return !(calc.ports[port::kOnKey] & 0x02);  // bit 1 is 0 while ON is down
    return code < kMatrixKeyCount && !(calc.keyMatrix[code / 8] & (1u << (code % 8)));
  };
  keypad_->keyChanged = [this](unsigned code, bool down) {
    if (driver_) input_.CalculatorKey(code, down);
  };
  // The LCD exactly its size with the bars above and below it; the window
  // takes their size and cannot be resized.
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  layout_->addWidget(menuBar_);  // as a widget, so that its width counts too
  layout_->addWidget(view_, 1, Qt::AlignCenter);
  layout_->addWidget(keypad_, 0, Qt::AlignCenter);
  layout_->addWidget(status_);
  layout_->setSizeConstraint(QLayout::SetFixedSize);

  openDebugger = [this] {
    if (!driver_) return;
    status_->SetState(MachineState::InDebugger);
    status_->SetSpeed(std::nullopt);
    status_->repaint();
    OpenDebugger(this, machine(), breakOnKeypress, debugSession, debugDialogOpening);
  };
  chooseSaveFile = [this](FileKind kind, const QString& suggested) {
    return QFileDialog::getSaveFileName(this, QString(), suggested, FileDialogFilter(kind));
  };
  chooseOpenFile = [this](FileKind kind, const QString& folder) {
    return QFileDialog::getOpenFileName(this, QString(), folder, FileDialogFilter(kind));
  };
  chooseOpenFiles = [this](FileKind kind, const QString& folder) {
    return QFileDialog::getOpenFileNames(
        this, kind == FileKind::Send ? QStringLiteral("Send to Calculator") : QString(), folder,
        FileDialogFilter(kind));
  };
  chooseFolder = [this](const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(this, title, start);
  };
  askText = [this](const QString& title, const QString& label, const QString& suggested) {
    return QInputDialog::getText(this, title, label, QLineEdit::Normal, suggested).trimmed();
  };
  showNotice = [this](const QString& text) { ShowNoticeBox(text); };
  confirm = [this](const QString& question, const QString& goText) {
    if (!PlatformShowsWindows()) return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Pellux"), question, QMessageBox::Cancel, this);
    QPushButton* go = box.addButton(goText, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == go;
  };
  setAcceptDrops(true);
  showError = [this](const ErrMsg& error) { ShowError(error, this); };
  showWarning = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Pellux"), text); };

  closeFilter_ = std::make_unique<CloseRequestFilter>(*this, [this] { RequestClose(); });
  // Key releases that a popup menu takes while it is open still reach the
  // calculator, so a key held across a menu never sticks.
  qApp->installEventFilter(this);
}

void MainWindow::SetMenus(const std::function<std::vector<MenuItemDecl>(WindowMenus&)>& declare) {
  menuTable_.Build(*menuBar_, declare(menus_), *this);
  // The way out of full screen, where the menu bar is hidden.
  contextMenu_->addActions(menuTable_.contextItems());
  // Their keys work while the menu bar is hidden too (full screen).
  addActions(menuTable_.windowKeys());
  // Every menu title in one row, even at 1X: the window is then wider than
  // the LCD, which stays centred.
  menuBar_->setMinimumWidth(menuBar_->sizeHint().width());
  menuTable_.Refresh();
}

QList<QAction*> MainWindow::SizeItems() const { return {zoomItems_.begin(), zoomItems_.end()}; }

void MainWindow::ShowBreakpoints() {
  if (!driver_) return;
  BreakpointsDialog dialog(this, machine().breakpoints, listingFont_, debugSession.symbols);
  dialog.exec();
}

void MainWindow::ShowKeysWindow() {
  if (!keysWindow_) keysWindow_ = new KeysWindow(this);
  ShowHelpWindow(keysWindow_);
}

void MainWindow::ShowAboutWindow() {
  if (!aboutWindow_) aboutWindow_ = new AboutWindow(this);
  ShowHelpWindow(aboutWindow_);
}

void MainWindow::BreakIn(StopReason why) {
  if (!driver_) return;
  debugSession.reason = DebugStop{why, machine().cpu.pc};
  openDebugger();
}

MainWindow::~MainWindow() { qApp->removeEventFilter(this); }

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
  view_->SetZoom(zoom_);
  keypad_->SetZoom(zoom_);
  layout_->activate();
  CheckZoomItem(zoom_);
  ShowNewFrame(true);
  return true;
}

bool MainWindow::SetDisplayScale(int zoom) {
  if (zoom < kMinZoom || zoom > kMaxZoom) return false;
  std::unique_ptr<DisplayBitmap> bitmap = CreateDisplayBitmap(ScaledWidth(zoom), ScaledHeight(zoom));
  if (!bitmap) return false;
  displayBitmap_ = std::move(bitmap);
  view_->SetDisplayBitmap(&displayBitmap_->image);
  zoom_ = zoom;
  return true;
}

void MainWindow::ShowNewFrame(bool force) {
  if (!driver_ || (!force && machine().frameSerial == shownFrame_)) return;
  // At most about 60 pictures a second: a machine that runs far faster than
  // real time would otherwise spend its time painting.
  const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
  if (!force && now - lastFrameShownNs_ < kFrameIntervalNs) return;
  lastFrameShownNs_ = now;
  shownFrame_ = machine().frameSerial;
  view_->ShowPicture(machine().Picture());
}

void MainWindow::ChangeZoom(int zoom) {
  if (!driver_) return;
  if (!SetDisplayScale(zoom)) {
    CheckZoomItem(zoom_);  // the menu had already moved its check
    return;
  }
  view_->SetZoom(zoom);
  keypad_->SetZoom(zoom);
  layout_->activate();  // the window takes its new fixed size at once
  CheckZoomItem(zoom);
}

void MainWindow::CheckZoomItem(int zoom) { zoomItems_[static_cast<std::size_t>(zoom - kMinZoom)]->setChecked(true); }

void MainWindow::CopyScreenshot() {
  if (!driver_) return;
  const LcdPicture picture = machine().Picture();
  std::vector<std::uint8_t> block;
  if (picture.grey) {
    block = BuildGreyClipboardDib(picture.levels);
  } else {
    const auto mono = BuildClipboardDib(picture.frame.data());
    block.assign(mono.begin(), mono.end());
  }
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(ImageOfDib(block));
}

bool MainWindow::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      // Here rather than in keyPressEvent, so that Tab reaches the calculator
      // instead of moving the focus.
      QueueKey(static_cast<const QKeyEvent&>(*event));
      return true;
    case QEvent::ShortcutOverride:
      // Every key is the calculator's but the menus' own: Quit, and Alt
      // combinations (the menus' letters, Open ROM, the states, Save Screenshot).
      if (IsMenuShortcut(static_cast<const QKeyEvent&>(*event))) return QWidget::event(event);
      event->accept();
      return true;
    default:
      return QWidget::event(event);
  }
}

void MainWindow::QueueKey(const QKeyEvent& event) {
  if (!driver_) return;
  const PcKey key = PcKeyOf(event, nativeKeys_);
  const bool press = event.type() == QEvent::KeyPress;
  if (IsSystemKey(event, key)) {
    // Alt combinations and F10 belong to the system: they let every key go.
    if (press && !event.isAutoRepeat()) input_.ReleaseAll();
    return;
  }
  if (key == PcKey::None) return;
  if (view_->fullScreen() && (key == PcKey::Escape || key == PcKey::F11)) {
    // The way out of full screen, before they are the calculator's ESC and
    // the debugger's key again.
    if (press && !event.isAutoRepeat()) SetFullScreen(false);
    return;
  }
  if (key == PcKey::Pause) {
    // The window's own key: pause or resume, no calculator key is touched.
    if (press && !event.isAutoRepeat()) menus_.pause->trigger();
    return;
  }
  const std::uint64_t timestamp = event.timestamp();
  if (press) {
    input_.Press(key, timestamp, event.isAutoRepeat());
  } else {
    input_.Release(key, timestamp, event.isAutoRepeat());
  }
}

bool MainWindow::HandleInput() {
  if (!driver_) return false;
  while (const std::optional<HostInput> input = input_.Next()) {
    bool resume = false;
    switch (input->kind) {
      case HostInput::Kind::Press:
        if (input->key == PcKey::F11) {
          BreakIn(StopReason::UserBreak);
        } else if (const std::optional<unsigned> code = LookupHostKey(input->key)) {
          resume = driver_->KeyDown(*code);
          if (resume && breakOnKeypress) BreakIn(StopReason::KeyPress);
        }
        break;
      case HostInput::Kind::Release:
        if (const std::optional<unsigned> code = LookupHostKey(input->key)) resume = driver_->KeyUp(*code);
        break;
      case HostInput::Kind::ReleaseAll:
        resume = LetGoOfEveryKey();
        break;
      case HostInput::Kind::KeyDown:
        resume = driver_->KeyDown(input->code);
        if (resume && breakOnKeypress) BreakIn(StopReason::KeyPress);
        break;
      case HostInput::Kind::KeyUp:
        resume = driver_->KeyUp(input->code);
        break;
    }
    keypad_->update();  // the keys the machine holds, lit
    if (resume) return true;
  }
  return false;
}

bool MainWindow::LetGoOfEveryKey() {
  const bool resume = driver_->ReleaseAllKeys();
  keypad_->ForgetHeld();
  return resume;
}

void MainWindow::ReleaseAllKeys() {
  if (!driver_) return;
  input_.Clear();
  LetGoOfEveryKey();
  keypad_->update();
}

void MainWindow::focusOutEvent(QFocusEvent* event) {
  // A key held while the focus goes elsewhere never sends its release here.
  // A popup menu is different: its key releases are taken below.
  if (driver_ && event->reason() != Qt::PopupFocusReason) input_.ReleaseAll();
  QWidget::focusOutEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && view_->fullScreen() && watched->isWidgetType() &&
      (watched == this || isAncestorOf(static_cast<QWidget*>(watched)))) {
    FollowMouseInFullScreen(
        mapFromGlobal(static_cast<const QMouseEvent&>(*event).globalPosition().toPoint()));
  }
  if (event->type() == QEvent::KeyRelease && watched != this && qobject_cast<QMenu*>(watched)) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (driver_ && !key.isAutoRepeat()) {
      const PcKey pcKey = PcKeyOf(key, nativeKeys_);
      if (pcKey != PcKey::None) input_.Release(pcKey, key.timestamp(), false);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::RequestClose() {
  closeRequested_ = true;
  EndModalDialogs();
}

void MainWindow::SetFullScreen(bool on) {
  if (menus_.fullScreen->isChecked() != on) menus_.fullScreen->setChecked(on);  // comes back here
  if (view_->fullScreen() == on) return;
  // Full screen shows the LCD alone: the menu bar comes back over it when
  // the mouse touches the top edge, the status line when it ends.
  setMouseTracking(on);
  view_->setMouseTracking(on);
  status_->setVisible(!on);
  if (on) {
    layout_->removeWidget(menuBar_);
    menuBar_->hide();
    layout_->setSizeConstraint(QLayout::SetNoConstraint);
    layout_->setAlignment(view_, Qt::Alignment());  // the view takes all the room
    view_->SetFullScreen(true);
    keypad_->hide();  // the LCD alone
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    showFullScreen();
    // Without a window manager to do it, the window covers the screen itself.
    if (QScreen* display = screen()) setGeometry(display->geometry());
  } else {
    layout_->insertWidget(0, menuBar_);
    menuBar_->show();
    view_->SetFullScreen(false);
    keypad_->setVisible(menus_.keypad->isChecked());
    layout_->setAlignment(view_, Qt::AlignCenter);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    showNormal();
    layout_->activate();
  }
}

void MainWindow::FollowMouseInFullScreen(QPoint at) {
  if (at.y() <= kMenuRevealEdge) {
    if (menuBar_->isHidden()) {
      // Over the LCD, which keeps its place.
      menuBar_->setGeometry(0, 0, width(), menuBar_->sizeHint().height());
      menuBar_->show();
      menuBar_->raise();
    }
    return;
  }
  // It goes again once the mouse has left it, unless one of its menus is open.
  if (menuBar_->isVisible() && !menuBar_->activeAction() && at.y() > menuBar_->height() + kMenuRevealEdge)
    menuBar_->hide();
}

void MainWindow::ShowKeypad(bool on) {
  if (menus_.keypad->isChecked() != on) menus_.keypad->setChecked(on);  // comes back here
  if (view_->fullScreen()) return;  // shown again when full screen ends
  keypad_->setVisible(on);
  layout_->activate();
}

void MainWindow::ShowHelpWindow(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}

void MainWindow::ShowNoticeBox(const QString& text) {
  if (notice_) {
    notice_->setText(notice_->text() + QStringLiteral("\n\n") + text);
    return;
  }
  notice_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Pellux"), text, QMessageBox::Ok, this);
  notice_->setAttribute(Qt::WA_DeleteOnClose);
  // Not modal, not even to this window: the calculator's keys go on working.
  notice_->setWindowModality(Qt::NonModal);
  notice_->show();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (driver_ && !DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QStringList paths = DroppedFiles(event->mimeData());
  if (!driver_ || paths.isEmpty()) return;
  event->acceptProposedAction();
  // After the drag has ended: opening a file may ask questions in boxes of
  // their own, which must not hold the program the files came from.
  QMetaObject::invokeMethod(
      this,
      [this, paths] {
        if (filesDropped) filesDropped(paths);
      },
      Qt::QueuedConnection);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) { contextMenu_->popup(event->globalPos()); }

void MainWindow::closeEvent(QCloseEvent* event) {
  RequestClose();
  event->accept();
}

}  // namespace pellux
