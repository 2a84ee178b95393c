// Line 4 flow control and supervisor instructions: the 0x4E40-0x4E7F group.
#pragma once

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

// 0x4E40-0x4E7F, decoded on bits 5-3 and, for 0x4E70-0x4E77, bits 2-0.
template <class M>
void Group4E40(M& m) {
  switch (m.cpu.opcode) {
    case 0x4E71:  // NOP
      return;
    default:
      RaiseIllegal(m);
  }
}

}  // namespace pellux
