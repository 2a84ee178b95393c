#include "tools/headless_gdb.h"

#include <cstdio>

#include "gdbserver/gdb_server.h"

namespace pellux {

namespace {

void Log(const std::string& line) {
  std::fprintf(stderr, "pellux-headless: %s\n", line.c_str());
  std::fflush(stderr);
}

// Passes run between two looks at the network while the debugger lets the
// machine go: often enough for its Ctrl-C, rarely enough to cost nothing.
constexpr int kPassesPerPoll = 64;

}  // namespace

DebugEnd RunUnderDebugger(HeadlessSession& session, const gdb::Endpoint& endpoint,
                          std::optional<std::int64_t> endTick) {
  std::string error;
  std::unique_ptr<gdb::Listener> listener = gdb::Listener::Open(endpoint, error);
  if (!listener) {
    Log(error);
    return DebugEnd::ListenFailed;
  }
  Log("waiting for the debugger on " + listener->Address());
  gdb::Server server(session.calculator(), std::move(listener), Log);
  while (!server.attached()) server.Poll(-1);

  while (server.attached()) {
    gdb::Stub& stub = *server.stub();
    switch (stub.resume()) {
      case gdb::Resume::Halted:
        server.Poll(-1);
        continue;
      case gdb::Resume::Step:
        gdb::StepMachine(session.calculator());
        stub.ReportStop();
        break;
      case gdb::Resume::Continue:
        for (int pass = 0; pass < kPassesPerPoll; ++pass) {
          if (endTick && session.Now() >= *endTick) {
            stub.ReportExit(0);
            server.Flush();
            return DebugEnd::TimeUp;
          }
          if (session.RunUntil(session.Now() + 1) == StopReason::Breakpoint) {
            stub.ReportStop();
            break;
          }
        }
        break;
    }
    server.Flush();
    server.Poll(0);
  }
  return server.killed() ? DebugEnd::Killed : DebugEnd::Detached;
}

}  // namespace pellux
