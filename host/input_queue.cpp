#include "host/input_queue.h"

namespace pellux {

void InputQueue::Press(PcKey key, std::uint64_t timestamp, bool repeat) {
  const auto index = static_cast<std::size_t>(key);
  if (index >= down_.size()) return;
  // A release still waiting here with this press's timestamp was the first
  // half of an auto-repeat pair: the key never went up.
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
    if (it->input.kind == HostInput::Kind::Release && it->input.key == key && it->timestamp == timestamp) {
      pending_.erase(std::next(it).base());
      down_.set(index);
      return;
    }
  }
  if (repeat || down_.test(index)) return;
  down_.set(index);
  pending_.push_back({{HostInput::Kind::Press, key}, timestamp});
}

void InputQueue::Release(PcKey key, std::uint64_t timestamp, bool repeat) {
  const auto index = static_cast<std::size_t>(key);
  if (repeat || index >= down_.size()) return;
  down_.reset(index);
  pending_.push_back({{HostInput::Kind::Release, key}, timestamp});
}

void InputQueue::ReleaseAll() {
  down_.reset();
  pending_.push_back({{HostInput::Kind::ReleaseAll}, 0});
}

void InputQueue::CalculatorKey(unsigned code, bool down) {
  pending_.push_back({{down ? HostInput::Kind::KeyDown : HostInput::Kind::KeyUp, PcKey::None, code}, 0});
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
