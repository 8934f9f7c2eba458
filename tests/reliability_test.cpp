// The report under faults of the medium, killed runs, concurrent runs and hostile report paths.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "log/report_log.h"
#include "platform/mfc.h"
#include "tests/sim_fixture.h"

namespace {

namespace fs = std::filesystem;
using testing_support::BareProfile;
using testing_support::InstallSimulated;
using testing_support::ReportMessages;
using testing_support::ReportText;

// --- Faults of the medium, on the simulated device ---

TEST(Reliability, NextRunStartsOnItsOwnLineAfterACutLine) {
  sim::DeviceProfile profile = BareProfile();
  profile.files[u"\\Windows\\log_guids.txt"] = {'2', '0', '2', '6', ':', '2'};
  auto& device = InstallSimulated(profile);
  LogMessage(u"next");
  EXPECT_EQ(ReportText(device), "2026:2\nLOG START\n2026:2:1 9:5:7: next\n");
}

TEST(Reliability, FaultsOfTheReportAreCountedAndLeaveWholeLines) {
  using Kind = sim::FileFaults::Kind;
  using Operation = sim::FileFaults::Operation;
  struct Case {
    const char* name;
    Operation operation;
    Kind kind;
    int at;
    bool persistent;
    int linesLost;
  };
  // The bare device's report has 26 lines; the counts below follow from that.
  const Case cases[] = {
      {"first open, no space", Operation::kOpen, Kind::kNoSpace, 1, false, 1},
      {"fifth open, read-only from then on", Operation::kOpen, Kind::kReadOnly, 5, true, 22},
      {"third write, I/O error", Operation::kWrite, Kind::kIoError, 3, false, 1},
      {"third write short", Operation::kWrite, Kind::kShortWrite, 3, false, 1},
      {"every write from the tenth short", Operation::kWrite, Kind::kShortWrite, 10, true, 17},
      {"second close fails", Operation::kClose, Kind::kIoError, 2, false, 1},
  };
  auto& reference = InstallSimulated(BareProfile());
  ASSERT_EQ(AfxWinMain(), 0);
  const std::vector<std::string> all = ReportMessages(reference);
  ASSERT_EQ(all.size(), 27u);  // "LOG START" and 26 lines

  for (const Case& c : cases) {
    sim::DeviceProfile profile = BareProfile();
    profile.faults = {c.kind, c.operation, c.at, c.persistent};
    auto& device = InstallSimulated(profile);
    EXPECT_EQ(AfxWinMain(), 1) << c.name;
    EXPECT_EQ(static_cast<int>(ReportLinesLost()), c.linesLost) << c.name;
    ASSERT_EQ(device.record().messageBoxes.size(), 1u) << c.name;
    EXPECT_TRUE(device.record().messageBoxes[0].second.starts_with(u"Report incomplete: "))
        << c.name;
    // The last section ran whatever happened to the lines before it.
    EXPECT_EQ(device.record().libraryLoads.size(), 0u);
    const std::string text = ReportText(device);
    // Every line that reached the file whole is a line of the complete report; a short write leaves
    // at most its own cut piece, followed by the next line.
    std::istringstream lines(text);
    std::string line;
    int foreign = 0;
    while (std::getline(lines, line)) {
      std::string message = line;
      const auto stamp = message.find(": ");
      if (message != "LOG START" && stamp != std::string::npos) message.erase(0, stamp + 2);
      if (std::find(all.begin(), all.end(), message) == all.end()) ++foreign;
    }
    EXPECT_LE(foreign, c.kind == Kind::kShortWrite ? c.linesLost : 0) << c.name;
  }
}

// --- Real runs on this machine ---

class HostRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vantrace-runs-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    executable_ = folder_ / "vantrace21";
    fs::copy_file(VANTRACE_HOST_EXECUTABLE, executable_);
    report_ = folder_ / "log_guids.txt";
  }
  void TearDown() override { fs::remove_all(folder_); }

  pid_t Start() const {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::execl(executable_.c_str(), executable_.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Report() const {
    std::ifstream in(report_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path folder_;
  fs::path executable_;
  fs::path report_;
};

const std::regex kLine(R"(LOG START|\d+:\d+:\d+ \d+:\d+:\d+: [^\n]*)");

TEST_F(HostRuns, ReportIsCreatedForItsOwnerOnly) {
  ASSERT_EQ(Wait(Start()), 0);
  struct stat st {};
  ASSERT_EQ(::stat(report_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(HostRuns, ReportPathThatIsNoRegularFileIsRefused) {
  const fs::path target = folder_ / "elsewhere.txt";
  { std::ofstream(target) << "untouched\n"; }
  struct Case {
    const char* name;
    void (*plant)(const fs::path& report, const fs::path& target);
  };
  const Case cases[] = {
      {"symbolic link", [](const fs::path& r, const fs::path& t) { fs::create_symlink(t, r); }},
      {"dangling link",
       [](const fs::path& r, const fs::path& t) { fs::create_symlink(t.string() + ".new", r); }},
      {"folder", [](const fs::path& r, const fs::path&) { fs::create_directory(r); }},
      {"fifo", [](const fs::path& r, const fs::path&) { ::mkfifo(r.c_str(), 0600); }},
  };
  for (const Case& c : cases) {
    fs::remove_all(report_);
    c.plant(report_, target);
    EXPECT_EQ(Wait(Start()), 1) << c.name;
    EXPECT_FALSE(fs::exists(target.string() + ".new")) << c.name;
  }
  std::ifstream in(target);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "untouched\n");
}

TEST_F(HostRuns, ConcurrentRunsNeverMixTheirLines) {
  for (int round = 0; round < 5; ++round) {
    const pid_t a = Start();
    const pid_t b = Start();
    EXPECT_EQ(Wait(a), 0);
    EXPECT_EQ(Wait(b), 0);
  }
  const std::string text = Report();
  ASSERT_FALSE(text.empty());
  ASSERT_EQ(text.back(), '\n');
  std::istringstream lines(text);
  std::string line;
  int starts = 0;
  while (std::getline(lines, line)) {
    EXPECT_TRUE(std::regex_match(line, kLine)) << line;
    if (line == "LOG START") ++starts;
  }
  EXPECT_EQ(starts, 10);
}

// Kills real runs at many moments spread over a run's length: what reached the file is whole lines,
// at most one cut line at its end, and the next run begins on a line of its own.
TEST_F(HostRuns, KilledRunsLeaveWholeLinesAndAtMostOneCutLine) {
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(Wait(Start()), 0);
  // The moments cover the whole of a quick run, and the first 300 ms of a slow one.
  const auto length = std::min<std::chrono::steady_clock::duration>(
      std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(300));
  constexpr int kMoments = 120;

  std::size_t before = Report().size();
  for (int k = 0; k < kMoments; ++k) {
    const pid_t pid = Start();
    std::this_thread::sleep_for(length * k / kMoments);
    ::kill(pid, SIGKILL);
    Wait(pid);
    const std::string text = Report();
    ASSERT_GE(text.size(), before);
    std::string added = text.substr(before);
    // A cut line left by the run before is closed by this run's first write.
    if (!added.empty() && added.front() == '\n' && before > 0 && text[before - 1] != '\n') {
      added.erase(0, 1);
    }
    std::size_t start = 0;
    while (start < added.size()) {
      const std::size_t end = added.find('\n', start);
      const std::string line = added.substr(start, end == std::string::npos ? end : end - start);
      if (end == std::string::npos) {
        // The one cut line: the beginning of a line, at the very end of the file.
        EXPECT_TRUE(std::regex_match(line, std::regex(R"([LOG STAR\d: ]*.*)"))) << line;
        break;
      }
      EXPECT_TRUE(std::regex_match(line, kLine)) << "moment " << k << ": " << line;
      start = end + 1;
    }
    before = text.size();
  }
  // Every run's marker begins a line.
  const std::string text = Report();
  for (std::size_t at = text.find("LOG START"); at != std::string::npos;
       at = text.find("LOG START", at + 1)) {
    EXPECT_TRUE(at == 0 || text[at - 1] == '\n') << at;
  }
}

}  // namespace
