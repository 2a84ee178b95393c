// The main dispatch table: opcode line (bits 15-12) by bits 8-6.
//
// Each family header gives the rows of its lines; the second-level tables
// (line 0 and line 4 on bits 11-9, the 0x4E40 group, line E's shift kinds)
// live with their families.
#pragma once

#include <array>
#include <cstdint>

#include "cpu/dispatch_types.h"
#include "cpu/ops_arith.h"
#include "cpu/ops_immediate.h"
#include "cpu/ops_line4.h"
#include "cpu/ops_logic.h"
#include "cpu/ops_move.h"
#include "cpu/ops_quick.h"
#include "cpu/ops_shift.h"

namespace pellux {

template <class M>
inline constexpr HandlerRow<M> kLineARow = {LineAEntry<M>, LineAEntry<M>, LineAEntry<M>, LineAEntry<M>,
                                            LineAEntry<M>, LineAEntry<M>, LineAEntry<M>, LineAEntry<M>};

template <class M>
inline constexpr HandlerRow<M> kLineFRow = {LineFEntry<M>, LineFEntry<M>, LineFEntry<M>, LineFEntry<M>,
                                            LineFEntry<M>, LineFEntry<M>, LineFEntry<M>, LineFEntry<M>};

template <class M>
inline constexpr std::array<HandlerRow<M>, 16> kDispatch = {
    kLine0Row<M>,     // 0: immediate, bit, MOVEP
    kMoveByteRow<M>,  // 1: MOVE.B
    kMoveLongRow<M>,  // 2: MOVE.L, MOVEA.L
    kMoveWordRow<M>,  // 3: MOVE.W, MOVEA.W
    kLine4Row<M>,     // 4: single-operand, flow control, CHK, LEA
    kLine5Row<M>,     // 5: ADDQ, SUBQ, Scc, DBcc
    kLine6Row<M>,     // 6: Bcc, BRA, BSR
    kLine7Row<M>,     // 7: MOVEQ
    kLine8Row<M>,     // 8: OR, DIVU, DIVS, SBCD
    kLine9Row<M>,     // 9: SUB, SUBA, SUBX
    kLineARow<M>,     // A: line-A trap
    kLineBRow<M>,     // B: CMP, CMPA, CMPM, EOR
    kLineCRow<M>,     // C: AND, MULU, MULS, ABCD, EXG
    kLineDRow<M>,     // D: ADD, ADDA, ADDX
    kLineERow<M>,     // E: shifts and rotates
    kLineFRow<M>,     // F: line-F trap
};

// The same 128 entries in one array, at line x 8 + bits 8-6, and that index
// for every value of opcode bits 15-6: one byte load finds the entry.
template <class M>
inline constexpr std::array<Handler<M>, 128> kDispatchTable = [] {
  std::array<Handler<M>, 128> table{};
  for (unsigned i = 0; i < 128; ++i) table[i] = kDispatch<M>[i >> 3][i & 7];
  return table;
}();

inline constexpr std::array<std::uint8_t, 1024> kDispatchIndex = [] {
  std::array<std::uint8_t, 1024> index{};
  for (unsigned i = 0; i < 1024; ++i) index[i] = static_cast<std::uint8_t>((i >> 6) * 8 + (i & 7));
  return index;
}();

}  // namespace pellux
