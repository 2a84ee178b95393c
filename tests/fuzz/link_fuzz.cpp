#include "tests/fuzz/link_fuzz.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "link/computer_link.h"
#include "tests/scripted_calculator.h"

namespace pellux::fuzz {

namespace {

constexpr std::uint8_t kCommands[] = {0x06, 0x09, 0x15, 0x2D, 0x36, 0x56, 0x5A,
                                      0x68, 0x6D, 0x87, 0x88, 0x92, 0xA2, 0xC9};
// More than this waiting to go out would be output growing without bound:
// a few packets of the largest size at most.
constexpr std::size_t kOutputBound = 4 * (0xFFFF + 6);
constexpr std::uint64_t kPass = 1000;
constexpr std::uint64_t kEndPass = 50'000;

class Harness {
 public:
  Harness() {
    Open(link_.SendVariables({test::MakeVariable("main", "v0", 300)}), false);
    Open(link_.RequestScreen(), true);
    link_.Advance(now_);
  }

  std::string Run(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    while (at < size && trouble_.empty()) {
      const std::uint8_t op = next();
      if (op < 0x40) {
        std::vector<std::uint8_t> bytes;
        for (unsigned i = 0; i <= op && at < size; ++i) bytes.push_back(next());
        link_.Receive(bytes, now_);
      } else if (op < 0x80) {
        const std::uint8_t command = kCommands[next() % std::size(kCommands)];
        std::vector<std::uint8_t> payload;
        for (unsigned i = 0; i < (op & 0x3Fu) && at < size; ++i) payload.push_back(next());
        calc_.SendPacket(command, payload, static_cast<std::uint16_t>(payload.size()));
        link_.Receive(calc_.TakeOutput(), now_);
      } else if (op < 0xA0) {
        now_ += std::uint64_t{next()} * kPass * ((op & 0x1Fu) + 1);
      } else if (op < 0xB0) {
        CalculatorPass(((op & 0x0Fu) + 1) * 64, kPass);
      } else {
        Control(op, next);
      }
      link_.Advance(now_);
      Check();
    }
    if (trouble_.empty()) Finish();
    return trouble_;
  }

 private:
  template <class Next>
  void Control(std::uint8_t op, Next& next) {
    switch (op) {
      case 0xB0: {
        std::vector<Variable> variables;
        const unsigned count = 1 + next() % 3;
        for (const char* name : {"v0", "v1", "v2"}) {
          if (variables.size() == count) break;
          variables.push_back(test::MakeVariable("main", name, std::size_t{next()} * 97));
        }
        Open(link_.SendVariables(variables), false);
        break;
      }
      case 0xB1:
        Open(link_.RequestScreen(), true);
        break;
      case 0xB2:
        link_.Cancel();
        break;
      case 0xB3:
        link_.PeerReset(now_);
        break;
      case 0xB4:
        now_ = now_ > 5000 ? now_ - 5000 : 0;
        link_.PeerVanished(now_);
        break;
      case 0xB5:
        calc_.SendVariable(test::MakeVariable("main", "c", std::size_t{next()} * 31));
        link_.Receive(calc_.TakeOutput(), now_);
        break;
      case 0xB6:
        Misbehave(next());
        break;
      case 0xB7: {
        std::vector<std::uint8_t> screen(kScreenDumpBytes, next());
        calc_.SendPacket(0x15, screen);
        link_.Receive(calc_.TakeOutput(), now_);
        break;
      }
      case 0xB8: {
        const Variable variable = test::MakeVariable("main", "x", std::size_t{next()} * 200);
        std::vector<std::uint8_t> xdp(4, 0);
        xdp.insert(xdp.end(), variable.data.begin(), variable.data.end());
        calc_.SendPacket(0x15, xdp);
        link_.Receive(calc_.TakeOutput(), now_);
        break;
      }
      default:
        TakeEvents();
        break;
    }
  }

  void Misbehave(std::uint8_t how) {
    Honest();
    if (how & 0x01) calc_.locked = {"main\\v1"};
    if (how & 0x02) calc_.refusalCode = 1;
    if (how & 0x04) calc_.damage[0x15] = 1 + (how >> 6);
    if (how & 0x08) calc_.complainAbout[0x15] = 1 + (how >> 6);
    if (how & 0x10) calc_.complainAbout[0x06] = 1;
    if (how & 0x20) calc_.giveUpOn = 0x15;
    if ((how & 0xC0) == 0x40) calc_.answerPackets = 2;
    if ((how & 0xC0) == 0xC0) calc_.deaf = true;
  }

