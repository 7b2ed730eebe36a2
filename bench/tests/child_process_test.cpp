// The benchmark's child processes: exit status, output files, working
// folder, a failed exec, the kill at the deadline, and the resource usage.
#include "bench/child_process.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
const auto kGenerous = std::chrono::seconds(30);

class ChildProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/child-process-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override {
    unlink((folder_ + "/out").c_str());
    unlink((folder_ + "/err").c_str());
    rmdir(folder_.c_str());
  }
  ChildResult Run(const std::vector<std::string>& argv, const std::string& cwd,
                  Clock::duration limit) {
    ChildProcess child;
    std::string error;
    EXPECT_TRUE(child.Start(argv, cwd, folder_ + "/out", folder_ + "/err", &error)) << error;
    return child.Wait(Clock::now() + limit);
  }
  std::string Read(const char* name) {
    std::ifstream file(folder_ + "/" + name);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  std::string folder_;
};

TEST_F(ChildProcessTest, ExitStatusAndBothOutputs) {
  ChildResult result = Run({"sh", "-c", "echo out; echo err >&2; exit 3"}, "", kGenerous);
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.status, 3);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(Read("out"), "out\n");
  EXPECT_EQ(Read("err"), "err\n");
  EXPECT_EQ(DescribeEnd(result), "exit 3");
}

TEST_F(ChildProcessTest, RunsInTheFolderGiven) {
  ChildResult result = Run({"pwd"}, folder_, kGenerous);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out"), folder_ + "\n");
}

TEST_F(ChildProcessTest, ProgramThatCannotBeRunEnds127) {
  ChildResult result = Run({"/nonexistent/program"}, "", kGenerous);
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.status, 127);
  EXPECT_EQ(Read("err"), "exec failed\n");
}

TEST_F(ChildProcessTest, KilledAtTheDeadline) {
  ChildResult result = Run({"sleep", "60"}, "", std::chrono::milliseconds(50));
  EXPECT_FALSE(result.exited);
  EXPECT_EQ(result.status, 9);
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(DescribeEnd(result), "signal 9 (timed out)");
}

TEST_F(ChildProcessTest, ReportsCpuTimeAndPeakMemory) {
  // dd fills its one 64 MiB buffer from /dev/zero 16 times over.
  ChildResult result =
      Run({"dd", "if=/dev/zero", "of=/dev/null", "bs=64M", "count=16"}, "", kGenerous);
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(Read("err").find("1073741824 bytes"), std::string::npos) << Read("err");
  EXPECT_GT(result.cpuSeconds, 0.0);
  EXPECT_GE(result.peakRssKib, 64 * 1024);
}

TEST(ChildProcessStart, UnwritableOutputFails) {
  ChildProcess child;
  std::string error;
  EXPECT_FALSE(child.Start({"true"}, "", "/nonexistent/out", "/nonexistent/err", &error));
  EXPECT_EQ(error, "cannot create /nonexistent/out or /nonexistent/err");
  EXPECT_FALSE(child.running());
}

}  // namespace
}  // namespace bench
