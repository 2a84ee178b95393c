// pellux-bench: runs a 68000 program as fast as the core goes and says how
// fast that was.
//
//   pellux-bench [--max N] [--peek ADDR:LEN]... IMAGE
//       IMAGE is raw 68000 code and data loaded at address 0 of the flat
//       16 MB memory; the processor resets from its vector table (SSP at 0,
//       PC at 4) and runs until it executes STOP or has run N instructions.
//   pellux-bench [--max N] [--peek ADDR:LEN]... --machine ROM
//       boots a calculator flash image on the calculator's own bus and runs
//       it in run slices of 1024 instructions, with a manual clock moved one
//       tick per slice, until the processor sleeps or N instructions.
//   pellux-bench [--max N] [--peek ADDR:LEN]... --machine-ram IMAGE
//       the flat image copied into the calculator's RAM (256 KB at most),
//       the flash left blank, run as --machine runs a ROM: the same program
//       with its code fetched from RAM instead of flash.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "cpu/core.h"
#include "cpu/flat_machine.h"
#include "io/files.h"
#include "machine/calculator.h"
#include "machine/driver.h"
#include "machine/errors.h"
#include "machine/memory_bus.h"
#include "machine/rom_file.h"
#include "tools/arguments.h"

namespace {

using namespace pellux;

constexpr int kExitStopped = 0;
constexpr int kExitNotStopped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitLoad = 3;

constexpr std::uint64_t kDefaultMax = 10'000'000'000;
// Instructions per RunInstructions call on the flat memory: a run slice's worth.
constexpr std::uint32_t kChunk = 1024;
constexpr std::uint32_t kSliceInstructions = 1024;  // what one RunSlice runs
constexpr std::uint64_t kMaxPeek = 4096;

constexpr const char* kUsage =
    "usage: pellux-bench [--max N] [--peek ADDR:LEN]... IMAGE\n"
    "       pellux-bench [--max N] [--peek ADDR:LEN]... --machine ROM\n"
    "       pellux-bench [--max N] [--peek ADDR:LEN]... --machine-ram IMAGE\n"
    "\n"
    "Runs a 68000 program and reports the instructions run, the seconds, the\n"
    "emulated MIPS and the bytes asked for.\n"
    "\n"
    "  IMAGE           raw 68000 image loaded at address 0 of a flat 16 MB memory;\n"
    "                  the processor resets from the longs at 0 (SSP) and 4 (PC)\n"
    "  --machine ROM   boot a calculator flash image instead, run slice by run slice\n"
    "                  (1024 instructions each, a manual clock moved one tick per slice)\n"
    "  --machine-ram IMAGE  run a flat image (at most 256 KB) from the calculator's\n"
    "                  RAM instead, the flash blank, slice by slice as --machine\n"
    "  --max N         stop after N instructions (default 10G); k, M and G multiply\n"
    "                  by a thousand, a million and a billion; with --machine the\n"
    "                  count is rounded up to whole slices\n"
    "  --peek ADDR:LEN print LEN bytes (at most 4096) from hexadecimal address ADDR\n"
    "                  after the run; with --machine, RAM (below 0x200000) or flash\n"
    "                  (0x400000-0x5FFFFF)\n"
    "\n"
    "Exit status: 0 when the processor stopped, 1 when the budget ran out first,\n"
    "2 for a bad command line, 3 when the image cannot be loaded.\n";

struct Peek {
  std::uint32_t address;
  std::uint32_t length;
};

struct Options {
  std::uint64_t max = kDefaultMax;
  std::vector<Peek> peeks;
  std::string image;
  bool machine = false;
  bool inRam = false;  // --machine-ram: the image goes into the calculator's RAM
};

struct RunReport {
  std::uint64_t instructions = 0;
  double seconds = 0;
  bool stopped = false;
};

// What one step of a run did: how many instructions ran, and whether the
// processor stopped.
struct Step {
  std::uint32_t executed;
  bool stopped;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "pellux-bench: %s\n(pellux-bench --help tells how to use it)\n", message.c_str());
  return kExitUsage;
}

// A decimal count, or hexadecimal after 0x, with an optional k, M or G;
// a message when it is neither or does not fit in 64 bits.
Result<std::uint64_t> ParseCount(std::string_view text) {
  const std::string shown = Quoted(text);
  std::uint64_t scale = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'k':
        scale = 1'000;
        break;
      case 'M':
        scale = 1'000'000;
        break;
      case 'G':
        scale = 1'000'000'000;
        break;
    }
    if (scale != 1) text.remove_suffix(1);
  }
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  const ParsedNumber number = ParseUnsigned(text, base);
  if (FailedWith(number, NumberError::NotANumber)) {
    return Fail("is not a count: " + shown);
  }
  if (!number.ok() || *number > UINT64_MAX / scale) {
    return Fail("is too large: " + shown + " (at most 18446744073709551615)");
  }
  return *number * scale;
}

