// The processor's entry points, explicitly instantiated for each machine
// type in its own source file, so that users of the core need not compile
// the instruction handlers.
//
// A machine type M holds `CpuState cpu` and is served by the free functions
// ReadByte, ReadWord, ReadLong, WriteByte, WriteWord and WriteLong taking
// (M&, address): they return byte and word values sign-extended, and report
// odd word and long addresses by cpu.Ask(RunState::AddressFault), which also
// ends the threaded chain (the read then yields 1, the write stores nothing).
// A machine may also give its own instruction stream, found by
// argument-dependent lookup: FetchWord and FetchLong (else reads at the PC),
// FetchIsQuick, where the next opcode can be read without an out-of-line
// path (else always), and OpcodeAt(M&, pc), that word read without the PC
// moving (else a FetchWord).
#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/breakpoint_set.h"

namespace pellux {

// Clears the registers, enters supervisor state with mask 0, and loads the
// stack pointer and PC from the longs at 0 and 4.
template <class M>
void Reset(M& m);

// Runs up to count instructions; stops early on STOP or the low-power port
// (Asleep), a protected write (ProtectViolation), a device that must act
// (DeviceRequest) or a breakpoint found before an instruction (Breakpoint).
// breakpoints may be null.
template <class M>
RunResult RunInstructions(M& m, std::uint32_t count, const BreakpointSet* breakpoints);

// One instruction with its faults settled but no trace step.
template <class M>
RunState StepInstruction(M& m);

}  // namespace pellux
