#include "host/signal_watch.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#define PELLUX_HAVE_SIGNALS 1
#endif

namespace pellux {

#ifdef PELLUX_HAVE_SIGNALS

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The pipe's ends; the handler reaches them only through these.
volatile sig_atomic_t gWriteEnd = -1;

extern "C" void RecordSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  // Non-blocking: with the pipe full, the signals already in it say enough.
  if (gWriteEnd >= 0) (void)!::write(gWriteEnd, &number, 1);
  errno = saved;
}

bool MakePipe(int ends[2]) {
  if (::pipe(ends) != 0) return false;
  for (int i = 0; i < 2; ++i) {
    ::fcntl(ends[i], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[i], F_SETFL, ::fcntl(ends[i], F_GETFL) | O_NONBLOCK);
  }
  return true;
}

}  // namespace

struct SignalWatch::Saved {
  int ends[2] = {-1, -1};
  std::array<struct sigaction, kSignals.size()> previous{};
};

SignalWatch::SignalWatch(std::function<void(int signal)> onSignal)
    : onSignal_(std::move(onSignal)), saved_(std::make_unique<Saved>()) {
  if (!MakePipe(saved_->ends)) return;
  gWriteEnd = saved_->ends[1];
  notifier_ = std::make_unique<QSocketNotifier>(saved_->ends[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
    unsigned char number = 0;
    while (::read(saved_->ends[0], &number, 1) == 1) onSignal_(number);
  });
  struct sigaction action {};
  action.sa_handler = RecordSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the next one of the same kind takes the default action.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &saved_->previous[i]);
}

SignalWatch::~SignalWatch() {
  if (saved_->ends[0] < 0) return;
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &saved_->previous[i], nullptr);
  gWriteEnd = -1;
  notifier_.reset();
  ::close(saved_->ends[0]);
  ::close(saved_->ends[1]);
}

#else

struct SignalWatch::Saved {};

SignalWatch::SignalWatch(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {}

SignalWatch::~SignalWatch() = default;

#endif

}  // namespace pellux
