// The child processes the benchmarks run: exit status, output files,
// working folder, a failed exec, the kill at the deadline, and the resource
// usage.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include "tests/support/files.h"

namespace support {
namespace {

const auto kGenerous = std::chrono::seconds(30);

class ChildProcessTest : public ::testing::Test {
 protected:
  ChildResult Run(const std::vector<std::string>& argv, const std::string& cwd,
                  Clock::duration limit) {
    ChildProcess child;
    ChildOptions options;
    options.folder = cwd;
    options.outPath = folder_.File("out");
    options.errPath = folder_.File("err");
    EXPECT_TRUE(child.Start(argv, options)) << child.error();
    return child.WaitOrKill(Clock::now() + limit);
  }
  std::string Read(const char* name) { return FileText(folder_.File(name)); }
  TempFolder folder_;
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
  ChildResult result = Run({"pwd"}, folder_.path(), kGenerous);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out"), folder_.path() + "\n");
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
  ChildOptions options;
  options.outPath = "/nonexistent/out";
  options.errPath = "/nonexistent/err";
  EXPECT_FALSE(child.Start({"true"}, options));
  EXPECT_EQ(child.error(), "cannot create /nonexistent/out or /nonexistent/err");
  EXPECT_FALSE(child.running());
}

}  // namespace
}  // namespace support
