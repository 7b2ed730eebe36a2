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

// For children whose memory a test measures: the sanitizers' quarantine of
// freed blocks would otherwise grow the resident size by design.
extern const char kSmallQuarantine[];

// vantilo, started in the current directory; with outputPipe its standard
// output is a pipe (see ChildProcess::CloseOutputPipe).
std::unique_ptr<support::ChildProcess> StartProgram(const std::vector<std::string>& extraEnv = {},
                                                    bool outputPipe = false);

// Expects that vantilo ends (15 s safety bound) with status 0, its standard
// output holding the banner and the report of a connection to the stand-in
// (as every host here reports), and no sanitizer report in either output.
void ExpectCleanProgramEnd(support::ChildProcess& program);

void ExpectNoSanitizerReport(support::ChildProcess& child, const std::string& who);

}  // namespace faults

#endif
