// A window for the link's tests: its dialogs answer what the test says,
// its boxes are kept, the loop's time is counted in seconds, and the PC
// keyboard and drops are driven as a user drives them. PedroM, a free
// operating system for the calculator that speaks the link protocol, is
// used when its image is beside the project (../shared/pedrom/).
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/link_control.h"
#include "host/main_window.h"
#include "host/shell.h"
#include "host/status_line.h"
#include "machine/errors.h"
#include "tests/host/shell_fixture.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"

namespace pellux::test {

namespace fs = std::filesystem;

inline const fs::path kLinkData = fs::path(test::kProjectDir) / "tests/data/link";
inline const fs::path kPedromRom = fs::path(test::kProjectDir) / "../shared/pedrom/pedrom-ti92p.rom";

inline std::vector<std::uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

// A window whose dialogs answer what the test says and whose boxes are
// kept, with the loop's time counted in seconds.
struct LinkWindow : ShellFixture {
  explicit LinkWindow(const std::vector<std::uint8_t>& rom) : ShellFixture(rom) {
    if (!created) return;
    MainWindow& w = window();
    w.showNotice = [this](const QString& text) { notices << text; };
    w.showWarning = [this](const QString& text) { notices << text; };
    w.showError = [this](const ErrMsg& error) {
      notices << QString::fromUtf8(error.what()) + " " + QString::fromStdString(error.detail);
    };
    w.chooseOpenFiles = [this](FileKind, const QString&) { return sendAnswer; };
    w.chooseOpenFile = [this](FileKind, const QString&) { return openAnswer; };
    w.chooseSaveFile = [this](FileKind, const QString&) { return saveAnswer; };
    w.askText = [this](const QString&, const QString&, const QString&) { return textAnswer; };
    w.chooseFolder = [this](const QString&, const QString&) { return folderAnswer; };
  }
  LinkControl& link() { return *shell().link(); }
  const WindowMenus& menus() { return window().menus(); }
  QString Status() { return window().statusLine().currentMessage(); }
  double Seconds() const { return static_cast<double>(clock.counter) / static_cast<double>(clock.frequency); }

  // Passes until done() holds, for at most that many seconds of the loop's
  // time; answers done().
  bool RunUntil(const std::function<bool()>& done, double seconds) {
    const double until = Seconds() + seconds;
    while (!done()) {
      if (Seconds() >= until) return false;
      shell().Pass();
    }
    return true;
  }
  void Run(double seconds) {
    RunUntil([] { return false; }, seconds);
  }

  // A key of the PC keyboard pressed and let go, with time for the
  // calculator to see each.
  void Tap(int key) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
      QKeyEvent event(type, key, Qt::NoModifier);
      event.setTimestamp(++keyTime_);
      QCoreApplication::sendEvent(&window(), &event);
      Run(0.06);
    }
  }
  // Lower-case letters, digits and spaces, then Enter.
  void Type(const std::string& line) {
    for (const char c : line) {
      if (c == ' ') {
        Tap(Qt::Key_Space);
      } else if (c >= '0' && c <= '9') {
        Tap(Qt::Key_0 + (c - '0'));
      } else {
        Tap(Qt::Key_A + (c - 'a'));
      }
    }
    Tap(Qt::Key_Return);
  }

  static QMimeData* Files(const std::vector<fs::path>& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const fs::path& path : paths) urls << QUrl::fromLocalFile(Q(path));
    data->setUrls(urls);
    return data;
  }
  // The files dragged over the window and dropped; answers whether the
  // window took the drag.
  bool Drop(const std::vector<fs::path>& paths) {
    std::unique_ptr<QMimeData> data(Files(paths));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window(), &drop);
    return drop.isAccepted();
  }

  QStringList notices;
  QStringList sendAnswer;  // what Send to Calculator's dialog answers
  QString openAnswer;
  QString saveAnswer;
  QString folderAnswer;
  QString textAnswer;  // HOST:PORT
  TempDir dir;

 private:
  std::uint64_t keyTime_ = 1;
};

inline std::optional<std::vector<std::uint8_t>> PedromImage() {
  if (!fs::exists(kPedromRom)) return std::nullopt;
  return FileBytes(kPedromRom);
}

#define SKIP_WITHOUT_PEDROM(rom)                                           \
  if (!rom) {                                                              \
    GTEST_SKIP() << "PedroM's image is not beside the project ("           \
                 << ::pellux::test::kPedromRom.lexically_normal().string() \
                 << "): the tests with a calculator that answers need it"; \
  }

// PedroM at its prompt, received files going to the test's folder.
inline std::unique_ptr<LinkWindow> BootPedrom(const std::vector<std::uint8_t>& rom) {
  auto f = std::make_unique<LinkWindow>(rom);
  if (!f->created) return f;
  f->link().SetReceivedFolder(f->dir.path());
  f->Run(3.0);
  return f;
}

}  // namespace pellux::test
