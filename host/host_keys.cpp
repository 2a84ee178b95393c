#include "host/host_keys.h"

namespace pellux {

std::optional<unsigned> LookupHostKey(unsigned virtualKey) {
  for (const HostKey& key : kHostKeyTable) {
    if (key.virtualKey == virtualKey) return key.code;
  }
  return std::nullopt;
}

}  // namespace pellux
