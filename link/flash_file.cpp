// Reading "**TIFL**" files and laying an OS into a flash image.
#include "link/flash_file.h"

#include <algorithm>
#include <string_view>

#include "link/file_bytes.h"
#include "machine/calculator.h"

namespace pellux {

namespace {

using filebytes::Hex;
using filebytes::Le32;
using filebytes::Quoted;

constexpr std::string_view kSignature = "**TIFL**";
constexpr std::size_t kHeaderBytes = 78;
constexpr std::size_t kRevisionAt = 8;
constexpr std::size_t kNameLengthAt = 16;
constexpr std::size_t kNameAt = 17;
constexpr std::size_t kNameBytes = 8;
constexpr std::size_t kDeviceAt = 48;
constexpr std::size_t kDataTypeAt = 49;
constexpr std::size_t kLengthAt = 74;
constexpr std::size_t kLargestOs = kRomSize - kOsImageOffset;

// The fields at the start of an OS's data: 80 0F and its length, then
// 80 11 and the hardware it was made for.
constexpr std::uint8_t kOsField[2] = {0x80, 0x0F};
constexpr std::uint8_t kHardwareField[2] = {0x80, 0x11};
constexpr std::size_t kHardwareFieldAt = 6;

const char* DeviceName(std::uint8_t device) {
  switch (device) {
    case kDeviceTi92Plus:
      return "the TI-92 Plus or Voyage 200";
    case 0x98:
      return "the TI-89";
    case 0x73:
      return "the TI-83 Plus or TI-84 Plus";
    case 0x74:
      return "the TI-73";
    default:
      return nullptr;
  }
}

const char* DataTypeName(std::uint8_t type) {
  switch (type) {
    case kFlashOs:
      return "an operating system";
    case kFlashApplication:
      return "a flash application";
    case 0x25:
      return "a certificate";
    case 0x3E:
      return "a licence";
    default:
      return nullptr;
  }
}

std::string Describe(const FlashPart& part) {
  const char* what = DataTypeName(part.dataType);
  std::string text =
      std::string(what ? what : "a part of data type " + Hex(part.dataType)) + " " + Quoted(part.name);
  const char* device = DeviceName(part.deviceType);
  return text + " for " + (device ? device : "device type " + Hex(part.deviceType));
}

bool BeginsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// The hardware an OS names in its header, when it names one that is not
// the TI-92 Plus's (1).
const char* OtherHardware(std::span<const std::uint8_t> os) {
  if (!BeginsWith(os, kOsField) ||
      !BeginsWith(os.subspan(std::min(os.size(), kHardwareFieldAt)), kHardwareField) ||
      os.size() <= kHardwareFieldAt + 2) {
    return nullptr;
  }
  switch (os[kHardwareFieldAt + 2]) {
    case 3:
      return "the TI-89";
    case 8:
      return "the Voyage 200";
    case 9:
      return "the TI-89 Titanium";
    default:
      return nullptr;
  }
}

}  // namespace

FlashFileRead ReadFlashFile(std::span<const std::uint8_t> bytes) {
  std::vector<FlashPart> parts;
  if (bytes.empty()) return Fail("the file is empty");
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::string part = "part " + std::to_string(parts.size() + 1);
    const auto rest = bytes.subspan(at);
    const std::string_view begins(reinterpret_cast<const char*>(rest.data()),
                                  std::min(rest.size(), kSignature.size()));
    if (begins != kSignature && !(begins.size() < kSignature.size() && kSignature.starts_with(begins))) {
      if (at == 0) {
        if (begins == "**TI92P*")
          return Fail("this is a TI-92 Plus variable file, not an OS or flash application");
        return Fail("this is not a flash file: it begins " + Quoted(begins) + " where such files begin " +
                    Quoted(kSignature));
      }
      return Fail("the " + std::to_string(rest.size()) + " bytes after " + std::to_string(parts.size()) +
                  (parts.size() == 1 ? " part" : " parts") + " (from byte " + std::to_string(at) +
                  ") are not another part");
    }
    if (rest.size() < kHeaderBytes) {
      return Fail("the file is cut short: it ends at byte " + std::to_string(bytes.size()) +
                  ", inside the header of " + part);
    }
    FlashPart read;
    const std::size_t nameLength = rest[kNameLengthAt];
    if (nameLength > kNameBytes) {
      return Fail("the header of " + part + " gives its name " + std::to_string(nameLength) +
                  " characters; there is room for 8");
    }
    read.name = filebytes::FieldText(rest, kNameAt, nameLength);
    read.revisionMajor = rest[kRevisionAt];
    read.revisionMinor = rest[kRevisionAt + 1];
    read.deviceType = rest[kDeviceAt];
    read.dataType = rest[kDataTypeAt];
    const std::size_t length = Le32(rest, kLengthAt);
    if (length > rest.size() - kHeaderBytes) {
      return Fail("the file is cut short: " + part + " (" + Describe(read) + ") says its data are " +
                  std::to_string(length) + " bytes, but the file ends " +
                  std::to_string(rest.size() - kHeaderBytes) + " bytes after they begin (at byte " +
                  std::to_string(at + kHeaderBytes) + ")");
    }
    const auto data = rest.subspan(kHeaderBytes, length);
    read.data.assign(data.begin(), data.end());
    parts.push_back(std::move(read));
    at += kHeaderBytes + length;
  }
  return parts;
}

