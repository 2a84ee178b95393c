// The clock the window paces the machine by: the host's clock run at the
// speed the user chose, and, when asked, a processor held to the real
// calculator's instruction rate.
#pragma once

#include <cstdint>

#include "machine/clock.h"
#include "machine/speed.h"

namespace pellux {

class SpeedClock : public HostClock {
 public:
  // The base must have a high-resolution counter; it stays the caller's.
  explicit SpeedClock(HostClock& base);

  Speed speed() const { return speed_; }
  // Calculator time goes on from where it is, at the new speed.
  void SetSpeed(Speed speed);

  // With this on, every run slice waits until calculator time has caught up
  // with the instructions the slices before it ran, at
  // kCalculatorInstructionsPerSecond (times the speed). Unlimited never waits.
  bool calculatorSpeed() const { return calculatorSpeed_; }
  void SetCalculatorSpeed(bool on);

  std::int64_t CounterFrequency() override { return frequency_; }
  std::int64_t Counter() override;
  std::uint32_t Milliseconds() override;
  void SliceStarting() override;
  void WaitIdle() override;

 protected:
  // Lets the given counts of the base clock pass: a real clock sleeps. A
  // clock that moves only when told (the headless runner's) moves instead.
  virtual void WaitBase(std::int64_t counts);

 private:
  // Calculator time, in counts, as the base reads now.
  std::int64_t Scaled(std::int64_t baseNow) const;
  void CountUnlimitedTick();
  // Takes the present reading as the origin of the next stretch.
  void Reanchor();

  HostClock& base_;
  std::int64_t frequency_;
  Speed speed_ = Speed::Real;
  bool calculatorSpeed_ = false;
  // Calculator time = origin_ + (base - baseOrigin_) x factor, or, when
  // unlimited, origin_ + unlimitedTicks_ ticks.
  std::int64_t origin_ = 0;
  std::int64_t baseOrigin_ = 0;
  std::int64_t unlimitedTicks_ = 0;
  // At calculator speed: the calculator time the slices so far stand for,
  // from budgetOrigin_ on.
  std::int64_t budgetOrigin_ = 0;
  std::int64_t budgetSlices_ = 0;
  bool budgetStarted_ = false;
};

// The same over a manual clock (the headless runner, tests): a wait moves
// the manual clock on instead of sleeping.
class ManualSpeedClock : public SpeedClock {
 public:
  explicit ManualSpeedClock(ManualClock& base) : SpeedClock(base), manual_(base) {}
  // Counts of the manual clock the waits have moved it on by.
  std::int64_t waited() const { return waited_; }

 protected:
  void WaitBase(std::int64_t counts) override;

 private:
  ManualClock& manual_;
  std::int64_t waited_ = 0;
};

}  // namespace pellux
