#include "machine/errors.h"

namespace pellux {

const char* StringText(std::uint32_t id) {
  switch (id) {
    case kStrInitErrorCaption:
      return "Initialization Error";
    case kStrOpenRomCaption:
      return "Open ROM: the Image Was Not Opened";
    case kStrRomOpenFailed:
      return "ROM image file could not be opened.";
    case kStrRomReadFailed:
      return "ROM image file could not be read.";
    case kStrOutOfMemory:
      return "Not enough free memory.";
    case kStrOutOfResources:
      return "Not enough free system resources.";
    default:
      return "";
  }
}

}  // namespace pellux