// ADDR:LEN, the address hexadecimal (0x optional), the length a count.
Result<Peek> ParsePeek(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    return Fail("--peek wants ADDR:LEN, not " + Quoted(text));
  }
  std::string_view address = text.substr(0, colon);
  if (address.starts_with("0x") || address.starts_with("0X")) address.remove_prefix(2);
  const ParsedNumber a = ParseUnsigned(address, 16, UINT32_MAX);
  if (!a.ok()) {
    return Fail("--peek address " + Quoted(text.substr(0, colon)) +
                (FailedWith(a, NumberError::TooLarge) ? " is too large: at most ffffffff" : " is not hexadecimal"));
  }
  const Result<std::uint64_t> n = ParseCount(text.substr(colon + 1));
  if (!n.ok() || *n == 0 || *n > kMaxPeek) {
    return Fail("--peek length wants 1 to 4096 bytes, not " + Quoted(text.substr(colon + 1)));
  }
  return Peek{static_cast<std::uint32_t>(*a), static_cast<std::uint32_t>(*n)};
}

constexpr OptionSpec kOptions[] = {
    {"-h", false},    {"--help", false},   {"--max", true},
    {"--peek", true}, {"--machine", true}, {"--machine-ram", true},
};

// Parses the command line; returns an exit status when the run must not go on.
std::optional<int> ParseArguments(int argc, char** argv, Options& options) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const SplitArguments split = SplitCommandLine(arguments, kOptions);
  if (!split.ok()) return UsageError(split.message());
  std::vector<std::string> positional;
  for (const Argument& argument : *split) {
    const std::string& value = argument.value;
    if (argument.option == "-h" || argument.option == "--help") {
      std::fputs(kUsage, stdout);
      return kExitStopped;
    } else if (argument.option == "--max") {
      const Result<std::uint64_t> n = ParseCount(value);
      if (!n.ok()) return UsageError("--max " + n.message());
      if (*n == 0) return UsageError("--max wants a positive count, not " + Quoted(value));
      options.max = *n;
    } else if (argument.option == "--peek") {
      const Result<Peek> peek = ParsePeek(value);
      if (!peek.ok()) return UsageError(peek.message());
      options.peeks.push_back(*peek);
    } else if (argument.option == "--machine" || argument.option == "--machine-ram") {
      if (options.machine) return UsageError("--machine or --machine-ram given twice");
      options.machine = true;
      options.inRam = argument.option == "--machine-ram";
      positional.push_back(value);
    } else {
      positional.push_back(value);
    }
  }
  if (positional.empty()) return UsageError("no image given");
  if (positional.size() > 1) {
    return UsageError(options.machine ? "--machine runs a ROM; no other image may be given"
                                      : "only one image can be run at a time");
  }
  options.image = positional.front();
  return std::nullopt;
}

// Reads the whole file if it fits in limit bytes.
std::optional<std::vector<std::uint8_t>> ReadImage(const std::string& path, std::size_t limit) {
  InputFile file = ReadInputFile(path, limit, OverLimit::Refuse);
  const std::string shown = Quoted(path, 200);
  if (FailedWith(file, FileError::TooLarge)) {
    std::fprintf(stderr, "pellux-bench: %s is larger than the %zu bytes of memory\n", shown.c_str(), limit);
    return std::nullopt;
  }
  if (!file.ok()) {
    std::fprintf(stderr, "pellux-bench: cannot %s %s: %s\n",
                 FailedWith(file, FileError::ReadFailed) ? "read" : "open", shown.c_str(),
                 file.message().c_str());
    return std::nullopt;
  }
  if (file->bytes.empty()) {
    std::fprintf(stderr, "pellux-bench: %s is empty\n", shown.c_str());
    return std::nullopt;
  }
  return std::move(file->bytes);
}

void PrintBytes(const Peek& peek, const std::uint8_t* bytes) {
  std::printf("peek %06x:", peek.address);
  for (std::uint32_t i = 0; i < peek.length; ++i) std::printf(" %02x", bytes[i]);
  std::printf("\n");
}

template <class Run>
RunReport Measure(std::uint64_t max, std::uint32_t perCall, Run run) {
  RunReport report;
  const auto start = std::chrono::steady_clock::now();
  while (report.instructions < max) {
    const std::uint64_t left = max - report.instructions;
    const Step step = run(left < perCall ? static_cast<std::uint32_t>(left) : perCall);
    report.instructions += step.executed;
    if (step.stopped) {
      report.stopped = true;
      break;
    }
  }
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}

