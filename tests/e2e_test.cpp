// End-to-end: every profile NAME.json in tests/e2e/ and in examples/ is run through vantrace21-sim,
// and its output must equal NAME.expected beside it exactly. The exit status must be 0, or the
// number in NAME.status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kFolders[] = {fs::path(VANTRACE_SOURCE_DIR) / "tests" / "e2e",
                             fs::path(VANTRACE_SOURCE_DIR) / "examples"};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Outcome {
  std::string output;
  int status = -1;
};

Outcome RunSimulator(const fs::path& profile) {
  const std::string command =
      std::string("'") + VANTRACE_SIM_EXECUTABLE + "' '" + profile.string() + "' 2>&1";
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  std::array<char, 4096> chunk{};
  std::size_t n = 0;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
    outcome.output.append(chunk.data(), n);
  const int raw = pclose(pipe);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return outcome;
}

// Every profile, as its path without the ".json".
std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const fs::path& folder : kFolders) {
    if (!fs::is_directory(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() == ".json") {
        names.push_back((folder / entry.path().stem()).string());
      }
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, ReportMatchesExpected) {
  const fs::path profile = GetParam() + ".json";
  const fs::path expected = GetParam() + ".expected";
  ASSERT_TRUE(fs::exists(expected)) << expected << " is missing";
  const fs::path statusFile = GetParam() + ".status";
  const int expectedStatus = fs::exists(statusFile) ? std::stoi(ReadFile(statusFile)) : 0;

  const Outcome outcome = RunSimulator(profile);
  EXPECT_EQ(outcome.output, ReadFile(expected));
  EXPECT_EQ(outcome.status, expectedStatus);
}

INSTANTIATE_TEST_SUITE_P(Profiles, EndToEnd, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           const fs::path path(info.param);
                           std::string name = path.parent_path().filename().string() + "_" +
                                              path.filename().string();
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                               '_');
                           return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(EndToEnd);

}  // namespace
