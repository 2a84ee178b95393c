// The real program in a real X server: Xvfb on a display of its own, the
// window driven with xdotool and photographed with xwd, as a person would
// see it. Needs Xvfb, xdotool and xwd (scripts/install-deps.sh installs
// them). The pictures are kept as smoke-*.png in the test's directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/host/test_roms.h"
#include "tests/test_paths.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Env = std::vector<std::pair<std::string, std::string>>;

// A child process; stopped (TERM, then KILL) if still running when it goes.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const Env& env, const fs::path& cwd = {}, int stdoutFd = -1,
          bool quiet = false) {
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(stdoutFd >= 0 ? stdoutFd : null, 1);
      if (quiet) dup2(null, 2);
      if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
      for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
      std::vector<char*> args;
      for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  ~Process() { Stop(); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // The exit code (128 + n after signal n), or nothing while it still runs.
  std::optional<int> Wait(std::chrono::milliseconds timeout) {
    if (exit_) return exit_;
    const auto end = std::chrono::steady_clock::now() + timeout;
    do {
      int status = 0;
      if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exit_;
      }
      std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
  }

  void Stop() {
    if (pid_ <= 0 || exit_) return;
    kill(pid_, SIGTERM);
    if (!Wait(3s)) {
      kill(pid_, SIGKILL);
      Wait(3s);
    }
  }

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> exit_;
};

// Runs a command to its end and answers what it printed, or nothing when it
// failed or took longer than the timeout.
std::optional<std::string> Output(const std::vector<std::string>& argv, const Env& env,
                                  std::chrono::milliseconds timeout = 10s) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  Process process(argv, env, {}, fds[1]);
  close(fds[1]);
  std::string out;
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd p{fds[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[4096];
    const ssize_t got = read(fds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  close(fds[0]);
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
  const std::optional<int> code = process.Wait(std::max(left, std::chrono::milliseconds(0)));
  if (code != 0) return std::nullopt;
  return out;
}

bool Succeeds(const std::vector<std::string>& argv, const Env& env) { return Output(argv, env).has_value(); }

// An XWD dump of a 24- or 32-bit visual as an image.
QImage ReadXwd(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto field = [&](std::size_t i) -> std::uint32_t {
    const std::uint8_t* p = data.data() + 4 * i;
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
  };
  if (data.size() < 100) return {};
  const std::uint32_t headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7);
  const std::uint32_t bitsPerPixel = field(11), bytesPerLine = field(12), ncolors = field(19);
  const std::uint32_t masks[3] = {field(14), field(15), field(16)};
  const std::size_t pixels = headerSize + 12 * std::size_t{ncolors};
  if ((bitsPerPixel != 32 && bitsPerPixel != 24) || pixels + std::size_t{bytesPerLine} * height > data.size()) {
    return {};
  }
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  const unsigned bytes = bitsPerPixel / 8;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t* p = data.data() + pixels + std::size_t{y} * bytesPerLine + x * bytes;
      std::uint32_t value = 0;
      for (unsigned i = 0; i < bytes; ++i) {
        value |= std::uint32_t{p[i]} << (8 * (byteOrder == 0 ? i : bytes - 1 - i));
      }
      int rgb[3];
      for (int c = 0; c < 3; ++c) {
        const std::uint32_t mask = masks[c];
        rgb[c] = mask ? static_cast<int>((value & mask) >> __builtin_ctz(mask)) : 0;
      }
      image.setPixel(static_cast<int>(x), static_cast<int>(y), qRgb(rgb[0], rgb[1], rgb[2]));
    }
  }
  return image;
}