// slices: the run was counted in whole run slices, the last one included.
void PrintReport(const RunReport& report, bool slices) {
  std::printf("instructions: %llu\n", static_cast<unsigned long long>(report.instructions));
  std::printf("seconds: %.6f\n", report.seconds);
  std::printf("MIPS: %.2f\n",
              report.seconds > 0 ? static_cast<double>(report.instructions) / report.seconds / 1e6 : 0.0);
  if (report.stopped) {
    std::printf(slices ? "result: stopped (in the last slice, counted whole)\n" : "result: stopped\n");
  } else {
    std::printf("result: not stopped after %llu instructions\n",
                static_cast<unsigned long long>(report.instructions));
  }
}

int RunFlat(const Options& options) {
  for (const Peek& peek : options.peeks) {
    if (std::uint64_t{peek.address} + peek.length > FlatMachine::kSize) {
      return UsageError("--peek reaches past the 16 MB memory");
    }
  }
  const auto image = ReadImage(options.image, FlatMachine::kSize);
  if (!image) return kExitLoad;
  auto m = std::make_unique<FlatMachine>();
  std::memcpy(m->memory.get(), image->data(), image->size());
  Reset(*m);

  std::printf("image: %s (flat memory, %zu bytes)\n", options.image.c_str(), image->size());
  const RunReport report = Measure(options.max, kChunk, [&](std::uint32_t budget) {
    const std::uint64_t before = m->cpu.instructionCount;
    const bool stopped = RunInstructions(*m, budget, nullptr) == RunResult::Asleep;
    return Step{static_cast<std::uint32_t>(m->cpu.instructionCount - before), stopped};
  });
  PrintReport(report, false);
  for (const Peek& peek : options.peeks) PrintBytes(peek, &m->memory[peek.address]);
  return report.stopped ? kExitStopped : kExitNotStopped;
}

// The bytes a peek shows of the calculator, read without the bus's side effects.
std::vector<std::uint8_t> MachineBytes(const Calculator& calc, const Peek& peek) {
  std::vector<std::uint8_t> bytes(peek.length);
  for (std::uint32_t i = 0; i < peek.length; ++i) bytes[i] = PeekByte(calc, peek.address + i);
  return bytes;
}

// A calculator with blank flash and the image at RAM address 0, reset from
// the vectors the image brings.
std::unique_ptr<Calculator> MachineWithImageInRam(const std::string& path) {
  const auto image = ReadImage(path, kRamSize);
  if (!image) return nullptr;
  auto calc = std::make_unique<Calculator>(std::span<const std::uint8_t>{});
  std::copy(image->begin(), image->end(), calc->ram.begin());
  Reset(*calc);
  return calc;
}

int RunMachine(const Options& options) {
  std::unique_ptr<Calculator> calc;
  try {
    if (options.inRam) {
      calc = MachineWithImageInRam(options.image);
      if (!calc) return kExitLoad;
    } else {
      const RomRead read = ReadRomFile(options.image);
      if (!read.ok()) {
        std::fprintf(stderr, "pellux-bench: %s\n%s\n", StartErrorText(read.error().kind),
                     read.message().c_str());
        return kExitLoad;
      }
      const RomFile& rom = *read;
      for (const std::string& warning : rom.warnings) {
        std::fprintf(stderr, "pellux-bench: warning: %s: %s\n", options.image.c_str(), warning.c_str());
      }
      calc = std::make_unique<Calculator>(rom.bytes);
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "pellux-bench: %s\n", StartErrorText(StartError::OutOfMemory));
    return kExitLoad;
  }

  // The machine's own main loop, on a clock moved one tick per slice.
  ManualClock clock;
  clock.passTicks = 1;
  Driver driver(*calc, clock);
  std::printf("image: %s (calculator%s, run slices of %u)\n", options.image.c_str(),
              options.inRam ? ", code in RAM" : "", kSliceInstructions);
  // Whole slices, rounded up; the largest counts stay within 64 bits.
  const std::uint64_t slices = options.max / kSliceInstructions + (options.max % kSliceInstructions != 0);
  const std::uint64_t budget = std::min(slices, UINT64_MAX / kSliceInstructions) * kSliceInstructions;
  const RunReport report = Measure(budget, kSliceInstructions, [&](std::uint32_t) {
    return Step{kSliceInstructions, driver.Pass() == StopReason::Asleep};
  });
  PrintReport(report, true);
  for (const Peek& peek : options.peeks) PrintBytes(peek, MachineBytes(*calc, peek).data());
  return report.stopped ? kExitStopped : kExitNotStopped;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const auto exit = ParseArguments(argc, argv, options)) return *exit;
  try {
    return options.machine ? RunMachine(options) : RunFlat(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "pellux-bench: %s\n", error.what());
    return kExitLoad;
  }
}
