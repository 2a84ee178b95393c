#include "host/command_line.h"

#include "host/session_keeper.h"
#include "io/connection.h"
#include "pellux_version.h"
#include "tools/arguments.h"

namespace pellux {

namespace {

// The options that name where to listen or connect; an empty address is
// ParseEndpoint's to explain.
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

constexpr OptionSpec kOptions[] = {
    {"--gdb", true, true},
    {"--link-listen", true, true},
    {"--link-connect", true, true},
    {"--symbols", true, true},
    {"-h", false},
    {"--help", false},
    {"--version", false},
    {"--fresh", false},
};

const EndpointOption* FindEndpointOption(std::string_view name) {
  for (const EndpointOption& option : kEndpointOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

}  // namespace

Result<CommandLine> ParseCommandLine(std::span<const std::string_view> arguments) {
  CommandLine line;
  const SplitArguments split = SplitCommandLine(arguments, kOptions);
  // The items come before any argument the split refused: checked first,
  // the first mistake on the line is the one reported.
  for (const Argument& item : split.ok() ? *split : split.error().before) {
    if (const EndpointOption* option = FindEndpointOption(item.option)) {
      if (const Result<net::Endpoint> endpoint = net::ParseEndpoint(item.value); !endpoint.ok()) {
        return Fail(std::string(option->name) + " wants " + option->form + ": " + endpoint.message());
      }
      line.*(option->field) = item.value;
    } else if (item.option == "--symbols") {
      if (item.value.empty()) {
        return Fail("option '--symbols' needs a file");
      }
      line.symbols = std::filesystem::path(item.value);
    } else if (item.option == "-h" || item.option == "--help") {
      line.help = true;
    } else if (item.option == "--version") {
      line.version = true;
    } else if (item.option == "--fresh") {
      line.fresh = true;
    } else if (line.rom) {
      return Fail("more than one ROM image given ('" + line.rom->string() + "', '" + item.value + "')");
    } else {
      line.rom = std::filesystem::path(item.value);
    }
  }
  if (!split.ok()) return Fail(split.message());
  if (line.linkListen && line.linkConnect)
    return Fail("--link-listen and --link-connect are the two ends of one cable: give one of them");
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