// How far a picture of the LCD area shows the test ROM's LCD at a zoom: the
// pixels that differ, stopping at `limit`.
int PixelsOff(const QImage& shot, int zoom, std::uint8_t row9, int limit = 1 << 30) {
  if (shot.size() != QSize(240 * zoom, 128 * zoom)) return -1;
  int off = 0;
  for (int y = 0; y < shot.height() && off < limit; ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      const bool dark = test::SleepingRomPixel(static_cast<unsigned>(x / zoom), static_cast<unsigned>(y / zoom), row9);
      if ((shot.pixel(x, y) & 0xFFFFFF) != (dark ? 0u : 0xFFFFFFu)) ++off;
    }
  }
  return off;
}

// The LCD area of a picture of the whole window: zoom x 240 by zoom x 128
// pixels, centred across the window, somewhere between the menu bar and the
// status line; the place where it shows the ROM's picture best.
QImage LcdArea(const QImage& window, int zoom, std::uint8_t row9) {
  const QSize lcd(240 * zoom, 128 * zoom);
  if (window.width() < lcd.width() || window.height() < lcd.height()) return {};
  const int x = (window.width() - lcd.width()) / 2;
  QImage best;
  int bestOff = -1;
  for (int y = 0; y + lcd.height() <= window.height(); ++y) {
    const QImage area = window.copy(QRect(QPoint(x, y), lcd));
    const int off = PixelsOff(area, zoom, row9, bestOff < 0 ? 1 << 30 : bestOff);
    if (bestOff < 0 || off < bestOff) {
      best = area;
      bestOff = off;
      if (off == 0) break;
    }
  }
  return best;
}

// Whether the window shows the ROM's LCD exactly, at the zoom, with bars.
bool ShowsLcd(const QImage& window, int zoom, std::uint8_t row9) {
  return PixelsOff(LcdArea(window, zoom, row9), zoom, row9) == 0;
}

class XvfbSmoke : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    // Xvfb picks a free display itself and writes its number down the pipe.
    server_ = new Process({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1600x1200x24", "-nolisten",
                           "tcp", "-noreset"},
                          {}, {}, -1, true);  // quiet: it reports every display number it finds taken
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    display_ = ":" + number;
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    ASSERT_FALSE(display_.empty());
    char name[] = "/tmp/pellux-smoke-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override {
    pellux_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  Env X() const { return {{"DISPLAY", display_}}; }

  // The test ROM that shows keyboard row 9, as ti92p.rom in the working directory.
  void WriteKeysRom() {
    const auto rom = test::SleepingRom(true);
    std::ofstream(dir_ / "ti92p.rom", std::ios::binary)
        .write(reinterpret_cast<const char*>(rom.data()), static_cast<std::streamsize>(rom.size()));
  }

  void StartPellux() {
    // Settings and sessions of its own, not the user's: every run starts alike.
    pellux_ = std::make_unique<Process>(std::vector<std::string>{test::kWindowBinary},
                                        Env{{"DISPLAY", display_},
                                            {"QT_QPA_PLATFORM", "xcb"},
                                            {"XDG_CONFIG_HOME", (dir_ / "config").string()},
                                            {"XDG_DATA_HOME", (dir_ / "data").string()}},
                                        dir_);
  }

  std::string FindWindow(const std::string& title) {
    for (auto end = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < end;) {
      if (const auto out = Output({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}, X())) {
        if (!out->empty()) return out->substr(0, out->find('\n'));
      }
      if (pellux_ && pellux_->Wait(0ms)) break;
      std::this_thread::sleep_for(100ms);
    }
    return {};
  }

  // Waits until the program shows at least `count` windows (a popup menu
  // is a window of its own), for up to 10 seconds: a key sent before the
  // menu is up would go to the calculator instead.
  bool WaitForWindows(std::size_t count) {
    const std::vector<std::string> search{"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pellux_->Pid())};
    for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
      if (const auto out = Output(search, X())) {
        if (static_cast<std::size_t>(std::count(out->begin(), out->end(), '\n')) >= count) return true;
      }
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  QImage Screenshot(const std::string& window) {
    const fs::path dump = dir_ / "shot.xwd";
    if (!Succeeds({"xwd", "-silent", "-id", window, "-out", dump.string()}, X())) return {};
    return ReadXwd(dump);
  }

  // Photographs the window until it matches, or gives up after 10 seconds;
  // the last picture is kept under the name given.
  QImage WaitForPicture(const std::string& window, const std::string& name, const std::function<bool(const QImage&)>& ok) {
    QImage shot;
    for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
      shot = Screenshot(window);
      if (!shot.isNull() && ok(shot)) break;
      std::this_thread::sleep_for(50ms);
    }
    shot.save(QString::fromStdString("smoke-" + name + ".png"));
    return shot;
  }

  // What a window manager sends when the user closes a window.
  void SendDeleteWindow(const std::string& window) {
    xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(connection));
    auto atom = [&](const char* name) {
      xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
          connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
      const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
      std::free(reply);
      return value;
    };
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(std::stoul(window));
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, message.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    // A round trip before hanging up: the server may drop the requests of a
    // client that has gone.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
  }

  static Process* server_;
  static std::string display_;
  fs::path dir_;
  std::unique_ptr<Process> pellux_;
};

