#include "tests/conformance/vector_file.h"

#include "io/files.h"

namespace pellux::conformance {

namespace {

// The largest vector files hold a few hundred kilobytes.
constexpr std::size_t kLargestFile = 64 << 20;

constexpr std::uint32_t kFileMagic = 0x1A3F5D71;
constexpr std::uint32_t kTestMagic = 0xABC12367;
constexpr std::uint32_t kNameMagic = 0x89ABCDEF;
constexpr std::uint32_t kStateMagic = 0x01234567;
constexpr std::uint32_t kTransactionsMagic = 0x456789AB;

// A bounds-checked little-endian cursor: every read past the end fails the
// whole parse instead of reading outside the buffer.
class Cursor {
 public:
  explicit Cursor(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  std::size_t position() const { return pos_; }
  bool AtEnd() const { return pos_ == bytes_.size(); }

  std::uint32_t U32() { return Take(4); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
  std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)); }

  std::string Text(std::uint32_t length) {
    if (!Has(length)) return {};
    std::string text(reinterpret_cast<const char*>(&bytes_[pos_]), length);
    pos_ += length;
    return text;
  }

  // A block header: its length (checked against the bytes it spans) and magic.
  bool Block(std::uint32_t magic, std::size_t& end) {
    const std::size_t start = pos_;
    const std::uint32_t length = U32();
    if (U32() != magic || length < 8 || !ok_ || start + length > bytes_.size()) return Fail();
    end = start + length;
    return true;
  }

  bool Fail() {
    ok_ = false;
    return false;
  }

 private:
  bool Has(std::size_t n) {
    if (!ok_ || bytes_.size() - pos_ < n) return Fail();
    return true;
  }

  std::uint32_t Take(unsigned n) {
    if (!Has(n)) return 0;
    std::uint32_t value = 0;
    for (unsigned i = 0; i < n; ++i) value |= static_cast<std::uint32_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += n;
    return value;
  }

  const std::vector<std::uint8_t>& bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

bool ReadState(Cursor& in, VectorState& state) {
  std::size_t end;
  if (!in.Block(kStateMagic, end)) return false;
  for (auto& r : state.d) r = in.U32();
  for (auto& r : state.a) r = in.U32();
  state.usp = in.U32();
  state.ssp = in.U32();
  state.sr = in.U32();
  state.pc = in.U32();
  state.prefetch[0] = in.U32();
  state.prefetch[1] = in.U32();
  const std::uint32_t count = in.U32();
  if (!in.ok() || count > (end - in.position()) / 6) return in.Fail();
  state.ram.resize(count);
  for (auto& word : state.ram) {
    word.address = in.U32();
    word.value = in.U16();
  }
  return in.ok() && in.position() == end;
}

bool ReadTransactions(Cursor& in, std::vector<Transaction>& transactions) {
  std::size_t end;
  if (!in.Block(kTransactionsMagic, end)) return false;
  in.U32();  // total cycles: this core counts none
  const std::uint32_t count = in.U32();
  if (!in.ok() || count > (end - in.position()) / 5) return in.Fail();
  transactions.clear();
  for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
    Transaction t{};
    t.kind = static_cast<TransactionKind>(in.U8());
    in.U32();  // cycles
    if (t.kind != TransactionKind::Idle) {
      t.functionCode = in.U32();
      t.address = in.U32();
      t.data = in.U32();
      in.U32();  // UDS
      in.U32();  // LDS
    }
    transactions.push_back(t);
  }
  return in.ok() && in.position() == end;
}

bool ReadTest(Cursor& in, VectorTest& test) {
  std::size_t testEnd, nameEnd;
  if (!in.Block(kTestMagic, testEnd) || !in.Block(kNameMagic, nameEnd)) return false;
  const std::uint32_t length = in.U32();
  if (!in.ok() || length != nameEnd - in.position()) return in.Fail();
  test.name = in.Text(length);
  return ReadState(in, test.initial) && ReadState(in, test.final) &&
         ReadTransactions(in, test.transactions) && in.position() == testEnd;
}

}  // namespace

Result<std::vector<VectorTest>> ReadVectorFile(const std::filesystem::path& path) {
  const InputFile file = ReadInputFile(path, kLargestFile, OverLimit::Refuse);
  if (!file.ok()) return Fail((FailedWith(file, FileError::ReadFailed) ? "cannot be read: " : "") + file.message());
  const std::vector<std::uint8_t>& bytes = file->bytes;
  Cursor in(bytes);
  const std::uint32_t magic = in.U32();
  const std::uint32_t count = in.U32();
  if (!in.ok() || magic != kFileMagic) return Fail("not a test vector file");
  std::vector<VectorTest> tests;
  tests.reserve(count < 100000 ? count : 0);
  for (std::uint32_t i = 0; i < count; ++i) {
    VectorTest test;
    if (!ReadTest(in, test)) {
      return Fail("malformed test " + std::to_string(i) + " at byte " + std::to_string(in.position()));
    }
    tests.push_back(std::move(test));
  }
  if (!in.AtEnd()) return Fail("bytes after the last test");
  return tests;
}

}  // namespace pellux::conformance
