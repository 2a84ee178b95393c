#include "tools/headless_cli.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "cpu/exceptions.h"
#include "io/connection.h"
#include "io/files.h"
#include "link/os_image.h"
#include "link/transfer_files.h"
#include "machine/errors.h"
#include "machine/rom_file.h"
#include "tools/arguments.h"
#include "tools/headless_gdb.h"
#include "tools/headless_link.h"
#include "tools/headless_session.h"
#include "tools/lcd_image.h"

namespace pellux {

namespace {

namespace fs = std::filesystem;

constexpr int kExitDone = 0;
constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;
constexpr int kExitTransfer = 3;

constexpr double kLongestRun = 24 * 3600.0;  // seconds
// A day of key events fits many times over; /dev/zero does not.
constexpr std::size_t kLargestKeyScript = 16 << 20;

constexpr OptionSpec kOptions[] = {
    {"-h", false},
    {"--help", false},
    {"--realtime", false},
    {"--seconds", true},
    {"--keys", true},
    {"--png", true},
    {"--pbm", true},
    {"--load-state", true},
    {"--save-state", true},
    {"--gdb", true},
    {"--calculator-speed", false},
    {"--send", true},
    {"--receive-dir", true},
    {"--link-listen", true},
    {"--link-connect", true},
};

constexpr const char* kOneOtherEnd =
    "the calculator's cable has one other end: the computer (--send, --receive-dir, send lines in the key "
    "script) or another Pellux (--link-listen, --link-connect), not both";

// A file the run writes at its end, and what goes in it: the LCD frame
// encoded, or (without an encoder) the machine's state. The PNG carries grey
// when the LCD shows grey; the PBM is the 1-bit frame in RAM.
struct Output {
  const char* option;
  fs::path path;
  std::vector<std::uint8_t> (*encode)(const LcdPicture&);
};

// A file the run reads, named as the messages name it.
struct Input {
  const char* what;
  fs::path path;
};

std::string Describe(const fs::path& path) { return Quoted(path.string(), 200); }

constexpr const char* kStateInput = "the state to load";

// Whether two outputs would land in one file, existing or not.
bool SameDestination(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const fs::path canonicalA = fs::weakly_canonical(fs::absolute(a, error), error);
  const fs::path canonicalB = fs::weakly_canonical(fs::absolute(b, error), error);
  return SameFile(a, b) || (!error && canonicalA == canonicalB);
}

class Runner {
 public:
  Runner(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

  int Run(std::span<const std::string> arguments);

 private:
  int Fail(int status, const std::string& message) {
    std::fprintf(err_, "pellux-headless: %s\n", message.c_str());
    if (status == kExitUsage) std::fputs("Try 'pellux-headless --help'.\n", err_);
    return status;
  }
  // The outputs refused before anything runs: one that is an input, two that
  // are one file, and one that cannot be created.
  std::optional<int> CheckOutputs(const std::vector<Output>& outputs, const std::vector<Input>& inputs);
  void Report(const HeadlessOptions& options, HeadlessSession& session, StopReason reason);

  std::FILE* out_;
  std::FILE* err_;
};

std::optional<int> Runner::CheckOutputs(const std::vector<Output>& outputs,
                                        const std::vector<Input>& inputs) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const Output& output = outputs[i];
    for (const Input& input : inputs) {
      // A state may be saved over the one it was loaded from: the new file
      // replaces the old one whole.
      if (!output.encode && input.what == kStateInput) continue;
      if (SameFile(output.path, input.path)) {
        return Fail(kExitUsage, std::string(output.option) + " " + Describe(output.path) + " is " +
                                    input.what + "; it is not overwritten");
      }
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (SameDestination(outputs[j].path, output.path)) {
        return Fail(kExitUsage, std::string(outputs[j].option) + " and " + output.option +
                                    " name the same file " + Describe(output.path));
      }
    }
  }
  for (const Output& output : outputs) {
    if (const Status writable = CheckOutputPath(output.path); !writable.ok()) {
      return Fail(kExitFile, "cannot write " + Describe(output.path) + ": " + writable.message());
    }
  }
  return std::nullopt;
}

int Runner::Run(std::span<const std::string> arguments) {
  const Result<HeadlessOptions> parsed = ParseHeadlessArguments(arguments);
  if (!parsed.ok()) return Fail(kExitUsage, parsed.message());
  const HeadlessOptions& options = *parsed;
  if (options.help) {
    std::fputs(HeadlessUsage().c_str(), out_);
    return kExitDone;
  }

  std::vector<Input> inputs = {{"the ROM image", options.rom}};
  if (options.keys) inputs.push_back({"the key script", *options.keys});
  if (options.loadState) inputs.push_back({kStateInput, *options.loadState});
  for (const fs::path& file : options.send) inputs.push_back({"a file to send", file});
  std::vector<Output> outputs;
  if (options.png) {
    outputs.push_back(
        {"--png", *options.png, [](const LcdPicture& picture) { return EncodePng(picture, 1); }});
  }
  if (options.pbm) {
    outputs.push_back(
        {"--pbm", *options.pbm, [](const LcdPicture& picture) { return EncodePbm(picture.frame); }});
  }
  if (options.saveState) outputs.push_back({"--save-state", *options.saveState, nullptr});
  if (const auto refused = CheckOutputs(outputs, inputs)) return *refused;

  std::vector<KeyEvent> keys;
  std::vector<ScriptedSend> scriptedSends;
  if (options.keys) {
    const InputFile file = ReadInputFile(*options.keys, kLargestKeyScript, OverLimit::Refuse);
    if (!file.ok())
      return Fail(kExitFile, "cannot read the key script " + Describe(*options.keys) + ": " + file.message());
    const Result<KeyScript, KeyScriptError> script = ParseKeyScript(
        std::string_view(reinterpret_cast<const char*>(file->bytes.data()), file->bytes.size()));
    if (!script.ok()) {
      return Fail(kExitUsage, options.keys->string() + ":" + std::to_string(script.error().line) + ": " +
                                  script.message());
    }
    keys = script->events;
    scriptedSends = script->sends;
  }
  const bool socket = options.linkListen || options.linkConnect;
  const bool computer = !options.send.empty() || options.receiveDir || !scriptedSends.empty();
  if (socket && computer) return Fail(kExitUsage, kOneOtherEnd);
  // The files to send are read, and refused, before anything runs.
  std::vector<PlannedSend> sends;
  for (const fs::path& file : options.send) {
    VariablesFromFiles read = ReadVariablesFromFiles(std::span(&file, 1));
    if (!read.ok()) return Fail(kExitFile, "cannot send " + read.message());
    sends.push_back({std::nullopt, std::move(*read), file.string()});
  }
  for (const ScriptedSend& send : scriptedSends) {
    const fs::path file = send.file;
    VariablesFromFiles read = ReadVariablesFromFiles(std::span(&file, 1));
    if (!read.ok()) {
      return Fail(kExitFile, options.keys->string() + ":" + std::to_string(send.line) + ": cannot send " +
                                 read.message());
    }
    sends.push_back({send.tick, std::move(*read), send.file});
  }
  if (options.receiveDir) {
    std::error_code error;
    if (!fs::is_directory(*options.receiveDir, error)) {
      return Fail(kExitFile, "--receive-dir " + Describe(*options.receiveDir) + " is not a folder" +
                                 (error ? ": " + error.message() : ""));
    }
  }

  std::unique_ptr<HeadlessSession> session;
  RomIdentity romIdentity;
  const auto refuse = [&](const ErrMsg& error) {
    return Fail(kExitFile, std::string(error.caption()) + ": " + error.what() +
                               (error.detail.empty() ? "" : "\n" + error.detail));
  };
  try {
    RomRead file = ReadRomFile(options.rom);
    if (!file.ok()) return refuse(ErrMsg(file.error()));
    const RomRead image = ImageFromRomOrOsFile(options.rom, std::move(file).value());
    if (!image.ok()) return refuse(ErrMsg(image.error()));
    const RomFile& rom = *image;
    romIdentity = IdentifyRom(rom.bytes);
    for (const std::string& warning : rom.warnings) {
      std::fprintf(err_, "pellux-headless: warning: %s: %s\n", Describe(options.rom).c_str(),
                   warning.c_str());
    }
    // Two programs on one cable share the real time: each runs at the
    // calculator's pace, so that neither one's time-outs pass while the
    // other catches up.
    session = std::make_unique<HeadlessSession>(
        rom.bytes, options.realtime || socket ? Pacing::Realtime : Pacing::Manual);
  } catch (const std::bad_alloc&) {
    return refuse(ErrMsg(StartError::OutOfMemory));
  }
  if (options.loadState) {
    if (const Status loaded = session->LoadStateFile(*options.loadState, romIdentity); !loaded.ok()) {
      return Fail(kExitFile, "cannot load the state: " + loaded.message());
    }
  }
  session->SetCalculatorSpeed(options.calculatorSpeed);
  // Key-script times count from the start of the run, loaded state or not.
  session->ScheduleKeys(keys);
  std::unique_ptr<HeadlessTransfers> transfers;
  if (computer) {
    transfers = std::make_unique<HeadlessTransfers>(*session, options.receiveDir.value_or("."), out_, err_);
    for (PlannedSend& send : sends) transfers->Plan(std::move(send));
    session->driver().Plug(transfers.get());
  }
  std::unique_ptr<HeadlessSocket> link;
  if (socket) {
    const net::Endpoint endpoint =
        *net::ParseEndpoint(options.linkListen.value_or(options.linkConnect.value_or("")));
    Result<std::unique_ptr<HeadlessSocket>> opened =
        HeadlessSocket::Open(endpoint, options.linkListen.has_value(), err_);
    if (!opened.ok()) return Fail(kExitFile, opened.message());
    link = std::move(opened).value();
    // The wait is not the calculator's time.
    session->Hold();
    const bool linked = link->WaitForPeer();
    session->Release();
    if (!linked) return kExitFile;
    session->driver().Plug(link.get());
  }
  StopReason reason = StopReason::TimeUp;
  if (options.gdb) {
    const net::Endpoint endpoint = *net::ParseEndpoint(*options.gdb);
    std::optional<std::int64_t> endTick;
    if (options.seconds) endTick = std::llround(*options.seconds * kTicksPerSecond);
    if (RunUnderDebugger(*session, endpoint, endTick) == DebugEnd::ListenFailed) return kExitFile;
  } else {
    reason = session->RunUntil(std::llround(options.seconds.value_or(2.0) * kTicksPerSecond));
  }

  const LcdPicture picture = session->Picture();
  bool written = true;
  for (const Output& output : outputs) {
    const Status saved = output.encode ? WriteFileAtomically(output.path, output.encode(picture))
                                       : session->SaveStateFile(output.path, romIdentity);
    if (!saved.ok()) {
      Fail(kExitFile, "cannot write " + Describe(output.path) + ": " + saved.message());
      written = false;
    }
  }
  const bool transferred = !transfers || transfers->Finish();
  session->driver().Plug(nullptr);
  Report(options, *session, reason);
  if (!written) return kExitFile;
  return transferred ? kExitDone : kExitTransfer;
}

void Runner::Report(const HeadlessOptions& options, HeadlessSession& session, StopReason reason) {
  const Calculator& calc = session.calculator();
  const DriverStats& stats = session.stats();
  const std::int64_t now = session.Now();
  std::fprintf(out_, "%s: %.3f s of emulated time (%" PRId64 " ticks of 1/1024 s)%s\n",
               options.rom.string().c_str(), static_cast<double>(now) / kTicksPerSecond, now,
               options.realtime ? ", real time" : "");
  if (reason == StopReason::Breakpoint)
    std::fprintf(out_, "  stopped at a breakpoint, PC %06x\n", calc.cpu.pc);
  std::fprintf(out_, "  instructions run   %" PRIu64 "\n", calc.cpu.instructionCount);
  std::fprintf(out_, "  timer ticks        %u\n", calc.tickCount);
  std::fprintf(out_,
               "  asleep             %.1f%% of the time (%" PRIu64 " run slices, %" PRIu64 " idle passes)\n",
               100.0 * stats.AsleepShare(), stats.slices, stats.idlePasses);
  std::fprintf(out_, "  PC %06x, SR %04x\n", calc.cpu.pc, static_cast<unsigned>(GetSR(calc.cpu)));
}

}  // namespace

