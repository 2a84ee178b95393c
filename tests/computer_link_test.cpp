// The computer's side of the link protocol against a calculator scripted in
// the test: transfers that work, and calculators that refuse, complain, fall
// silent, reset the link, send garbage or go away.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/computer_link.h"
#include "link/transfer_files.h"
#include "tests/link_files.h"
#include "tests/scripted_calculator.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CommandNames;
using test::MakeVariable;
using test::ScriptedCalculator;
using Names = std::vector<std::string>;

constexpr std::uint64_t kStep = 1000;  // link units per pass of the loop
const ComputerLinkTimes kTimes;

// The computer and the calculator on one cable, moved on a pass at a time
// as the machine's loop would: the pulse first, then the bytes.
struct Cable {
  ComputerLink link;
  ScriptedCalculator calc;
  std::uint64_t now = 10 * kStep;
  std::size_t bytesPerPass = SIZE_MAX;  // how much the cable takes towards the calculator
  std::uint64_t lastMoved = 0;          // the last pass in which a byte went either way
  std::uint64_t taken = 0;              // bytes the calculator took
  std::vector<LinkEvent> events;

  void Pass() {
    now += kStep;
    link.Advance(now);
    const std::span<const std::uint8_t> out = link.Output();
    const std::vector<std::uint8_t> bytes(out.begin(), out.begin() + std::min(out.size(), bytesPerPass));
    link.OutputTaken(bytes.size(), now);
    taken += bytes.size();
    calc.Take(bytes);
    if (calc.TakeResetPulse()) link.PeerReset(now);
    const std::vector<std::uint8_t> answer = calc.TakeOutput();
    link.Receive(answer, now);
    if (!bytes.empty() || !answer.empty()) lastMoved = now;
    link.Advance(now);
    for (LinkEvent& event : link.TakeEvents()) events.push_back(std::move(event));
  }
  // Until the link has nothing left to do and nothing to say, then a few
  // passes more for the calculator's last words.
  void Run(std::uint64_t limit = 30 * kLinkUnitsPerSecond) {
    const std::uint64_t end = now + limit;
    while (now < end && (link.Busy() || !link.Output().empty())) Pass();
    for (int i = 0; i < 5; ++i) Pass();
  }
  const LinkEvent& Last() const { return events.back(); }
  std::string Messages() const {
    std::string messages;
    for (const LinkEvent& event : events) messages += event.message + "\n";
    return messages;
  }
};

void ExpectSameVariable(const Variable& got, const Variable& want) {
  EXPECT_EQ(got.folder, want.folder);
  EXPECT_EQ(got.name, want.name);
  EXPECT_EQ(got.type, want.type);
  EXPECT_EQ(got.data, want.data);
}

// --- Sending variables ---

struct SendCase {
  const char* what;
  std::function<void(ScriptedCalculator&)> setup;
  std::vector<std::string> names;  // variables sent, in main
  LinkEventKind end;
  std::string message;
  Names seen;                        // the packets the calculator read
  std::vector<std::string> stored;  // the names it holds afterwards
};

