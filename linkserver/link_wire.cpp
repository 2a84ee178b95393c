#include "linkserver/link_wire.h"

#include <algorithm>
#include <cstdio>

namespace pellux::link_wire {

namespace {

constexpr std::size_t kShownBytes = 24;

std::string Hex(std::uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", byte);
  return text;
}

}  // namespace

std::string Hello(std::uint8_t version) {
  std::string hello(kMagic);
  hello.push_back(static_cast<char>(version));
  return hello;
}

std::string BytesFrame(std::span<const std::uint8_t> bytes) {
  const std::size_t count = std::min(bytes.size(), kMaxFrameBytes);
  std::string frame;
  frame.reserve(2 + count);
  frame.push_back(static_cast<char>(FrameKind::Bytes));
  frame.push_back(static_cast<char>(count));
  frame.append(reinterpret_cast<const char*>(bytes.data()), count);
  return frame;
}

std::string LinesFrame(std::uint8_t held) {
  return {static_cast<char>(FrameKind::Lines), static_cast<char>(held & 0x03)};
}

std::string ResetFrame() { return std::string(1, static_cast<char>(FrameKind::Reset)); }

std::string BusyFrame() { return std::string(1, static_cast<char>(FrameKind::Busy)); }

HelloCheck CheckHello(std::string_view input) {
  HelloCheck check;
  const std::size_t compared = std::min(input.size(), kMagic.size());
  if (input.substr(0, compared) != kMagic.substr(0, compared)) {
    check.status = HelloCheck::Status::NotPellux;
  } else if (input.size() >= kHelloBytes) {
    check.version = static_cast<std::uint8_t>(input[kMagic.size()]);
    check.status = check.version == kVersion ? HelloCheck::Status::Good : HelloCheck::Status::OtherVersion;
  }
  return check;
}

Decoded DecodeFrame(std::string_view input) {
  Decoded decoded;
  if (input.empty()) return decoded;
  const auto tag = static_cast<std::uint8_t>(input[0]);
  auto bad = [&](std::string problem) {
    decoded.status = Decoded::Status::Bad;
    decoded.problem = std::move(problem);
    return decoded;
  };
  auto whole = [&](FrameKind kind, std::size_t length) {
    decoded.status = Decoded::Status::Frame;
    decoded.kind = kind;
    decoded.length = length;
    return decoded;
  };
  switch (static_cast<FrameKind>(tag)) {
    case FrameKind::Bytes: {
      if (input.size() < 2) return decoded;
      const auto count = static_cast<std::uint8_t>(input[1]);
      if (count == 0) return bad("a message of no bytes");
      if (input.size() < 2u + count) return decoded;
      decoded.bytes = input.substr(2, count);
      return whole(FrameKind::Bytes, 2u + count);
    }
    case FrameKind::Lines: {
      if (input.size() < 2) return decoded;
      const auto held = static_cast<std::uint8_t>(input[1]);
      if (held > 0x03) return bad("lines " + Hex(held) + ", where only bits 0 and 1 are lines");
      decoded.lines = held;
      return whole(FrameKind::Lines, 2);
    }
    case FrameKind::Reset:
      return whole(FrameKind::Reset, 1);
    case FrameKind::Busy:
      return whole(FrameKind::Busy, 1);
  }
  return bad("a message of unknown type " + Hex(tag));
}

std::string Printable(std::string_view bytes) {
  std::string text;
  for (const char c : bytes.substr(0, kShownBytes)) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      text += escaped;
    }
  }
  if (bytes.size() > kShownBytes) text += "...";
  return text;
}

}  // namespace pellux::link_wire
