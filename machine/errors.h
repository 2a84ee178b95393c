// Start-up errors and the texts the user sees for them.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace pellux {

// Why the calculator could not start.
enum class StartError : std::uint8_t {
  RomOpenFailed,
  RomReadFailed,
  OutOfMemory,
  OutOfResources,
};

// The text the user sees for each: "ROM image file could not be opened." ...
const char* StartErrorText(StartError error);

// The caption every start-up error is shown under, and the one of an image
// the running machine was to be replaced with.
inline constexpr char kInitErrorCaption[] = "Initialization Error";
inline constexpr char kOpenRomCaption[] = "Open ROM: the Image Was Not Opened";

// An error to be shown to the user in an error box: what went wrong, under
// the caption "Initialization Error" unless the shell names another.
class ErrMsg : public std::exception {
 public:
  explicit ErrMsg(StartError kind, std::string detail = {}) : kind(kind), detail(std::move(detail)) {}

  const char* what() const noexcept override { return StartErrorText(kind); }
  const char* caption() const noexcept { return captionText; }

  StartError kind;
  const char* captionText = kInitErrorCaption;
  // What the text alone cannot say: the file tried, the system's reason and
  // what the user can do. May be empty.
  std::string detail;
};

// Thrown by the Calculator's constructor.
class InitErr : public ErrMsg {
 public:
  using ErrMsg::ErrMsg;
};

}  // namespace pellux
