// The window's command line: pellux [OPTIONS] [ROM].
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pellux {

struct CommandLine {
  std::optional<std::filesystem::path> rom;  // none: the last image used, else ti92p.rom
  bool fresh = false;                        // cold boot instead of resuming the saved session
  bool help = false;
  bool version = false;
  std::string error;  // empty when the arguments are good
};

CommandLine ParseCommandLine(std::span<const std::string_view> arguments);

std::string CommandLineUsage();

// "Pellux 0.2" and the like, for --version and About.
std::string VersionText();

}  // namespace pellux
