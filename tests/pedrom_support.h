// PedroM in the tests: its image beside the project, its screen read as text
// with its own font, and lines typed at its prompt.
//
// PedroM is not part of the project: the tests look for its image beside
// the project (../shared/pedrom/) and skip when it is absent.
//
// The screens are read with PedroM's own font, found in its flash image at
// run time: the first characters of its boot banner ("PedroM v0.83") are
// looked up as 6 x 8 cells of 8-byte glyphs, one byte per pixel row, and
// the table where all of them stand is the font every cell is then read
// with. A row reads as text only if each of its cells is exactly a glyph.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "machine/calculator.h"
#include "tools/headless_session.h"

namespace pellux::test {

// ../shared/pedrom/pedrom-ti92p.rom from the project's root.
std::filesystem::path PedromRom();
// Its bytes (none, with the failure recorded, when it cannot be read).
std::vector<std::uint8_t> PedromImage();
// Why the tests that run PedroM are skipped ("" when its image is there).
std::string PedromMissing();

inline constexpr std::string_view kPedromBanner = "PedroM v0.83";

using Glyph = std::array<std::uint8_t, 8>;  // pixel rows, leftmost pixel in bit 7
using PedromFont = std::map<Glyph, char>;

// PedroM's 6 x 8 font as it stands in the flash, found from the banner on a
// booted machine's screen; empty when it cannot be found.
PedromFont FindPedromFont(const Calculator& m);

// The font, from PedroM's image booted for 3 s of emulated time.
PedromFont BootedPedromFont();

// Each row of the screen as text ('?' for a cell that is no glyph), right
// spaces trimmed.
std::vector<std::string> ScreenText(const std::array<std::uint8_t, kLcdFrameBytes>& frame, const PedromFont& font);
std::vector<std::string> ScreenText(const Calculator& m, const PedromFont& font);

std::string Joined(const std::vector<std::string>& rows);
// The row below the first that reads `text`, or "(none)".
std::string RowAfter(const std::vector<std::string>& rows, std::string_view text);
bool HasRow(const std::vector<std::string>& rows, std::string_view text);

// A key script typing a line at PedroM's prompt and entering it: letters,
// digits and spaces as the key script types them; '>' is 2nd then '.' (2nd
// is the key the scripts name '=').
std::string TypedLine(std::string_view line);
// Schedules the typed line on the session from now on; answers the tick of
// its last key event.
std::int64_t TypeLine(HeadlessSession& session, std::string_view line);

}  // namespace pellux::test
