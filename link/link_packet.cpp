#include "link/link_packet.h"

#include <algorithm>
#include <utility>

#include "link/file_bytes.h"

namespace pellux {

namespace {

using filebytes::Hex;

struct CommandInfo {
  std::uint8_t id;
  const char* name;
  bool carriesData;
};

constexpr CommandInfo kCommands[] = {
    {link_command::kVar, "VAR", true},   {link_command::kCts, "CTS", false},  {link_command::kXdp, "XDP", true},
    {link_command::kVer, "VER", false},  {link_command::kSkip, "SKIP", true}, {link_command::kAck, "ACK", false},
    {link_command::kErr, "ERR", false},  {link_command::kRdy, "RDY", false},  {link_command::kScr, "SCR", false},
    {link_command::kCmd, "CMD", false},  {link_command::kDel, "DEL", true},   {link_command::kEot, "EOT", false},
    {link_command::kReq, "REQ", true},   {link_command::kRts, "RTS", true},
};

const CommandInfo* FindCommand(std::uint8_t id) {
  for (const CommandInfo& info : kCommands) {
    if (info.id == id) return &info;
  }
  return nullptr;
}

}  // namespace

const char* LinkCommandName(std::uint8_t command) {
  const CommandInfo* info = FindCommand(command);
  return info ? info->name : nullptr;
}

bool LinkCommandCarriesData(std::uint8_t command) {
  const CommandInfo* info = FindCommand(command);
  return info && info->carriesData;
}

std::string DescribeLinkCommand(std::uint8_t command) {
  const char* name = LinkCommandName(command);
  return name ? std::string(name) : "command " + Hex(command);
}

std::uint16_t LinkChecksum(std::span<const std::uint8_t> data) {
  std::uint32_t sum = 0;
  for (const std::uint8_t byte : data) sum += byte;
  return static_cast<std::uint16_t>(sum);
}

std::vector<std::uint8_t> EncodeLinkHeader(std::uint8_t machine, std::uint8_t command, std::uint16_t word) {
  return {machine, command, static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)};
}

std::vector<std::uint8_t> EncodeLinkPacket(std::uint8_t machine, std::uint8_t command,
                                           std::span<const std::uint8_t> data) {
  if (!LinkCommandCarriesData(command)) return EncodeLinkHeader(machine, command);
  const std::size_t length = std::min<std::size_t>(data.size(), 0xFFFF);
  data = data.first(length);
  std::vector<std::uint8_t> bytes = EncodeLinkHeader(machine, command, static_cast<std::uint16_t>(length));
  bytes.reserve(4 + length + 2);
  bytes.insert(bytes.end(), data.begin(), data.end());
  const std::uint16_t sum = LinkChecksum(data);
  bytes.push_back(static_cast<std::uint8_t>(sum));
  bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
  return bytes;
}

PacketReader::PacketReader(std::vector<std::uint8_t> machines, std::size_t maxData)
    : machines_(std::move(machines)), maxData_(std::min<std::size_t>(maxData, 0xFFFF)) {}

void PacketReader::Reset() {
  stage_ = Stage::Header;
  headerBytes_ = 0;
  checksumBytes_ = 0;
  packet_ = LinkPacket{};
}

PacketReader::Result PacketReader::Fail(PacketFault fault, std::size_t consumed, std::string message) {
  const LinkPacket header{packet_.machine, packet_.command, packet_.word, {}};
  Reset();
  // A packet read whole keeps its header for the caller's answer.
  if (fault == PacketFault::BadChecksum) packet_ = header;
  return {Status::Fault, consumed, fault, std::move(message)};
}

PacketReader::Result PacketReader::HeaderDone(std::size_t consumed) {
  packet_ = LinkPacket{header_[0], header_[1], static_cast<std::uint16_t>(header_[2] | header_[3] << 8), {}};
  headerBytes_ = 0;
  if (std::find(machines_.begin(), machines_.end(), packet_.machine) == machines_.end()) {
    return Fail(PacketFault::BadMachine, consumed, "a packet from machine id " + Hex(packet_.machine) + ", which this end does not talk to");
  }
  if (!LinkCommandName(packet_.command)) {
    return Fail(PacketFault::BadCommand, consumed, "a packet with the unknown command id " + Hex(packet_.command));
  }
  if (!LinkCommandCarriesData(packet_.command)) return {Status::Packet, consumed, PacketFault::None, {}};
  if (packet_.word > maxData_) {
    return Fail(PacketFault::TooLong, consumed,
                std::to_string(packet_.word) + " bytes of " + DescribeLinkCommand(packet_.command) +
                    " data, more than the " + std::to_string(maxData_) + " expected");
  }
  packet_.data.reserve(packet_.word);
  stage_ = packet_.word > 0 ? Stage::Data : Stage::Checksum;
  return {Status::NeedMore, consumed, PacketFault::None, {}};
}

PacketReader::Result PacketReader::Feed(std::span<const std::uint8_t> bytes) {
  // A packet handed out by the last call is forgotten now.
  if (stage_ == Stage::Header && headerBytes_ == 0) packet_ = LinkPacket{};
  std::size_t used = 0;
  while (used < bytes.size()) {
    switch (stage_) {
      case Stage::Header: {
        header_[headerBytes_++] = bytes[used++];
        if (headerBytes_ < 4) break;
        Result result = HeaderDone(used);
        if (result.status != Status::NeedMore) return result;
        break;
      }
      case Stage::Data: {
        const std::size_t take = std::min(bytes.size() - used, std::size_t{packet_.word} - packet_.data.size());
        packet_.data.insert(packet_.data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(used),
                            bytes.begin() + static_cast<std::ptrdiff_t>(used + take));
        used += take;
        if (packet_.data.size() == packet_.word) stage_ = Stage::Checksum;
        break;
      }
      case Stage::Checksum: {
        checksum_[checksumBytes_++] = bytes[used++];
        if (checksumBytes_ < 2) break;
        stage_ = Stage::Header;
        checksumBytes_ = 0;
        const std::uint16_t sent = static_cast<std::uint16_t>(checksum_[0] | checksum_[1] << 8);
        if (sent != LinkChecksum(packet_.data)) {
          return Fail(PacketFault::BadChecksum, used, DescribeLinkCommand(packet_.command) + " data (" +
                                                          std::to_string(packet_.word) +
                                                          " bytes) with a checksum error");
        }
        return {Status::Packet, used, PacketFault::None, {}};
      }
    }
  }
  return {Status::NeedMore, used, PacketFault::None, {}};
}

}  // namespace pellux
