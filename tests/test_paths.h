// Where the tests find the files of this checkout and of its build. The
// build writes them into one generated source (test_paths.cpp in the build
// tree) rather than into every file's command line, so that no other test
// file depends on where the checkout is and a compiler cache shares their
// objects between checkouts.
#pragma once

namespace pellux::test {

// The checkout's root, its tests/data folder and the conformance vectors.
extern const char* const kProjectDir;
extern const char* const kTestDataDir;
extern const char* const kVectorDir;

// Programs of this build.
extern const char* const kDisasmBinary;
// The window, or null in a build without it.
extern const char* const kWindowBinary;

// The demo ROM and its nm listing, or null when it was not built (no 68000
// cross compiler).
extern const char* const kDemoRom;
extern const char* const kDemoSymbols;
// Why a test that needs them skips when they are null.
inline constexpr const char* kNoDemoRom = "the demo ROM was not built (no 68000 cross compiler)";

// The benchmark workload's flat image and flash image, or null when they
// were not built.
extern const char* const kWorkloadImage;
extern const char* const kWorkloadRom;

}  // namespace pellux::test
