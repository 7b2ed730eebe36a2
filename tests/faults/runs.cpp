// Process start-up for the fault tests; binary paths come from the build.
#include "runs.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace faults {

namespace {
const int kStartMs = 10000;
const int kProgramEndMs = 15000;  // a safety bound, not a speed claim
const char kListening[] = "listening on 127.0.0.1:";

std::vector<std::string> StandinCommand(const std::vector<std::string>& arguments, int port) {
  std::vector<std::string> all = {STANDIN_BINARY, "--no-live", "--port", std::to_string(port)};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return all;
}

}  // namespace

const char kSmallQuarantine[] = "ASAN_OPTIONS=quarantine_size_mb=1";

Standin::Standin(const std::vector<std::string>& arguments, int port,
                 const std::vector<std::string>& extraEnv)
    : process_(StandinCommand(arguments, port), extraEnv) {
  if (!process_.WaitForStderr("\n", kStartMs)) {
    return;
  }
  const std::string text = process_.Stderr();
  std::size_t at = text.find(kListening);
  if (at != std::string::npos) {
    port_ = std::atoi(text.c_str() + at + sizeof kListening - 1);
  }
}

std::unique_ptr<ChildProcess> StartProgram(const std::vector<std::string>& extraEnv) {
  return std::make_unique<ChildProcess>(std::vector<std::string>{VANTILO_BINARY}, extraEnv);
}

void ExpectNoSanitizerReport(ChildProcess& child, const std::string& who) {
  EXPECT_EQ(SanitizerReport(child.Stderr()), "") << who << " stderr:\n" << child.Stderr();
  EXPECT_EQ(SanitizerReport(child.Stdout()), "") << who << " stdout:\n" << child.Stdout();
}

void ExpectCleanProgramEnd(ChildProcess& program, const std::string& hostName) {
  EXPECT_EQ(program.WaitForExit(kProgramEndMs), 0) << "stderr:\n" << program.Stderr();
  const std::string out = program.Stdout();
  EXPECT_EQ(out.rfind("Welcome to Vantilo ver 1.0\n\n", 0), 0u) << out;
  const std::string connected = "Now connected to " + hostName + " Version 10\n" +
                                "Note - you must be in 'Virtual Cockpit View' to enable.\n\n" +
                                "Vantilo is ready!\n";
  EXPECT_NE(out.find(connected), std::string::npos) << out;
  ExpectNoSanitizerReport(program, "vantilo");
}

}  // namespace faults
