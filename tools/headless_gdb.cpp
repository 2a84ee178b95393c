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

  const auto pass = [&session] { return session.Pass(); };
  while (server.attached()) {
    gdb::Stub& stub = *server.stub();
    if (stub.resume() == gdb::Resume::Halted) {
      server.Poll(-1);
      continue;
    }
    for (int round = 0; round < kPassesPerPoll && stub.resume() != gdb::Resume::Halted; ++round) {
      if (endTick && session.Now() >= *endTick) {
        stub.ReportExit(0);
        server.Flush();
        return DebugEnd::TimeUp;
      }
      gdb::Advance(stub, session.driver(), pass);
    }
    server.Flush();
    server.Poll(0);
  }
  return server.killed() ? DebugEnd::Killed : DebugEnd::Detached;
}

}  // namespace pellux