TEST(ComputerLink, SendsVariablesToScriptedCalculators) {
  const auto none = [](ScriptedCalculator&) {};
  const std::string lockedReason = "a variable of that name is locked, archived or in use";
  const SendCase cases[] = {
      {"one variable", none, {"hello"}, LinkEventKind::Finished, "Sent main\\hello to the calculator.",
       {"VAR", "ACK", "XDP", "EOT"}, {"hello"}},
      {"a group", none, {"a", "b", "c"}, LinkEventKind::Finished, "Sent 3 variables to the calculator.",
       {"VAR", "ACK", "XDP", "VAR", "ACK", "XDP", "VAR", "ACK", "XDP", "EOT"}, {"a", "b", "c"}},
      {"a name it will not overwrite", [](ScriptedCalculator& c) { c.locked = {"main\\hello"}; }, {"hello"},
       LinkEventKind::Failed, "The calculator refused main\\hello: " + lockedReason + ".", {"VAR", "ACK", "EOT"}, {}},
      {"one of a group refused", [](ScriptedCalculator& c) { c.locked = {"main\\b"}; }, {"a", "b", "c"},
       LinkEventKind::Failed, "Sent 2 of 3 variables; the calculator refused main\\b: " + lockedReason + ".",
       {"VAR", "ACK", "XDP", "VAR", "ACK", "VAR", "ACK", "XDP", "EOT"}, {"a", "c"}},
      {"a refusal that ends the transfer",
       [](ScriptedCalculator& c) {
         c.locked = {"main\\a"};
         c.refusalCode = 1;
       },
       {"a", "b"}, LinkEventKind::Failed, "Sent 0 of 2 variables; the calculator refused main\\a: it ended the transfer.",
       {"VAR", "ACK"}, {}},
      {"a checksum complaint about the data", [](ScriptedCalculator& c) { c.complainAbout[0x15] = 1; }, {"hello"},
       LinkEventKind::Finished, "Sent main\\hello to the calculator.", {"VAR", "ACK", "XDP", "XDP", "EOT"}, {"hello"}},
      {"a checksum complaint about the header", [](ScriptedCalculator& c) { c.complainAbout[0x06] = 1; }, {"hello"},
       LinkEventKind::Finished, "Sent main\\hello to the calculator.", {"VAR", "VAR", "ACK", "XDP", "EOT"}, {"hello"}},
      {"two complaints about EOT", [](ScriptedCalculator& c) { c.complainAbout[0x92] = 2; }, {"hello"},
       LinkEventKind::Finished, "Sent main\\hello to the calculator.", {"VAR", "ACK", "XDP", "EOT", "EOT", "EOT"},
       {"hello"}},
      {"complaints without end", [](ScriptedCalculator& c) { c.complainAbout[0x15] = 100; }, {"hello"},
       LinkEventKind::Failed,
       "The calculator kept reporting checksum errors in what it received (sending main\\hello).",
       {"VAR", "ACK", "XDP", "XDP", "XDP", "XDP"}, {}},
      {"out of memory: it resets the link", [](ScriptedCalculator& c) { c.giveUpOn = 0x15; }, {"hello"},
       LinkEventKind::Failed,
       "The calculator reset the link (sending main\\hello); it may be showing an error message.",
       {"VAR", "ACK", "XDP"}, {}},
  };
  for (const SendCase& c : cases) {
    SCOPED_TRACE(c.what);
    Cable cable;
    c.setup(cable.calc);
    std::vector<Variable> variables;
    for (std::size_t i = 0; i < c.names.size(); ++i) variables.push_back(MakeVariable("main", c.names[i], 40 + 300 * i));
    const std::uint64_t job = cable.link.SendVariables(variables);
    cable.Run();
    ASSERT_EQ(cable.events.size(), 1u) << cable.Messages();
    EXPECT_EQ(cable.Last().kind, c.end);
    EXPECT_EQ(cable.Last().job, job);
    EXPECT_EQ(cable.Last().message, c.message);
    EXPECT_EQ(CommandNames(cable.calc.seen), c.seen);
    std::vector<std::string> stored;
    for (const Variable& variable : cable.calc.stored) {
      stored.push_back(variable.name);
      const auto sent = std::find_if(variables.begin(), variables.end(),
                                     [&](const Variable& v) { return v.name == variable.name; });
      ASSERT_NE(sent, variables.end());
      ExpectSameVariable(variable, *sent);
    }
    EXPECT_EQ(stored, c.stored);
    EXPECT_FALSE(cable.link.Busy());
  }
}

TEST(ComputerLink, PacketsAreWhatTheCalculatorParses) {
  Cable cable;
  Variable variable = MakeVariable("games", "tetris", 5, 0x1C);
  cable.link.SendVariables({variable});
  cable.Run();
  ASSERT_GE(cable.calc.seen.size(), 3u);
  const test::SeenPacket& var = cable.calc.seen[0];
  EXPECT_EQ(var.machine, 0x08);
  EXPECT_TRUE(var.intact);
  // Size in memory (the size word and the bytes), type, "folder\name".
  const std::vector<std::uint8_t> header = {7, 0, 0, 0, 0x1C, 12, 'g', 'a', 'm', 'e', 's', '\\', 't', 'e', 't', 'r', 'i', 's'};
  EXPECT_EQ(var.data, header);
  const test::SeenPacket& xdp = cable.calc.seen[2];
  std::vector<std::uint8_t> expected = {0, 0, 0, 0};
  expected.insert(expected.end(), variable.data.begin(), variable.data.end());
  EXPECT_EQ(xdp.data, expected);
  EXPECT_TRUE(xdp.intact);
}