  void Honest() {
    calc_.locked.clear();
    calc_.refusalCode = 5;
    calc_.damage.clear();
    calc_.complainAbout.clear();
    calc_.giveUpOn.reset();
    calc_.deaf = false;
    calc_.answerPackets.reset();
  }

  // A pass of the machine's loop with the scripted calculator on the cable.
  void CalculatorPass(std::size_t room, std::uint64_t units) {
    now_ += units;
    link_.Advance(now_);
    const std::span<const std::uint8_t> out = link_.Output();
    const std::vector<std::uint8_t> bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(std::min(out.size(), room)));
    link_.OutputTaken(bytes.size(), now_);
    calc_.Take(bytes);
    if (calc_.TakeResetPulse()) link_.PeerReset(now_);
    link_.Receive(calc_.TakeOutput(), now_);
  }

  // Every job ends: with an honest calculator and time enough for each
  // queued job to fail by every time-out at once.
  void Finish() {
    Honest();
    const std::size_t budget = (open_.size() + 3) * 4 * (kLinkUnitsPerSecond * 6 / kEndPass);
    for (std::size_t pass = 0; pass < budget && (link_.Busy() || !link_.Output().empty()); ++pass) {
      CalculatorPass(1024, kEndPass);
      link_.Advance(now_);
      Check();
      if (!trouble_.empty()) return;
    }
    TakeEvents();
    if (!trouble_.empty()) return;
    if (link_.Busy()) {
      trouble_ = "the link is still busy after every time-out";
    } else if (!open_.empty()) {
      trouble_ = "job " + std::to_string(open_.begin()->first) + " never ended";
    }
  }

  void Check() {
    if (link_.Output().size() > kOutputBound) {
      trouble_ = std::to_string(link_.Output().size()) + " bytes waiting to go out";
      return;
    }
    const LinkProgress progress = link_.Progress();
    if (progress.done > progress.total) {
      trouble_ = "progress " + std::to_string(progress.done) + " of " + std::to_string(progress.total);
      return;
    }
    TakeEvents();
  }

  void Open(std::uint64_t job, bool screen) { open_[job] = screen; }

  void TakeEvents() {
    for (const LinkEvent& event : link_.TakeEvents()) {
      if (event.message.empty()) trouble_ = "an event without a message";
      const auto job = open_.find(event.job);
      switch (event.kind) {
        case LinkEventKind::Finished:
        case LinkEventKind::Failed:
          if (event.job == 0) {
            if (event.kind == LinkEventKind::Finished) trouble_ = "a finish without a job";
            break;
          }
          if (job == open_.end()) {
            trouble_ = "job " + std::to_string(event.job) + " ended twice: " + event.message;
            break;
          }
          if (event.kind == LinkEventKind::Finished && job->second && !screens_.count(event.job)) {
            trouble_ = "a screen dump finished without its screen";
          }
          open_.erase(job);
          break;
        case LinkEventKind::ScreenReceived:
          if (job == open_.end() || !job->second) trouble_ = "a screen for no screen job";
          screens_.insert(event.job);
          break;
        case LinkEventKind::VariableReceived: {
          const std::vector<std::uint8_t>& d = event.variable.data;
          if (event.job != 0 || d.size() < 2 || (std::size_t{d[0]} << 8 | d[1]) + 2 != d.size()) {
            trouble_ = "a received variable that is not whole: " + event.message;
          }
          break;
        }
      }
    }
  }

  ComputerLink link_;
  test::ScriptedCalculator calc_;
  std::uint64_t now_ = 1000;
  std::map<std::uint64_t, bool> open_;  // job -> a screen dump
  std::set<std::uint64_t> screens_;
  std::string trouble_;
};

}  // namespace

std::string RunLinkOnBytes(const std::uint8_t* data, std::size_t size) {
  Harness harness;
  return harness.Run(data, size);
}

}  // namespace pellux::fuzz
