// Key scripts: presses and releases of calculator keys at given emulated
// times, for the headless runner and the tests.
//
//   # a comment; blank lines are ignored
//   1.0    tap ENTER        press at 1 s, release 50 ms later
//   +0.2   press SHIFT      0.2 s after the previous line's last event
//   +50ms  release SHIFT
//   2.5    type 12*34       tap each character, one every 100 ms
//   +1     send prog.9xz    send a variable file to the calculator then
//                           (the rest of the line names the file)
//
// TIME is seconds since boot ("1.5", "1500ms"), or "+" and a delay after the
// previous line's last event. KEY is a key name (see KeyCodeFromName) or K
// and a code: K0 to K79 for the matrix, K128 for ON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "machine/keys.h"

namespace pellux {

// Emulated time counts ticks of 1/1024 s.
constexpr std::int64_t kTicksPerSecond = 1024;

struct KeyEvent {
  std::int64_t tick;  // when, in ticks since boot
  unsigned code;      // calculator key code: 0..79, or 128 for ON
  bool down;          // press or release
};

// A "send FILE" line: the file is sent to the calculator at its time.
struct ScriptedSend {
  std::int64_t tick;  // when, in ticks since boot
  std::string file;   // as written, spaces inside kept
  int line;           // 1-based, for messages
};

// The first mistake in a script: its line and what is wrong there.
struct KeyScriptError {
  int line;  // 1-based
  std::string message;
};

// Events in the order they happen (ties keep the script's order).
struct KeyScript {
  std::vector<KeyEvent> events;
  std::vector<ScriptedSend> sends;  // in time order
};

// The script's events and sends, or its first mistake.
Result<KeyScript, KeyScriptError> ParseKeyScript(std::string_view text);

// The text of the --help section on key scripts, key names included.
std::string KeyScriptHelp();

}  // namespace pellux
