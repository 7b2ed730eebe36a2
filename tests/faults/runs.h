// vantilo as the fault tests start it: from the build tree, in the current
// folder (whose SimConnect.cfg the test writes); and the checks every run of
// vantilo or the stand-in must pass however its host or clients failed.
#ifndef VANTILO_TESTS_FAULTS_RUNS_H
#define VANTILO_TESTS_FAULTS_RUNS_H

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace faults {

// Options for children whose memory a test measures: the sanitizers'
// quarantine of freed blocks would otherwise grow the resident size by
// design. Without a sanitizer the variable is ignored.
extern const char kSmallQuarantine[];

// vantilo, started in the current directory; with outputPipe its standard
// output is a pipe (see ChildProcess::CloseOutputPipe).
std::unique_ptr<support::ChildProcess> StartProgram(const std::vector<std::string>& extraEnv = {},
                                                    bool outputPipe = false);

// Expects that vantilo ends (15 s safety bound) with status 0, that its
// standard output holds the banner and the connection report naming the
// host (every host in these tests reports as the stand-in), and that
// neither output holds a sanitizer report.
void ExpectCleanProgramEnd(support::ChildProcess& program);

// Expects no sanitizer report in the child's output.
void ExpectNoSanitizerReport(support::ChildProcess& child, const std::string& who);

}  // namespace faults

#endif
