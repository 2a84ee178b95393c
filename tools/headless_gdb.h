// pellux-headless under a debugger: the machine waits for gdb before its
// first instruction and runs only while gdb lets it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "io/connection.h"
#include "tools/headless_session.h"

namespace pellux {

// How a run under the debugger ended.
enum class DebugEnd { Detached, Killed, TimeUp, ListenFailed };

// Listens on the endpoint, waits for the debugger and serves it until it
// detaches or kills, or (with a limit) until emulated time reaches
// endTick, when the debugger is told that the program exited. Messages
// (where it listens, who attaches) go to standard error.
DebugEnd RunUnderDebugger(HeadlessSession& session, const net::Endpoint& endpoint,
                          std::optional<std::int64_t> endTick);
// The same on a socket already listening.
DebugEnd RunUnderDebugger(HeadlessSession& session, std::unique_ptr<net::Listener> listener,
                          std::optional<std::int64_t> endTick);

}  // namespace pellux
