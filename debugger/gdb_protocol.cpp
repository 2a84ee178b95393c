#include "debugger/gdb_protocol.h"

namespace pellux::gdb {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kEscape = '}';
constexpr std::uint8_t kEscapeXor = 0x20;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool NeedsEscape(char c) { return c == '$' || c == '#' || c == kEscape || c == '*'; }

}  // namespace

void PacketReader::Feed(std::string_view bytes, std::vector<PacketEvent>& events) {
  for (const char c : bytes) Step(c, events);
}

std::size_t PacketReader::FeedOne(std::string_view bytes, std::vector<PacketEvent>& events) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (Step(bytes[i], events)) return i + 1;
  }
  return bytes.size();
}

void PacketReader::Start() {
  state_ = State::Payload;
  payload_.clear();
  sum_ = 0;
}

bool PacketReader::Step(char c, std::vector<PacketEvent>& events) {
  switch (state_) {
    case State::Idle:
      if (c == '$') {
        Start();
      } else if (c == kInterruptByte) {
        events.push_back({PacketEvent::Kind::Interrupt, {}});
        return true;
      } else if (c == '+') {
        events.push_back({PacketEvent::Kind::Ack, {}});
        return true;
      } else if (c == '-') {
        events.push_back({PacketEvent::Kind::Nack, {}});
        return true;
      }
      return false;
    case State::Payload:
      if (c == '#') {
        state_ = State::CheckHigh;
        check_ = 0;
      } else if (c == '$') {
        // A packet cut short by a new one: the debugger resends the first
        // when it gets no answer, so the fragment is dropped.
        Start();
      } else if (payload_.size() < kMaxPayload) {
        sum_ = static_cast<std::uint8_t>(sum_ + static_cast<std::uint8_t>(c));
        payload_.push_back(c);
      } else {
        // Too long: said now, and the rest skipped up to its end.
        state_ = State::Skip;
        payload_.clear();
        events.push_back({PacketEvent::Kind::Oversized, {}});
        return true;
      }
      return false;
    case State::CheckHigh:
    case State::CheckLow: {
      const int digit = HexValue(c);
      if (digit < 0 || check_ < 0) {
        check_ = -1;
      } else {
        check_ = check_ * 16 + digit;
      }
      if (state_ == State::CheckHigh) {
        state_ = State::CheckLow;
        return false;
      }
      Finish(events);
      return true;
    }
    case State::Skip:
      if (c == '#') {
        state_ = State::SkipCheck;
        check_ = 0;
      } else if (c == '$') {
        Start();
      }
      return false;
    case State::SkipCheck:
      if (++check_ == 2) state_ = State::Idle;
      return false;
  }
  return false;
}

void PacketReader::Finish(std::vector<PacketEvent>& events) {
  state_ = State::Idle;
  if (check_ != sum_) {
    events.push_back({PacketEvent::Kind::BadChecksum, {}});
  } else {
    events.push_back({PacketEvent::Kind::Packet, std::move(payload_)});
  }
  payload_.clear();
}

std::string FramePacket(std::string_view payload) {
  std::uint8_t sum = 0;
  for (const char c : payload) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
  std::string frame;
  frame.reserve(payload.size() + 4);
  frame.push_back('$');
  frame.append(payload);
  frame.push_back('#');
  frame.push_back(kHexDigits[sum >> 4]);
  frame.push_back(kHexDigits[sum & 15]);
  return frame;
}

std::string EscapeBinary(std::string_view data) {
  std::string escaped;
  escaped.reserve(data.size());
  for (const char c : data) {
    if (NeedsEscape(c)) {
      escaped.push_back(kEscape);
      escaped.push_back(static_cast<char>(c ^ kEscapeXor));
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

std::optional<std::vector<std::uint8_t>> UnescapeBinary(std::string_view data) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] != kEscape) {
      bytes.push_back(static_cast<std::uint8_t>(data[i]));
      continue;
    }
    if (++i == data.size()) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(data[i] ^ kEscapeXor));
  }
  return bytes;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexValue(text[i]);
    const int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    text.push_back(kHexDigits[b >> 4]);
    text.push_back(kHexDigits[b & 15]);
  }
  return text;
}

std::string HexBytes(std::string_view text) {
  return HexBytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string HexLong(std::uint32_t value) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value >> 24),
                                 static_cast<std::uint8_t>(value >> 16),
                                 static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  return HexBytes(bytes);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

}  // namespace pellux::gdb
