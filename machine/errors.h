// Start-up errors and the texts the user sees for them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "base/result.h"

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

// Why the calculator could not start; the message is the detail below.
using StartFailure = KindedError<StartError>;

// An error to be shown to the user in an error box: what went wrong, under
// the caption "Initialization Error" unless the shell names another.
class ErrMsg {
 public:
  explicit ErrMsg(StartError kind, std::string detail = {}) : kind(kind), detail(std::move(detail)) {}
  explicit ErrMsg(const StartFailure& failure) : ErrMsg(failure.kind, failure.message) {}

  const char* what() const noexcept { return StartErrorText(kind); }
  const char* caption() const noexcept { return captionText; }

  StartError kind;
  const char* captionText = kInitErrorCaption;
  // What the text alone cannot say: the file tried, the system's reason and
  // what the user can do. May be empty.
  std::string detail;
};

}  // namespace pellux
