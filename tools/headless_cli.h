// pellux-headless's command line: its options, and the whole run behind
// them, so that the tests go through the very path the program does.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

namespace pellux {

struct HeadlessOptions {
  std::filesystem::path rom;
  std::optional<double> seconds;   // default 2, or no limit under a debugger
  std::optional<std::string> gdb;  // [HOST:]PORT
  std::optional<std::filesystem::path> keys, png, pbm;
  std::optional<std::filesystem::path> loadState, saveState;
  std::vector<std::filesystem::path> send;  // variable files, in order
  std::optional<std::filesystem::path> receiveDir;
  std::optional<std::string> linkListen, linkConnect;  // [HOST:]PORT
  bool realtime = false;
  bool calculatorSpeed = false;
  bool help = false;
};

// What the arguments ask for, or the first mistake on the line.
Result<HeadlessOptions> ParseHeadlessArguments(std::span<const std::string> arguments);

std::string HeadlessUsage();

// Runs the program on its arguments (the program's name left out): the
// report goes to out, messages to err. Answers the exit status: 0 done, 1 a
// file that cannot be read or written or a link that cannot be made, 2 bad
// arguments or key script, 3 a transfer that failed or was not done.
int RunHeadless(std::span<const std::string> arguments, std::FILE* out, std::FILE* err);

}  // namespace pellux
