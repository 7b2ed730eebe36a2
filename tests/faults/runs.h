// The programs under test as the fault tests start them: the stand-in on a
// free (or a given) port, vantilo in the current folder (whose SimConnect.cfg
// the test writes), both from the build tree; and the checks every run of
// vantilo must pass however its host failed.
#ifndef VANTILO_TESTS_FAULTS_RUNS_H
#define VANTILO_TESTS_FAULTS_RUNS_H

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace faults {

// Options for children whose memory a test measures: the sanitizers'
// quarantine of freed blocks would otherwise grow the resident size by
// design. Without a sanitizer the variable is ignored.
extern const char kSmallQuarantine[];

class Standin {
 public:
  // Starts vantilo-standin --no-live --port PORT plus the arguments and waits
  // for its "listening on" line; port() is 0 when it did not come.
  explicit Standin(const std::vector<std::string>& arguments, int port = 0,
                   const std::vector<std::string>& extraEnv = {});
  int port() const { return port_; }
  ChildProcess& process() { return process_; }

 private:
  ChildProcess process_;
  int port_ = 0;
};

// vantilo, started in the current directory.
std::unique_ptr<ChildProcess> StartProgram(const std::vector<std::string>& extraEnv = {});

// Expects that vantilo ends (15 s safety bound) with status 0, that its
// standard output holds the banner and the connection report naming the
// host, and that neither output holds a sanitizer report.
void ExpectCleanProgramEnd(ChildProcess& program, const std::string& hostName);

// Expects no sanitizer report in the child's output.
void ExpectNoSanitizerReport(ChildProcess& child, const std::string& who);

}  // namespace faults

#endif