TEST(ComputerLink, VariablesThatCannotBeSentFailAtOnce) {
  struct Case {
    std::function<void(Variable&)> spoil;
    std::string message;
  };
  const Case cases[] = {
      {[](Variable& v) { v.name = "toolongname"; },
       "main\\toolongname cannot be sent: the name \"toolongname\" will not do: it has 11 characters, and names have "
       "at most 8."},
      {[](Variable& v) { v.name.clear(); }, "A variable cannot be sent: the name \"\" will not do: it is empty."},
      {[](Variable& v) { v.folder = "my fold"; },
       "my fold\\hello cannot be sent: the folder name \"my fold\" will not do: the calculator takes no space in "
       "names."},
      {[](Variable& v) { v.type = 0x55; }, "main\\hello cannot be sent: type id 0x55 is no variable of the TI-92 Plus."},
      {[](Variable& v) { v.data.push_back(0); },
       "main\\hello cannot be sent: its data begin with the size 10 but 11 bytes follow."},
      {[](Variable& v) { v.data.resize(1); }, "main\\hello cannot be sent: its data lack the 2-byte size at their start."},
      {[](Variable& v) { v = MakeVariable("main", "hello", 0xFFFE); },
       "main\\hello cannot be sent: its 65536 bytes are more than one packet carries (65531)."},
  };
  for (const Case& c : cases) {
    ComputerLink link;
    Variable variable = MakeVariable("main", "hello", 10);
    c.spoil(variable);
    const std::uint64_t job = link.SendVariables({MakeVariable("main", "fine", 3), variable});
    const std::vector<LinkEvent> events = link.TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, LinkEventKind::Failed);
    EXPECT_EQ(events[0].job, job);
    EXPECT_EQ(events[0].message, c.message);
    link.Advance(1);
    EXPECT_TRUE(link.Output().empty()) << "nothing of the list goes out";
    EXPECT_FALSE(link.Busy());
  }
  ComputerLink link;
  link.SendVariables({});
  EXPECT_EQ(link.TakeEvents().at(0).message, "Nothing to send.");
}

// --- Silence and time-outs ---

TEST(ComputerLink, SilenceEndsTheJobAfterTheAnswerTimeAndNotBefore) {
  ASSERT_EQ(kTimes.answer, 5 * kLinkUnitsPerSecond);
  // The cable takes the header and nothing answers; or nothing even takes
  // a byte. Either way the time counts from the job's start, however long
  // the link was idle before.
  for (const bool cableTakes : {true, false}) {
    SCOPED_TRACE(cableTakes);
    ComputerLink link;
    link.Advance(1000);
    const std::uint64_t start = 1000 + 3 * kTimes.answer;
    link.SendVariables({MakeVariable("main", "hello", 10)});
    link.Advance(start);
    ASSERT_FALSE(link.Output().empty());
    if (cableTakes) link.OutputTaken(link.Output().size(), start);
    link.Advance(start + kTimes.answer - 1);
    EXPECT_TRUE(link.TakeEvents().empty());
    EXPECT_TRUE(link.Busy());
    link.Advance(start + kTimes.answer);
    const std::vector<LinkEvent> events = link.TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, LinkEventKind::Failed);
    EXPECT_EQ(events[0].message, "No answer from the calculator in 5 seconds (sending main\\hello).");
    EXPECT_FALSE(link.Busy());
    EXPECT_TRUE(link.Output().empty());
  }
}

TEST(ComputerLink, CalculatorThatStopsMidwayTimesOutFromItsLastByte) {
  Cable cable;
  cable.calc.answerPackets = 1;  // answers the header, then nothing
  cable.link.SendVariables({MakeVariable("main", "hello", 10)});
  std::uint64_t lastMoved = 0;
  while (cable.events.empty() && cable.now < 20 * kLinkUnitsPerSecond) {
    lastMoved = cable.lastMoved;
    cable.Pass();
  }
  ASSERT_EQ(cable.events.size(), 1u);
  EXPECT_EQ(cable.Last().message, "The calculator stopped answering for 5 seconds (sending main\\hello).");
  // Its answer came, the computer's ACK and data went out, then nothing:
  // the failure comes in the first pass the answer time after that.
  EXPECT_GT(lastMoved, 0u);
  EXPECT_GE(cable.now, lastMoved + kTimes.answer);
  EXPECT_LT(cable.now, lastMoved + kTimes.answer + kStep);
}

