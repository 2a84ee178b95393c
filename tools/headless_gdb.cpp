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

DebugEnd RunUnderDebugger(HeadlessSession& session, const net::Endpoint& endpoint,
                          std::optional<std::int64_t> endTick) {
  Result<std::unique_ptr<net::Listener>> opened = net::Listener::Open(endpoint);
  if (!opened.ok()) {
    Log(opened.message());
    return DebugEnd::ListenFailed;
  }
  std::unique_ptr<net::Listener> listener = std::move(opened).value();
  if (!listener->loopback()) Log("warning: " + gdb::OpenPortWarning(listener->Address()));
  Log("waiting for the debugger on " + listener->Address());
  return RunUnderDebugger(session, std::move(listener), endTick);
}

DebugEnd RunUnderDebugger(HeadlessSession& session, std::unique_ptr<net::Listener> listener,
                          std::optional<std::int64_t> endTick) {
  gdb::Server server(session.calculator(), std::move(listener), Log);
  // The machine stands until the debugger lets it run: waiting for it, and
  // while it holds the machine, is no emulated time.
  session.Hold();
  // The first debugger's session is the run, however short: one that
  // connects and closes at once ends it as one that stays a while does.
  while (!server.attached() && !server.sessionEnded()) server.Poll(-1);

  const auto pass = [&session] { return session.Pass(); };
  while (server.attached()) {
    gdb::Stub& stub = *server.stub();
    if (stub.resume() == gdb::Resume::Halted) {
      session.Hold();
      server.Poll(-1);
      continue;
    }
    session.Release();
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
  session.Release();
  return server.killed() ? DebugEnd::Killed : DebugEnd::Detached;
}

}  // namespace pellux
