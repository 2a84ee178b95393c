#include "machine/errors.h"

namespace pellux {

const char* StartErrorText(StartError error) {
  switch (error) {
    case StartError::RomOpenFailed:
      return "ROM image file could not be opened.";
    case StartError::RomReadFailed:
      return "ROM image file could not be read.";
    case StartError::OutOfMemory:
      return "Not enough free memory.";
    case StartError::OutOfResources:
      return "Not enough free system resources.";
  }
  return "";
}

}  // namespace pellux