TEST(ComputerLink, CalculatorGoneAwayEndsTheJob) {
  ComputerLink link;
  link.SendVariables({MakeVariable("main", "hello", 10)});
  link.Advance(5000);
  link.Advance(100);  // time ran back: another machine
  const std::vector<LinkEvent> events = link.TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message, "The calculator went away: the machine was reset or replaced (sending main\\hello).");
  EXPECT_TRUE(link.Output().empty());
}

// --- Resets and recovery ---

TEST(ComputerLink, ResetPulseFailsAfterTheGraceThenTheLinkWorksAgain) {
  Cable cable;
  cable.calc.giveUpOn = 0x15;
  cable.link.SendVariables({MakeVariable("main", "first", 100)});
  std::uint64_t pulse = 0;
  while (cable.events.empty()) {
    cable.Pass();
    if (!pulse && cable.calc.deaf) pulse = cable.now;
  }
  EXPECT_EQ(cable.Last().message,
            "The calculator reset the link (sending main\\first); it may be showing an error message.");
  EXPECT_GE(cable.now, pulse + kTimes.resetGrace);
  EXPECT_LT(cable.now, pulse + kTimes.resetGrace + kStep);
  // The calculator shows its error, the user clears it; the next job goes.
  cable.calc.giveUpOn.reset();
  cable.calc.deaf = false;
  cable.calc.seen.clear();
  cable.link.SendVariables({MakeVariable("main", "second", 10)});
  cable.Run();
  EXPECT_EQ(cable.Last().message, "Sent main\\second to the calculator.");
  EXPECT_EQ(CommandNames(cable.calc.seen), (Names{"VAR", "ACK", "XDP", "EOT"}));
}

TEST(ComputerLink, GarbageEndsTheJobAndIsDroppedUntilTheLineIsQuiet) {
  Cable cable;
  cable.calc.deaf = true;
  cable.link.RequestScreen();
  cable.Pass();
  const std::uint8_t junk[] = {0x12, 0x34, 0x56, 0x78, 0x88, 0x56, 0x00, 0x00};
  cable.calc.SendRaw(junk);
  cable.Pass();
  ASSERT_EQ(cable.events.size(), 1u);
  EXPECT_EQ(cable.Last().message,
            "The calculator sent a packet from machine id 0x12, which this end does not talk to (taking a screen "
            "dump).");
  // More bytes keep coming for a while: all dropped, nothing answered.
  for (int i = 0; i < 50; ++i) {
    cable.calc.SendRaw(junk);
    cable.Pass();
  }
  EXPECT_EQ(cable.events.size(), 1u);
  EXPECT_TRUE(cable.link.Output().empty());
  // Quiet again: the next job works.
  cable.calc.deaf = false;
  cable.calc.screen.fill(0x5A);
  cable.link.RequestScreen();
  cable.Run();
  ASSERT_EQ(cable.events.size(), 3u);
  EXPECT_EQ(cable.events[1].kind, LinkEventKind::ScreenReceived);
  EXPECT_EQ(cable.events[1].screen, cable.calc.screen);
}

// --- Screen dumps ---

TEST(ComputerLink, ScreenDumpComesAsTheFrame) {
  for (const unsigned damaged : {0u, 2u}) {
    SCOPED_TRACE(damaged);
    Cable cable;
    for (std::size_t i = 0; i < kScreenDumpBytes; ++i) cable.calc.screen[i] = static_cast<std::uint8_t>(i * 13 + i / 30);
    cable.calc.damage[0x15] = damaged;  // its XDP arrives damaged this often, and goes again
    const std::uint64_t job = cable.link.RequestScreen();
    cable.Run();
    ASSERT_EQ(cable.events.size(), 2u);
    EXPECT_EQ(cable.events[0].kind, LinkEventKind::ScreenReceived);
    EXPECT_EQ(cable.events[0].screen, cable.calc.screen);
    EXPECT_EQ(cable.events[1].kind, LinkEventKind::Finished);
    EXPECT_EQ(cable.events[1].job, job);
    Names seen = {"SCR"};
    for (unsigned i = 0; i < damaged; ++i) seen.push_back("ERR");
    seen.push_back("ACK");
    EXPECT_EQ(CommandNames(cable.calc.seen), seen);
  }
}

