#include "tests/scripted_calculator.h"

#include <algorithm>

namespace pellux::test {

namespace {

constexpr std::uint8_t kMachine = 0x88;  // a TI-92 Plus to the computer

// The commands that carry data, as the calculator's reader knows them.
bool CarriesData(std::uint8_t command) {
  switch (command) {
    case 0x06:  // VAR
    case 0x15:  // XDP
    case 0x36:  // SKIP
    case 0x88:  // DEL
    case 0xA2:  // REQ
    case 0xC9:  // RTS
      return true;
    default:
      return false;
  }
}

std::uint16_t Sum(std::span<const std::uint8_t> bytes) {
  unsigned sum = 0;
  for (const std::uint8_t byte : bytes) sum += byte;
  return static_cast<std::uint16_t>(sum);
}

std::string NameIn(const std::vector<std::uint8_t>& header) {
  if (header.size() < 6 || header.size() < 6u + header[5]) return {};
  return std::string(header.begin() + 6, header.begin() + 6 + header[5]);
}

}  // namespace

void ScriptedCalculator::Take(std::span<const std::uint8_t> bytes) {
  if (deaf) return;
  in_.insert(in_.end(), bytes.begin(), bytes.end());
  for (;;) {
    if (in_.size() < 4) return;
    SeenPacket packet;
    packet.machine = in_[0];
    packet.command = in_[1];
    packet.word = static_cast<std::uint16_t>(in_[2] | in_[3] << 8);
    std::size_t length = 4;
    if (CarriesData(packet.command)) {
      length = 4u + packet.word + 2u;
      if (in_.size() < length) return;
      packet.data.assign(in_.begin() + 4, in_.begin() + 4 + packet.word);
      const auto sent = static_cast<std::uint16_t>(in_[4 + packet.word] | in_[5 + packet.word] << 8);
      packet.intact = sent == Sum(packet.data);
    }
    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(length));
    seen.push_back(packet);
    Handle(packet);
    if (deaf) return;
  }
}

std::vector<std::uint8_t> ScriptedCalculator::TakeOutput() { return std::exchange(out_, {}); }

bool ScriptedCalculator::TakeResetPulse() { return std::exchange(pulse_, false); }

void ScriptedCalculator::SendRaw(std::span<const std::uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

void ScriptedCalculator::SendPacket(std::uint8_t command, std::span<const std::uint8_t> data, std::uint16_t word) {
  std::vector<std::uint8_t> packet = {kMachine, command};
  if (CarriesData(command)) word = static_cast<std::uint16_t>(data.size());
  packet.push_back(static_cast<std::uint8_t>(word));
  packet.push_back(static_cast<std::uint8_t>(word >> 8));
  if (CarriesData(command)) {
    packet.insert(packet.end(), data.begin(), data.end());
    std::uint16_t sum = Sum(data);
    if (auto damaged = damage.find(command); damaged != damage.end() && damaged->second > 0) {
      --damaged->second;
      sum = static_cast<std::uint16_t>(sum + 1);
    }
    packet.push_back(static_cast<std::uint8_t>(sum));
    packet.push_back(static_cast<std::uint8_t>(sum >> 8));
  }
  SendRaw(packet);
  if (command != 0x56) {
    lastCommand_ = command;
    lastData_.assign(data.begin(), data.end());
  }
}

void ScriptedCalculator::SendVariable(const Variable& variable) {
  sending_ = variable;
  const std::string name = variable.folder + "\\" + variable.name;
  const auto size = static_cast<std::uint32_t>(variable.data.size());
  std::vector<std::uint8_t> header = {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8), 0, 0,
                                      variable.type, static_cast<std::uint8_t>(name.size())};
  header.insert(header.end(), name.begin(), name.end());
  SendPacket(0x06, header);
  state_ = State::SendAck;
}

void ScriptedCalculator::Handle(const SeenPacket& packet) {
  if (answerPackets) {
    if (*answerPackets == 0) return;
    --*answerPackets;
  }
  // A damaged packet, or one it claims was: reset the link, ask again.
  auto complaint = complainAbout.find(packet.command);
  if (!packet.intact || (complaint != complainAbout.end() && complaint->second > 0)) {
    if (packet.intact) --complaint->second;
    Pulse();
    SendPacket(0x5A);
    return;
  }
  if (giveUpOn && *giveUpOn == packet.command) {
    Pulse();
    deaf = true;
    return;
  }
  if (packet.command == 0x5A) {
    if (lastCommand_ != 0) SendPacket(lastCommand_, std::vector<std::uint8_t>(lastData_));
    return;
  }
  if (packet.command != 0x56) SendPacket(0x56);
  Translate(packet);
}

void ScriptedCalculator::Translate(const SeenPacket& packet) {
  switch (state_) {
    case State::RecvAck:
      state_ = State::Idle;
      if (packet.command == 0x56) {
        state_ = State::RecvData;
        return;
      }
      break;
    case State::RecvData:
      state_ = State::Idle;
      if (packet.command == 0x15) {
        receiving_.data.assign(packet.data.begin() + std::min<std::size_t>(4, packet.data.size()), packet.data.end());
        stored.push_back(receiving_);
        return;
      }
      break;
    case State::SendAck:
      state_ = packet.command == 0x56 ? State::SendCts : State::Idle;
      return;
    case State::SendCts:
      state_ = State::Idle;
      if (packet.command == 0x09) {
        std::vector<std::uint8_t> data(4, 0);
        data.insert(data.end(), sending_.data.begin(), sending_.data.end());
        SendPacket(0x15, data);
        state_ = State::SendDataAck;
      }
      return;
    case State::SendDataAck:
      state_ = State::Idle;
      if (packet.command == 0x56) SendPacket(0x92);
      return;
    case State::Idle:
      break;
  }
  if (packet.command == 0x06) {  // VAR
    const std::string name = NameIn(packet.data);
    if (locked.count(name)) {
      const std::uint8_t refusal[] = {refusalCode, 0x00, 0x1E, 0x00, 0x00};
      SendPacket(0x36, refusal);
      return;
    }
    const std::size_t separator = name.find('\\');
    receiving_ = Variable{};
    receiving_.folder = separator == std::string::npos ? "" : name.substr(0, separator);
    receiving_.name = separator == std::string::npos ? name : name.substr(separator + 1);
    receiving_.type = packet.data.size() > 4 ? packet.data[4] : 0;
    SendPacket(0x09);
    state_ = State::RecvAck;
  } else if (packet.command == 0x6D) {  // SCR
    SendPacket(0x15, screen);
  }
}

std::vector<std::string> CommandNames(const std::vector<SeenPacket>& packets) {
  std::vector<std::string> names;
  for (const SeenPacket& packet : packets) {
    const char* name = LinkCommandName(packet.command);
    names.push_back(name ? name : "?");
  }
  return names;
}

Variable MakeVariable(const std::string& folder, const std::string& name, std::size_t size, std::uint8_t type) {
  Variable variable;
  variable.folder = folder;
  variable.name = name;
  variable.type = type;
  variable.data = {static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)};
  for (std::size_t i = 0; i < size; ++i) variable.data.push_back(static_cast<std::uint8_t>(i * 7 + name.size()));
  if (size > 0) variable.data.back() = 0xF3;  // an assembly program's tag
  return variable;
}

}  // namespace pellux::test
