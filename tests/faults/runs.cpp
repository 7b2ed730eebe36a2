// vantilo's start and the checks on how a child ended, as GoogleTest
// expectations.
#include "runs.h"

#include <gtest/gtest.h>

#include "tests/support/console_text.h"
#include "tests/support/standin_process.h"

namespace faults {

const int kProgramEndMs = 15000;  // a safety bound, not a speed claim

const char kSmallQuarantine[] = "ASAN_OPTIONS=quarantine_size_mb=1";

std::unique_ptr<support::ChildProcess> StartProgram(const std::vector<std::string>& extraEnv,
                                                    bool outputPipe) {
  auto program = std::make_unique<support::ChildProcess>();
  support::ChildOptions options;
  options.extraEnv = extraEnv;
  options.outPipe = outputPipe;
  EXPECT_TRUE(program->Start({support::kVantiloBinary}, options)) << program->error();
  return program;
}

void ExpectNoSanitizerReport(support::ChildProcess& child, const std::string& who) {
  EXPECT_EQ(support::SanitizerReport(child.Stderr()), "") << who << " stderr:\n" << child.Stderr();
  EXPECT_EQ(support::SanitizerReport(child.Stdout()), "") << who << " stdout:\n" << child.Stdout();
}

void ExpectCleanProgramEnd(support::ChildProcess& program) {
  EXPECT_EQ(program.WaitForExit(kProgramEndMs), 0) << "stderr:\n" << program.Stderr();
  const std::string out = program.Stdout();
  EXPECT_EQ(out.rfind(support::ConsoleText("banner"), 0), 0u) << out;
  const std::string connected =
      support::ConsoleText("connected", {{"application", "Vantilo Stand-in"}, {"version", "10"}});
  EXPECT_NE(out.find(connected), std::string::npos) << out;
  ExpectNoSanitizerReport(program, "vantilo");
}

}  // namespace faults