TEST(ComputerLink, ScreenThatKeepsArrivingDamagedFails) {
  Cable cable;
  cable.calc.damage[0x15] = 100;
  cable.link.RequestScreen();
  cable.Run();
  ASSERT_EQ(cable.events.size(), 1u);
  EXPECT_EQ(cable.Last().message,
            "The calculator's packets kept arriving damaged: XDP data (3840 bytes) with a checksum error (taking a "
            "screen dump).");
  EXPECT_EQ(CommandNames(cable.calc.seen), (Names{"SCR", "ERR", "ERR", "ERR"}));
}

// --- What the calculator sends on its own ---

TEST(ComputerLink, ReceivesAVariableTheCalculatorSends) {
  for (const unsigned damaged : {0u, 1u}) {
    SCOPED_TRACE(damaged);
    Cable cable;
    const Variable sent = MakeVariable("main", "hello", 500);
    cable.calc.damage[0x15] = damaged;
    cable.calc.SendVariable(sent);
    for (int i = 0; i < 20; ++i) cable.Pass();
    ASSERT_EQ(cable.events.size(), 1u) << cable.Messages();
    EXPECT_EQ(cable.Last().kind, LinkEventKind::VariableReceived);
    EXPECT_EQ(cable.Last().job, 0u);
    EXPECT_EQ(cable.Last().message, "Received main\\hello from the calculator.");
    ExpectSameVariable(cable.Last().variable, sent);
    // ACK and CTS for its header, ACK for its data (an ERR first when it
    // came damaged), ACK for its EOT.
    Names seen = {"ACK", "CTS"};
    if (damaged) seen.push_back("ERR");
    seen.insert(seen.end(), {"ACK", "ACK"});
    EXPECT_EQ(CommandNames(cable.calc.seen), seen);
    EXPECT_FALSE(cable.link.Busy());
  }
}

// The variable files made by ld-tigcc and libtifiles go to the calculator,
// come back as the calculator sends them and are saved: each variable is
// what the file held (the link carries no attribute), and a file written
// without a comment comes back byte for byte.
TEST(ComputerLink, FilesGoToTheCalculatorAndComeBackAsFiles) {
  test::TempDir saves;
  std::vector<std::string> sameBytes;
  for (const std::string& name : test::LinkVariableFileNames()) {
    SCOPED_TRACE(name);
    const std::filesystem::path original = test::LinkDataDir() / name;
    const VariablesFromFiles read = ReadVariablesFromFiles(std::span(&original, 1));
    ASSERT_TRUE(read.ok()) << read.message();
    Cable cable;
    cable.link.SendVariables(*read);
    cable.Run();
    ASSERT_EQ(cable.Last().kind, LinkEventKind::Finished) << cable.Messages();
    ASSERT_EQ(cable.calc.stored.size(), read->size());

    std::vector<Variable> back;
    for (const Variable& stored : cable.calc.stored) {
      cable.events.clear();
      cable.calc.SendVariable(stored);
      cable.Run();
      ASSERT_EQ(cable.events.size(), 1u) << cable.Messages();
      ASSERT_EQ(cable.Last().kind, LinkEventKind::VariableReceived);
      back.push_back(cable.Last().variable);
    }
    std::vector<Variable> expected = *read;
    for (Variable& variable : expected) variable.attribute = 0;
    test::ExpectSameVariables(back, expected);

    const SavedVariable saved = SaveReceivedVariable(saves.path(), back[0]);
    ASSERT_TRUE(saved.ok()) << saved.message();
    EXPECT_EQ(test::ReadWholeFile(*saved), WriteVariableFile(back[0]));
    const std::vector<std::uint8_t> originalBytes = test::ReadWholeFile(original);
    if (originalBytes[18] == 0 && read->size() == 1 && (*read)[0].attribute == 0) {
      EXPECT_EQ(test::ReadWholeFile(*saved), originalBytes) << "written without a comment, as it came";
      sameBytes.push_back(name);
    }
  }
  EXPECT_EQ(sameBytes,
            (std::vector<std::string>{"frames.9xz", "keyecho.9xz", "lcdfill.9xz", "pxdata.9xy", "tiles.9xz"}));
}

