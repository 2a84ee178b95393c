// pellux-headless's link cable: the computer's side at the other end (files
// sent, the variables the calculator sends saved as files), or a socket to
// another Pellux. Each is the driver's peer, so it works after every pass
// whoever runs the loop (the run itself, or a debugger).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/computer_link_peer.h"
#include "link/variable_file.h"
#include "linkserver/socket_link.h"
#include "tools/headless_session.h"

namespace pellux {

// The calculator is ready for a transfer the first time it has slept this
// long at a stretch, waiting for a key or another interrupt: an OS that has
// booted sleeps at its prompt, one still booting does not sleep that long.
constexpr std::int64_t kReadyIdleTicks = kTicksPerSecond / 10;

// Variables to send: at a time of the run, or once the calculator is ready.
struct PlannedSend {
  std::optional<std::int64_t> tick;  // none: when ready
  std::vector<Variable> variables;
  std::string what;  // the file, for messages
};

class HeadlessTransfers : public LinkPeer {
 public:
  // Variables the calculator sends are saved in the folder.
  HeadlessTransfers(HeadlessSession& session, std::filesystem::path receiveFolder, std::FILE* out,
                    std::FILE* err);

  void Plan(PlannedSend send);
  void Exchange(Calculator& m) override;
  // Says what the run left undone; answers whether every transfer went well.
  bool Finish();

 private:
  void Started(const PlannedSend& send);
  void Report(LinkEvent& event);

  HeadlessSession& session_;
  std::filesystem::path folder_;
  std::FILE* out_;
  std::FILE* err_;
  ComputerLinkPeer peer_;
  std::vector<PlannedSend> planned_;  // not yet started
  std::set<std::uint64_t> running_;   // jobs started and not ended
  std::optional<std::int64_t> asleepSince_;
  bool ready_ = false;
  bool failed_ = false;
};

// A socket to another Pellux, its messages on standard error.
class HeadlessSocket : public LinkPeer {
 public:
  // --link-listen or --link-connect, or the reason when it cannot be opened.
  static Result<std::unique_ptr<HeadlessSocket>> Open(const net::Endpoint& endpoint, bool listen,
                                                      std::FILE* err);
  // Before the first instruction: waits for the other Pellux. Listening, for
  // as long as it takes; connecting, for up to 10 seconds, trying again
  // while nobody listens yet (so two runs may start in either order).
  // False when the connection failed.
  bool WaitForPeer();
  void Exchange(Calculator& m) override;

 private:
  HeadlessSocket(std::unique_ptr<SocketLink> link, net::Endpoint endpoint, std::FILE* err)
      : link_(std::move(link)), endpoint_(std::move(endpoint)), err_(err) {}
  bool WaitToConnect();
  void Tell();

  std::unique_ptr<SocketLink> link_;
  net::Endpoint endpoint_;
  std::FILE* err_;
};

}  // namespace pellux
