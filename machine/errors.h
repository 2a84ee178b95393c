// Start-up errors and the texts the user sees for them.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace pellux {

// String ids of the start-up error texts.
enum StringId : std::uint32_t {
  kStrInitErrorCaption = 80,
  kStrOpenRomCaption = 81,  // an image the running machine was to leave for
  kStrRomOpenFailed = 82,
  kStrRomReadFailed = 83,
  kStrOutOfMemory = 84,
  kStrOutOfResources = 85,
};

// Message-box flags: an error icon and an OK button.
constexpr std::uint32_t kMessageBoxError = 16;

// The text of a string id, or an empty text for an unknown id.
const char* StringText(std::uint32_t id);

// An error to be shown to the user: which text, which caption, which box.
class ErrMsg : public std::exception {
 public:
  ErrMsg(std::uint32_t textId, std::uint32_t captionId, std::uint32_t flags, std::string detail = {})
      : textId(textId), captionId(captionId), flags(flags), detail(std::move(detail)) {}

  const char* what() const noexcept override { return StringText(textId); }

  std::uint32_t textId;
  std::uint32_t captionId;
  std::uint32_t flags;
  // What the text alone cannot say: the file tried, the system's reason and
  // what the user can do. May be empty.
  std::string detail;
};

// Thrown by the Calculator's constructor; always captioned "Initialization Error".
class InitErr : public ErrMsg {
 public:
  explicit InitErr(std::uint32_t textId, std::string detail = {})
      : ErrMsg(textId, kStrInitErrorCaption, kMessageBoxError, std::move(detail)) {}
};

}  // namespace pellux