TEST(ComputerLink, RefusesAVariableHeaderItCannotRead) {
  Cable cable;
  const std::string name = "main\\longname1";
  std::vector<std::uint8_t> header = {10, 0, 0, 0, 0x21, static_cast<std::uint8_t>(name.size())};
  header.insert(header.end(), name.begin(), name.end());
  cable.calc.SendPacket(0x06, header);
  for (int i = 0; i < 5; ++i) cable.Pass();
  ASSERT_EQ(cable.events.size(), 1u);
  EXPECT_EQ(cable.Last().kind, LinkEventKind::Failed);
  EXPECT_EQ(cable.Last().message,
            "Refused a variable from the calculator: the name \"longname1\" will not do: it has 9 characters, and "
            "names have at most 8.");
  EXPECT_EQ(CommandNames(cable.calc.seen), (Names{"ACK", "SKIP"}));
  EXPECT_EQ(cable.calc.seen[1].data.at(0), 1) << "an exit";
}

TEST(ComputerLink, AnswersReadyAndIgnoresStrayAcks) {
  Cable cable;
  cable.calc.SendPacket(0x68);
  cable.calc.SendPacket(0x56);
  cable.Pass();
  cable.Pass();
  EXPECT_EQ(CommandNames(cable.calc.seen), (Names{"ACK"}));
  EXPECT_TRUE(cable.events.empty());
}

// --- Cancel and progress ---

TEST(ComputerLink, CancelStopsAtOnceAndDropsTheQueue) {
  Cable cable;
  cable.bytesPerPass = 256;
  const std::uint64_t send = cable.link.SendVariables({MakeVariable("main", "big", 30000)});
  const std::uint64_t screen = cable.link.RequestScreen();
  while (cable.link.Progress().done < 10000) cable.Pass();
  cable.link.Cancel();
  EXPECT_TRUE(cable.link.Output().empty());
  EXPECT_FALSE(cable.link.Busy());
  EXPECT_EQ(cable.link.Progress().what, "");
  const std::vector<LinkEvent> events = cable.link.TakeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].job, send);
  EXPECT_EQ(events[0].message, "Cancelled (sending main\\big).");
  EXPECT_EQ(events[1].job, screen);
  EXPECT_EQ(events[1].message, "Cancelled before it began (taking a screen dump).");
  for (int i = 0; i < 100; ++i) cable.Pass();
  EXPECT_TRUE(cable.calc.stored.empty());
  EXPECT_EQ(CommandNames(cable.calc.seen), (Names{"VAR", "ACK"})) << "the data never arrived whole";
  EXPECT_TRUE(cable.events.empty());
}

TEST(ComputerLink, ProgressCountsTheDataAsTheCableTakesIt) {
  Cable cable;
  cable.bytesPerPass = 100;
  const Variable a = MakeVariable("main", "a", 998);
  const Variable b = MakeVariable("main", "b", 498);
  cable.link.SendVariables({a, b});
  std::size_t last = 0;
  std::vector<std::string> whats;
  bool between = false;
  while (cable.link.Busy()) {
    cable.Pass();
    const LinkProgress progress = cable.link.Progress();
    if (progress.what.empty()) break;
    EXPECT_EQ(progress.total, 1500u);
    EXPECT_GE(progress.done, last);
    EXPECT_LE(progress.done, progress.total);
    if (progress.done > 0 && progress.done < 1000) {
      // Of all it took, the first variable's data follows VAR main\a (18
      // bytes), the ACK of its CTS (4), the XDP's header and 4 zero bytes.
      between = true;
      EXPECT_EQ(progress.done, cable.taken - 30);
    }
    last = progress.done;
    if (whats.empty() || whats.back() != progress.what) whats.push_back(progress.what);
  }
  EXPECT_TRUE(between);
  EXPECT_EQ(last, 1500u);
  EXPECT_EQ(whats, (std::vector<std::string>{"Sending main\\a (1 of 2)", "Sending main\\b (2 of 2)"}));
  EXPECT_EQ(cable.Last().message, "Sent 2 variables to the calculator.");
}

}  // namespace
}  // namespace pellux