Process* XvfbSmoke::server_ = nullptr;
std::string XvfbSmoke::display_;

TEST_F(XvfbSmoke, TheWindowShowsTheLcdTakesKeysZoomsAndCloses) {
  WriteKeysRom();
  StartPellux();
  const std::string window = FindWindow("Pellux");
  ASSERT_FALSE(window.empty()) << "no window titled Pellux";

  QImage shot = WaitForPicture(window, "start", [](const QImage& s) { return ShowsLcd(s, 3, 0xFF); });
  EXPECT_GT(shot.height(), 384) << "a menu bar and a status line around the LCD";
  const QImage lcd = LcdArea(shot, 3, 0xFF);
  ASSERT_EQ(lcd.size(), QSize(720, 384)) << "the LCD area at 3X";
  EXPECT_EQ(PixelsOff(lcd, 3, 0xFF), 0) << "the LCD as the ROM drew it, every pixel a 3 x 3 square";
  lcd.save(QStringLiteral("smoke-start-lcd.png"));

  ASSERT_TRUE(Succeeds({"xdotool", "windowfocus", window}, X()));
  // A on the PC is A on the calculator: row 9, column 2.
  ASSERT_TRUE(Succeeds({"xdotool", "keydown", "a"}, X()));
  shot = WaitForPicture(window, "key-a", [](const QImage& s) { return ShowsLcd(s, 3, 0xFB); });
  EXPECT_TRUE(ShowsLcd(shot, 3, 0xFB)) << "A held down";
  ASSERT_TRUE(Succeeds({"xdotool", "keyup", "a"}, X()));
  shot = WaitForPicture(window, "key-a-up", [](const QImage& s) { return ShowsLcd(s, 3, 0xFF); });
  EXPECT_TRUE(ShowsLcd(shot, 3, 0xFF)) << "A released";

  // Shift+0 types ')' but is the 0 key all the same, and held past the
  // keyboard's auto-repeat delay it comes up cleanly.
  ASSERT_TRUE(Succeeds({"xdotool", "keydown", "shift+0"}, X()));
  std::this_thread::sleep_for(1500ms);
  shot = WaitForPicture(window, "key-shift-0", [](const QImage& s) { return ShowsLcd(s, 3, 0xDF); });
  EXPECT_TRUE(ShowsLcd(shot, 3, 0xDF)) << "0 held down with Shift";
  ASSERT_TRUE(Succeeds({"xdotool", "keyup", "shift+0"}, X()));
  shot = WaitForPicture(window, "key-shift-0-up", [](const QImage& s) { return ShowsLcd(s, 3, 0xFF); });
  EXPECT_TRUE(ShowsLcd(shot, 3, 0xFF)) << "0 released: no key stuck";

  // The context menu: Size, 5X, each key sent once its menu is up.
  ASSERT_TRUE(Succeeds({"xdotool", "mousemove", "--window", window, "100", "100", "click", "3"}, X()));
  ASSERT_TRUE(WaitForWindows(2)) << "the context menu did not open";
  ASSERT_TRUE(Succeeds({"xdotool", "key", "s"}, X()));
  ASSERT_TRUE(WaitForWindows(3)) << "the Size menu did not open";
  ASSERT_TRUE(Succeeds({"xdotool", "key", "5"}, X()));
  shot = WaitForPicture(window, "zoom-5", [](const QImage& s) { return ShowsLcd(s, 5, 0xFF); });
  EXPECT_EQ(shot.width(), 1200) << "the window follows the zoom";
  EXPECT_EQ(LcdArea(shot, 5, 0xFF).size(), QSize(1200, 640));
  EXPECT_TRUE(ShowsLcd(shot, 5, 0xFF));

  // File > Quit's key.
  ASSERT_TRUE(Succeeds({"xdotool", "key", "ctrl+q"}, X()));
  EXPECT_EQ(pellux_->Wait(20s), 0) << "Ctrl+Q ends the program with code 0";
}