Result<HeadlessOptions> ParseHeadlessArguments(std::span<const std::string> arguments) {
  HeadlessOptions options;
  const SplitArguments split = SplitCommandLine(arguments, kOptions);
  if (!split.ok()) return Fail(split.message());
  bool haveRom = false;
  for (const Argument& argument : *split) {
    const std::string& value = argument.value;
    if (argument.option == "-h" || argument.option == "--help") {
      options.help = true;
    } else if (argument.option == "--realtime") {
      options.realtime = true;
    } else if (argument.option == "--calculator-speed") {
      options.calculatorSpeed = true;
    } else if (argument.option == "--seconds") {
      double seconds = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(seconds) ||
          seconds < 0 || seconds > kLongestRun) {
        return Fail("--seconds wants a number of seconds from 0 to 86400, not " + Quoted(value));
      }
      options.seconds = seconds;
    } else if (argument.option == "--keys") {
      options.keys = value;
    } else if (argument.option == "--png") {
      options.png = value;
    } else if (argument.option == "--pbm") {
      options.pbm = value;
    } else if (argument.option == "--gdb") {
      if (const Result<net::Endpoint> endpoint = net::ParseEndpoint(value); !endpoint.ok()) {
        return Fail("--gdb wants [HOST:]PORT: " + endpoint.message());
      }
      options.gdb = value;
    } else if (argument.option == "--link-listen" || argument.option == "--link-connect") {
      if (const Result<net::Endpoint> endpoint = net::ParseEndpoint(value); !endpoint.ok()) {
        return Fail(std::string(argument.option) + " wants [HOST:]PORT: " + endpoint.message());
      }
      (argument.option == "--link-listen" ? options.linkListen : options.linkConnect) = value;
    } else if (argument.option == "--send") {
      options.send.push_back(value);
    } else if (argument.option == "--receive-dir") {
      options.receiveDir = value;
    } else if (argument.option == "--load-state") {
      options.loadState = value;
    } else if (argument.option == "--save-state") {
      options.saveState = value;
    } else if (haveRom) {
      return Fail("more than one ROM image given (" + Quoted(options.rom.string()) + ", " + Quoted(value) +
                  ")");
    } else {
      options.rom = value;
      haveRom = true;
    }
  }
  if (!haveRom && !options.help) return Fail("no ROM image given");
  if (options.linkListen && options.linkConnect)
    return Fail("--link-listen and --link-connect are the two ends of one cable: give one of them");
  if ((options.linkListen || options.linkConnect) && (!options.send.empty() || options.receiveDir))
    return Fail(kOneOtherEnd);
  return options;
}

