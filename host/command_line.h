// The window's command line: pellux [OPTIONS] [ROM].
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"

namespace pellux {

struct CommandLine {
  std::optional<std::filesystem::path> rom;      // none: the last image used, else ti92p.rom
  bool fresh = false;                            // cold boot instead of resuming the saved session
  std::optional<std::string> gdb;                // --gdb [HOST:]PORT: listen for a debugger
  std::optional<std::string> linkListen;         // --link-listen [HOST:]PORT: wait for another Pellux
  std::optional<std::string> linkConnect;        // --link-connect HOST:PORT: link to another Pellux
  std::optional<std::filesystem::path> symbols;  // none: the ELF or nm file beside the image
  bool help = false;
  bool version = false;
};

// What the arguments ask for, or the first mistake on the line.
Result<CommandLine> ParseCommandLine(std::span<const std::string_view> arguments);

std::string CommandLineUsage();

// "Pellux 0.2" and the like, for --version and About.
std::string VersionText();

}  // namespace pellux
