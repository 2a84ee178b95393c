#include "host/command_line.h"

#include "gdbserver/connection.h"
#include "host/session_keeper.h"
#include "pellux_version.h"

namespace pellux {

namespace {

// The options that name where to listen or connect, with their value
// apart (--gdb 1234) or joined (--gdb=1234).
struct EndpointOption {
  std::string_view name;
  const char* form;
  std::optional<std::string> CommandLine::*field;
};
constexpr EndpointOption kEndpointOptions[] = {
    {"--gdb", "[HOST:]PORT", &CommandLine::gdb},
    {"--link-listen", "[HOST:]PORT", &CommandLine::linkListen},
    {"--link-connect", "HOST:PORT", &CommandLine::linkConnect},
};

const EndpointOption* FindEndpointOption(std::string_view argument) {
  for (const EndpointOption& option : kEndpointOptions) {
    if (argument == option.name ||
        (argument.starts_with(option.name) && argument.substr(option.name.size()).starts_with('='))) {
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
  CommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (const EndpointOption* option = FindEndpointOption(argument)) {
      const std::string name(option->name);
      std::string_view value;
      if (argument != option->name) {
        value = argument.substr(name.size() + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      }
      std::string error;
      if (!net::ParseEndpoint(value, error)) {
        line.error = name + " wants " + option->form + ": " + error;
        return line;
      }
      line.*(option->field) = std::string(value);
    } else if (argument == "--symbols" || argument.starts_with("--symbols=")) {
      std::string_view file;
      if (argument == "--symbols") {
        if (i + 1 == arguments.size()) {
          line.error = "option '--symbols' needs a file";
          return line;
        }
        file = arguments[++i];
      } else {
        file = argument.substr(std::string_view("--symbols=").size());
      }
      if (file.empty()) {
        line.error = "option '--symbols' needs a file";
        return line;
      }
      line.symbols = std::filesystem::path(file);
    } else if (argument == "-h" || argument == "--help") {
      line.help = true;
    } else if (argument == "--version") {
      line.version = true;
    } else if (argument == "--fresh") {
      line.fresh = true;
    } else if (argument.starts_with("--") && argument.find('=') != std::string_view::npos &&
               (argument.starts_with("--help=") || argument.starts_with("--version=") ||
                argument.starts_with("--fresh="))) {
      line.error = "option '" + std::string(argument.substr(0, argument.find('='))) + "' takes no value";
      return line;
    } else if (argument.size() > 1 && argument[0] == '-') {
      line.error = "unknown option '" + std::string(argument) + "'";
      return line;
    } else if (line.rom) {
      line.error = "more than one ROM image given ('" + line.rom->string() + "', '" + std::string(argument) + "')";
      return line;
    } else {
      line.rom = std::filesystem::path(argument);
    }
  }
  if (line.linkListen && line.linkConnect) {
    line.error = "--link-listen and --link-connect are the two ends of one cable: give one of them";
  }
  return line;
}

std::string CommandLineUsage() {
  return "Usage: pellux [OPTIONS] [ROM]\n"
         "The TI-92 Plus graphing calculator in a window, booted from the flash image ROM.\n"
         "Without ROM: the image used last, else ti92p.rom in the working folder.\n"
         "\n"
         "The calculator's memory is saved as it runs (every " +
         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kSessionSaveInterval).count()) +
         " seconds), on SIGTERM,\n"
         "SIGINT and SIGHUP and when the window closes, and comes back at the next\n"
         "start with the same image, like the real calculator switched off and on.\n"
         "Exit codes: 1 not started, 2 bad arguments, 3 the session could not be saved.\n"
         "\n"
         "  --fresh         cold-boot the image instead of resuming its saved session\n"
         "  --gdb [HOST:]PORT\n"
         "                  let gdb attach at any time (target remote HOST:PORT); HOST\n"
         "                  defaults to 127.0.0.1, so only this machine can connect\n"
         "                  (any other address is warned of); IPv6 in brackets, as\n"
         "                  in [::1]:1234\n"
         "  --link-listen [HOST:]PORT\n"
         "                  wait for another Pellux to link its calculator's link port\n"
         "                  to this one's (as Link > Wait for Another Pellux...); HOST\n"
         "                  defaults to 127.0.0.1\n"
         "  --link-connect HOST:PORT\n"
         "                  link to another Pellux waiting there (as Link > Connect to\n"
         "                  Another Pellux...)\n"
         "  --symbols FILE  the program's symbols for the debugger: its ELF file or the\n"
         "                  text nm prints (default: ROM's name with .elf or .sym beside it)\n"
         "  --version       print the version and exit\n"
         "  -h, --help      show this text and exit\n";
}

std::string VersionText() { return "Pellux " + std::string(PelluxVersion()); }

}  // namespace pellux