std::vector<std::uint8_t> WriteFlashFile(const FlashPart& part) {
  std::vector<std::uint8_t> out(kHeaderBytes, 0);
  std::copy(kSignature.begin(), kSignature.end(), out.begin());
  out[kRevisionAt] = part.revisionMajor;
  out[kRevisionAt + 1] = part.revisionMinor;
  const std::size_t nameLength = std::min(part.name.size(), kNameBytes);
  out[kNameLengthAt] = static_cast<std::uint8_t>(nameLength);
  std::copy_n(part.name.begin(), nameLength, out.begin() + kNameAt);
  out[kDeviceAt] = part.deviceType;
  out[kDataTypeAt] = part.dataType;
  const auto length = static_cast<std::uint32_t>(part.data.size());
  for (int i = 0; i < 4; ++i) out[kLengthAt + i] = static_cast<std::uint8_t>(length >> (8 * i));
  out.insert(out.end(), part.data.begin(), part.data.end());
  return out;
}

FlashImage BuildFlashImage(std::span<const std::uint8_t> os) {
  if (os.empty()) return Fail("the OS has no data");
  if (os.size() > kLargestOs) {
    return Fail("the OS is " + std::to_string(os.size()) + " bytes, but the flash holds at most " +
                std::to_string(kLargestOs) + " after its boot sector and certificate");
  }
  std::vector<std::uint8_t> image(kRomSize, 0xFF);
  std::copy(os.begin(), os.end(), image.begin() + kOsImageOffset);
  return image;
}

FlashImage FlashImageFromOsFile(std::span<const std::uint8_t> bytes) {
  if (BeginsWith(bytes, kOsField)) {
    if (const char* other = OtherHardware(bytes))
      return Fail(std::string("this OS is for ") + other + ", not the TI-92 Plus");
    return BuildFlashImage(bytes);
  }
  const FlashFileRead file = ReadFlashFile(bytes);
  if (!file.ok()) return file.error();
  const std::vector<FlashPart>& parts = *file;
  const auto os = std::find_if(parts.begin(), parts.end(),
                               [](const FlashPart& part) { return part.dataType == kFlashOs; });
  if (os == parts.end())
    return Fail("this file holds " + Describe(parts.front()) + ", not an operating system");
  if (os->deviceType != kDeviceTi92Plus)
    return Fail("this file holds " + Describe(*os) + ", not the TI-92 Plus");
  if (const char* other = OtherHardware(os->data)) {
    return Fail("this file holds " + Describe(*os) + ", but the OS says it is for " + other);
  }
  return BuildFlashImage(os->data);
}

}  // namespace pellux
