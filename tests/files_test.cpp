// Reading and writing the user's files: what is refused and why, without
// ever blocking, and outputs that replace a file whole or not at all.
#include "io/files.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tests/test_support.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A listening socket bound at path, closed with the object.
class SocketFile {
 public:
  explicit SocketFile(const fs::path& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.string().copy(address.sun_path, sizeof address.sun_path - 1);
    bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~SocketFile() { ::close(fd_); }
  bool bound() const { return bound_; }

 private:
  int fd_;
  bool bound_ = false;
};

TEST(ReadInputFile, ReadsWhatIsAFileAndRefusesTheRestWithTheReason) {
  const TempDir dir;
  const fs::path ten = dir.Write("ten.bin", "0123456789");
  const fs::path empty = dir.Write("empty.bin", "");
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  fs::create_symlink("loop-b", dir.path() / "loop-a");
  fs::create_symlink("loop-a", dir.path() / "loop-b");
  const SocketFile socket(dir.path() / "socket");
  ASSERT_TRUE(socket.bound());
  struct Case {
    fs::path path;
    std::size_t limit;
    OverLimit overLimit;
    std::optional<FileError> error;  // none when the file is read
    const char* reason;              // part of it
    std::size_t size;
    bool truncated;
  };
  const Case cases[] = {
      {ten, 16, OverLimit::Refuse, std::nullopt, "", 10, false},
      {ten, 10, OverLimit::Refuse, std::nullopt, "", 10, false},
      {ten, 4, OverLimit::Cut, std::nullopt, "", 4, true},
      {ten, 4, OverLimit::Refuse, FileError::TooLarge, "larger than 4 bytes", 0, false},
      {empty, 16, OverLimit::Refuse, std::nullopt, "", 0, false},
      {"/dev/zero", 100000, OverLimit::Cut, std::nullopt, "", 100000, true},
      {"/dev/zero", 100000, OverLimit::Refuse, FileError::TooLarge, "larger than 100000 bytes", 0, false},
      {dir.path(), 16, OverLimit::Cut, FileError::OpenFailed, "is a directory", 0, false},
      {dir.path() / "fifo", 16, OverLimit::Cut, FileError::OpenFailed, "is a FIFO", 0, false},
      {dir.path() / "socket", 16, OverLimit::Cut, FileError::OpenFailed, "is a socket", 0, false},
      {dir.path() / "missing", 16, OverLimit::Cut, FileError::OpenFailed, "No such file or directory", 0,
       false},
      {dir.path() / "loop-a", 16, OverLimit::Cut, FileError::OpenFailed, "Too many levels of symbolic links",
       0, false},
      {"/proc/self/mem", 16, OverLimit::Cut, FileError::ReadFailed, "Input/output error", 0, false},
  };
  for (const Case& c : cases) {
    const InputFile file = ReadInputFile(c.path, c.limit, c.overLimit);
    const std::optional<FileError> error = file.ok() ? std::nullopt : std::optional(file.error().kind);
    EXPECT_EQ(error, c.error) << c.path << ": " << file.message();
    EXPECT_NE(file.message().find(c.reason), std::string::npos) << c.path << ": " << file.message();
    EXPECT_EQ(file.ok() ? file->bytes.size() : 0, c.size) << c.path;
    EXPECT_EQ(file.ok() && file->truncated, c.truncated) << c.path;
  }
  const InputFile read = ReadInputFile(ten, 16);
  EXPECT_EQ(std::string(read->bytes.begin(), read->bytes.end()), "0123456789");
}

TEST(ReadInputFile, AFileWithoutReadPermissionSaysSo) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const TempDir dir;
  const fs::path secret = dir.Write("secret", "x");
  fs::permissions(secret, fs::perms::none);
  const InputFile file = ReadInputFile(secret, 16);
  EXPECT_TRUE(FailedWith(file, FileError::OpenFailed));
  EXPECT_EQ(file.message(), "Permission denied");
}

TEST(OutputFiles, RefusedBeforeAndAtTheWriteWithTheReasonLeavingNothing) {
  const TempDir dir;
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  const SocketFile socket(dir.path() / "socket");
  fs::create_directory(dir.path() / "folder");
  fs::create_symlink("folder", dir.path() / "link-to-folder");
  struct Case {
    fs::path path;
    const char* reason;
  };
  const Case cases[] = {
      {dir.path() / "no" / "such" / "out.png", "No such file or directory"},
      {dir.path() / "folder", "is a directory, not a file"},
      {dir.path() / "link-to-folder", "is a directory, not a file"},
      {dir.path() / "fifo", "is a FIFO, not a file"},
      {dir.path() / "socket", "is a socket, not a file"},
      {"/dev/null", "is a device, not a file"},
  };
  const std::uint8_t bytes[] = {1, 2, 3};
  for (const Case& c : cases) {
    EXPECT_EQ(CheckOutputPath(c.path).message(), c.reason) << c.path;
    EXPECT_EQ(WriteFileAtomically(c.path, bytes).message(), c.reason) << c.path;
  }
  EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo")) << "the FIFO is still there";
  EXPECT_TRUE(fs::is_empty(dir.path() / "folder"));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 4u) << "no temporary file is left";
}

TEST(OutputFiles, ReplaceTheFileWholeThroughLinksKeepingItsPermissions) {
  const TempDir dir;
  const fs::path fresh = dir.path() / "fresh.png";
  EXPECT_EQ(CheckOutputPath(fresh).message(), "");
  EXPECT_FALSE(fs::exists(fresh)) << "checking creates nothing";
  const std::string text = "new contents";
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  EXPECT_EQ(WriteFileAtomically(fresh, bytes).message(), "");
  EXPECT_EQ(Contents(fresh), text);

  const fs::path old = dir.Write("old.png", "old contents, longer than the new");
  fs::permissions(old, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("old.png", dir.path() / "link.png");
  EXPECT_EQ(WriteFileAtomically(dir.path() / "link.png", bytes).message(), "");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.png")) << "the link stays a link";
  EXPECT_EQ(Contents(old), text);
  EXPECT_EQ(fs::status(old).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 3u) << "no temporary file is left";
}

TEST(SameFile, ComparesTheFilesNotTheirNames) {
  const TempDir dir;
  const fs::path a = dir.Write("a", "same bytes");
  const fs::path b = dir.Write("b", "same bytes");
  fs::create_hard_link(a, dir.path() / "hard");
  fs::create_symlink("a", dir.path() / "soft");
  fs::create_directory(dir.path() / "sub");
  EXPECT_TRUE(SameFile(a, dir.path() / "hard"));
  EXPECT_TRUE(SameFile(a, dir.path() / "soft"));
  EXPECT_TRUE(SameFile(a, dir.path() / "sub" / ".." / "a"));
  EXPECT_FALSE(SameFile(a, b));
  EXPECT_FALSE(SameFile(a, dir.path() / "missing"));
  EXPECT_FALSE(SameFile(dir.path() / "missing", dir.path() / "missing"));
}

}  // namespace
}  // namespace pellux
