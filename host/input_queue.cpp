#include "host/input_queue.h"

namespace pellux {

void InputQueue::Press(unsigned virtualKey, std::uint64_t timestamp, bool repeat) {
  if (virtualKey >= down_.size()) return;
  // A release still waiting here with this press's timestamp was the first
  // half of an auto-repeat pair: the key never went up.
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
    if (it->input.kind == HostInput::Kind::Release && it->input.virtualKey == virtualKey &&
        it->timestamp == timestamp) {
      pending_.erase(std::next(it).base());
      down_.set(virtualKey);
      return;
    }
  }
  if (repeat || down_.test(virtualKey)) return;
  down_.set(virtualKey);
  pending_.push_back({{HostInput::Kind::Press, virtualKey}, timestamp});
}

void InputQueue::Release(unsigned virtualKey, std::uint64_t timestamp, bool repeat) {
  if (repeat || virtualKey >= down_.size()) return;
  down_.reset(virtualKey);
  pending_.push_back({{HostInput::Kind::Release, virtualKey}, timestamp});
}

void InputQueue::ReleaseAll() {
  down_.reset();
  pending_.push_back({{HostInput::Kind::ReleaseAll, 0}, 0});
}

void InputQueue::CalculatorKey(unsigned code, bool down) {
  pending_.push_back({{down ? HostInput::Kind::KeyDown : HostInput::Kind::KeyUp, code}, 0});
}

std::optional<HostInput> InputQueue::Next() {
  if (pending_.empty()) return std::nullopt;
  const HostInput input = pending_.front().input;
  pending_.pop_front();
  return input;
}

void InputQueue::Clear() {
  pending_.clear();
  down_.reset();
}

}  // namespace pellux
