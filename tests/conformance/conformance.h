// Running one test vector on the flat-memory core, with this core's
// documented departures from the MC68000 skipped or masked.
#pragma once

#include <string>

#include "cpu/flat_machine.h"
#include "tests/conformance/vector_file.h"

namespace pellux::conformance {

enum class Verdict { Passed, Skipped, Failed };

struct Outcome {
  Verdict verdict;
  std::string detail;  // why it was skipped, or what differed
};

// Sets the machine up from the test's initial state, runs one instruction as
// the run loop does (faults settled, no trace step) and compares with the
// final state. Leaves the memory the test listed zeroed again.
Outcome RunVector(FlatMachine& m, const VectorTest& test);

}  // namespace pellux::conformance
