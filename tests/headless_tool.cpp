#include "tests/headless_tool.h"

#include <cstdio>
#include <cstdlib>

#include "tools/headless_cli.h"

namespace pellux::test {

namespace {

// The text a stream opened by open_memstream collected.
class MemoryStream {
 public:
  MemoryStream() : file_(open_memstream(&text_, &size_)) {}
  ~MemoryStream() {
    if (file_) std::fclose(file_);
    std::free(text_);
  }
  std::FILE* file() const { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(text_, size_);
  }

 private:
  char* text_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

}  // namespace

ToolOutcome RunHeadlessTool(const std::vector<std::string>& args) {
  MemoryStream out, err;
  const int status = RunHeadless(args, out.file(), err.file());
  return {status, out.Text(), err.Text()};
}

}  // namespace pellux::test