std::string HeadlessUsage() {
  return "Usage: pellux-headless ROM [--seconds S] [--keys SCRIPT] [--png FILE] [--pbm FILE]\n"
         "                       [--load-state FILE] [--save-state FILE] [--realtime]\n"
         "                       [--gdb [HOST:]PORT] [--calculator-speed]\n"
         "                       [--send FILE]... [--receive-dir DIR]\n"
         "                       [--link-listen [HOST:]PORT | --link-connect [HOST:]PORT]\n"
         "Boots the TI-92 Plus flash image ROM (or the image made of an OS file, .9xu\n"
         "or a bare .tib) without a window, runs it for S seconds of emulated time\n"
         "(default 2), pressing keys as the SCRIPT file says, then writes the LCD as a\n"
         "240 x 128 PNG and/or PBM (dark pixels black) and prints what ran.\n"
         "\n"
         "  --seconds S     emulated seconds to run, 0 to 86400 (fractions allowed)\n"
         "  --keys SCRIPT   key presses and releases at emulated times (below)\n"
         "  --png FILE      write the final LCD frame as PNG\n"
         "  --pbm FILE      write the final LCD frame as PBM (P4)\n"
         "  --load-state FILE  start from a state saved from the same ROM image\n"
         "                  instead of booting it; key times count from the start\n"
         "  --save-state FILE  write the machine's state when the run ends (it may\n"
         "                  be the file --load-state read)\n"
         "  --realtime      pace emulated time to the real clock, as the window does;\n"
         "                  without it one tick (1/1024 s) passes per run slice of\n"
         "                  1024 instructions and per idle pass, as fast as the host\n"
         "                  allows, and every run gives the same result\n"
         "  --calculator-speed\n"
         "                  hold the processor to the real calculator's speed, about\n"
         "                  1.2 million instructions per second of emulated time:\n"
         "                  each run slice waits until emulated time has caught up\n"
         "  --gdb [HOST:]PORT\n"
         "                  wait for gdb (target remote HOST:PORT) before the first\n"
         "                  instruction, then run only when it continues or steps;\n"
         "                  the run ends when gdb detaches or kills, or after S\n"
         "                  seconds if --seconds is given (gdb sees the program exit).\n"
         "                  HOST defaults to 127.0.0.1 (this computer only; any\n"
         "                  other address is warned of), an IPv6 one in brackets\n"
         "                  ([::1]:1234); PORT 0 takes a free port and says which\n"
         "  --send FILE     send a variable file (.9xz, .9xp, ..., a group .9xg) to the\n"
         "                  calculator once it is ready: the first time it has slept\n"
         "                  for 0.1 s at a stretch, waiting for a key (an OS that has\n"
         "                  booted sleeps at its prompt); several are sent in order.\n"
         "                  A 'send FILE' line in the key script sends at its time\n"
         "  --receive-dir DIR\n"
         "                  save the variables the calculator sends in DIR, each as\n"
         "                  its own file (hello.9xz; an existing file is never\n"
         "                  replaced: hello-2.9xz); without it, in the working folder.\n"
         "                  With --send, send lines or --receive-dir the computer is at\n"
         "                  the other end of the calculator's cable; without them, nothing\n"
         "  --link-listen [HOST:]PORT\n"
         "                  link the calculator's cable to another Pellux: wait for it\n"
         "                  to connect before the first instruction (HOST as for --gdb;\n"
         "                  any address but loopback is warned of: whoever reaches the\n"
         "                  port talks to the calculator)\n"
         "  --link-connect [HOST:]PORT\n"
         "                  link to another Pellux that listens (HOST 127.0.0.1 unless\n"
         "                  named), trying for up to 10 s before the first instruction.\n"
         "                  A linked run keeps to the real clock (--realtime): the two\n"
         "                  calculators share the real time. The computer's side and\n"
         "                  another Pellux cannot both be at the end of one cable\n"
         "  -h, --help      show this text\n"
         "\n"
         "An output that is one of the inputs, or that cannot be created, is refused\n"
         "before the run; each is written whole at the end (a temporary file, renamed).\n"
         "A file to send that is not a TI-92 Plus variable file is refused before the\n"
         "run too. What was sent and received is said on standard output as it\n"
         "happens; a transfer that fails (no answer, refused, reset), or that the\n"
         "run ends before it is done, is said on standard error.\n"
         "\n"
         "Exit status: 0 done, 1 the ROM, the key script, a state, an output or a\n"
         "file to send could not be read or written, or the link could not be made,\n"
         "2 bad arguments or key script, 3 a transfer failed or was not done.\n"
         "\n" +
         KeyScriptHelp();
}

int RunHeadless(std::span<const std::string> arguments, std::FILE* out, std::FILE* err) {
  return Runner(out, err).Run(arguments);
}

}  // namespace pellux
