#include "host/session_saver.h"

#include <exception>
#include <new>

#include "host/session_store.h"

namespace pellux {

namespace {

// The clock as it read when the copy was made: the worker measures the
// pending part of a tick against that moment, never against the live clock,
// which belongs to the main thread.
class FrozenClock : public HostClock {
 public:
  FrozenClock(std::int64_t frequency, std::int64_t counter, std::uint32_t tickMs)
      : frequency_(frequency), counter_(counter), tickMs_(tickMs) {}
  std::int64_t CounterFrequency() override { return frequency_; }
  std::int64_t Counter() override { return counter_; }
  std::uint32_t Milliseconds() override { return tickMs_; }
  void WaitIdle() override {}

 private:
  std::int64_t frequency_;
  std::int64_t counter_;
  std::uint32_t tickMs_;
};

}  // namespace

SessionSaver::SessionSaver(std::filesystem::path folder)
    : folder_(std::move(folder)),
      copy_(std::make_unique<Calculator>(std::span<const std::uint8_t>{})),
      worker_([this] { Work(); }) {}

SessionSaver::~SessionSaver() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

bool SessionSaver::Begin(const Calculator& machine, const RomIdentity& rom, HostClock& clock,
                         Driver::Mode mode) {
  {
    std::lock_guard lock(mutex_);
    if (busy_) return false;
  }
  // The worker does not touch the copy until busy_ is set below.
  *copy_ = machine;
  rom_ = rom;
  mode_ = mode;
  counterFrequency_ = clock.CounterFrequency();
  counter_ = clock.Counter();
  milliseconds_ = clock.Milliseconds();
  {
    std::lock_guard lock(mutex_);
    busy_ = true;
  }
  changed_.notify_all();
  return true;
}

bool SessionSaver::busy() const {
  std::lock_guard lock(mutex_);
  return busy_;
}

void SessionSaver::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
}

std::optional<Status> SessionSaver::TakeResult() {
  std::lock_guard lock(mutex_);
  std::optional<Status> result = std::move(result_);
  result_.reset();
  return result;
}

void SessionSaver::Work() {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return busy_ || stop_; });
      if (!busy_) return;
    }
    Status saved;
    try {
      FrozenClock clock(counterFrequency_, counter_, milliseconds_);
      saved = SessionStore(folder_).Save(*copy_, rom_, clock, mode_);
    } catch (const std::bad_alloc&) {
      saved = Fail("not enough memory");
    } catch (const std::exception& error) {
      saved = Fail(error.what());
    }
    {
      std::lock_guard lock(mutex_);
      result_ = std::move(saved);
      busy_ = false;
    }
    changed_.notify_all();
  }
}

}  // namespace pellux