// F11 stops the machine in the modal Debug dialog; Esc resumes; closing the
// window while the dialog is up ends the program cleanly.
TEST_F(XvfbSmoke, F11OpensTheDebugDialogAndEscResumes) {
  WriteKeysRom();
  StartPellux();
  const std::string window = FindWindow("Pellux");
  ASSERT_FALSE(window.empty());
  WaitForPicture(window, "before-debug", [](const QImage& s) { return ShowsLcd(s, 3, 0xFF); });
  ASSERT_TRUE(Succeeds({"xdotool", "windowfocus", window}, X()));
  ASSERT_TRUE(Succeeds({"xdotool", "key", "F11"}, X()));
  const std::string debug = FindWindow("Debug");
  ASSERT_FALSE(debug.empty()) << "no Debug dialog";
  const QImage shot = WaitForPicture(debug, "debug", [](const QImage& s) { return !s.isNull(); });
  EXPECT_GT(shot.width(), 400);

  ASSERT_TRUE(Succeeds({"xdotool", "windowfocus", debug}, X()));
  ASSERT_TRUE(Succeeds({"xdotool", "key", "Escape"}, X()));
  bool gone = false;
  for (auto end = std::chrono::steady_clock::now() + 10s; !gone && std::chrono::steady_clock::now() < end;) {
    const auto out = Output({"xdotool", "search", "--onlyvisible", "--name", "^Debug$"}, X());
    gone = !out || out->empty();  // xdotool fails when it finds nothing
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(gone) << "Esc ends the dialog";
  EXPECT_FALSE(pellux_->Wait(0ms)) << "and the window runs on";

  ASSERT_TRUE(Succeeds({"xdotool", "windowfocus", window}, X()));
  ASSERT_TRUE(Succeeds({"xdotool", "key", "F11"}, X()));
  ASSERT_FALSE(FindWindow("Debug").empty()) << "the Debug dialog again";
  SendDeleteWindow(window);
  EXPECT_EQ(pellux_->Wait(20s), 0) << "closing the window under the dialog ends the program";
}

TEST_F(XvfbSmoke, WithoutARomTheErrorBoxAppearsAndTheExitCodeIs1) {
  StartPellux();  // in an empty directory
  const std::string box = FindWindow("Initialization Error");
  ASSERT_FALSE(box.empty()) << "no message box";
  const QImage shot = WaitForPicture(box, "missing-rom", [](const QImage& s) { return !s.isNull(); });
  EXPECT_GT(shot.width(), 100);
  EXPECT_FALSE(pellux_->Wait(0ms)) << "the program waits for the box";
  ASSERT_TRUE(Succeeds({"xdotool", "windowfocus", box}, X()));
  ASSERT_TRUE(Succeeds({"xdotool", "key", "Return"}, X()));
  EXPECT_EQ(pellux_->Wait(20s), 1);
}

}  // namespace
}  // namespace pellux
