#include "tests/link_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/test_paths.h"

namespace pellux::test {

std::filesystem::path LinkDataDir() { return std::filesystem::path(test::kTestDataDir) / "link"; }

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> LinkDataFile(const std::string& name) {
  return ReadWholeFile(LinkDataDir() / name);
}

std::vector<std::string> LinkVariableFileNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(LinkDataDir())) {
    const std::string extension = entry.path().extension().string();
    if (extension.size() >= 4 && extension.starts_with(".9x") && extension != ".9xu" && extension != ".9xk") {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::filesystem::path> PedromDir() {
  const std::filesystem::path dir =
      std::filesystem::path(test::kTestDataDir).parent_path().parent_path().parent_path() / "shared" /
      "pedrom";
  std::error_code error;
  if (!std::filesystem::is_regular_file(dir / "pedrom-ti92p.rom", error) ||
      !std::filesystem::is_regular_file(dir / "PedroM-9x.tib", error)) {
    return std::nullopt;
  }
  return dir;
}

void ExpectSameVariables(const std::vector<Variable>& a, const std::vector<Variable>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(a[i].folder + "\\" + a[i].name);
    EXPECT_EQ(a[i].folder, b[i].folder);
    EXPECT_EQ(a[i].name, b[i].name);
    EXPECT_EQ(a[i].type, b[i].type);
    EXPECT_EQ(a[i].attribute, b[i].attribute);
    EXPECT_EQ(a[i].data, b[i].data);
  }
}

}  // namespace pellux::test
