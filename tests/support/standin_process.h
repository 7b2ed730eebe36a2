// The built programs' paths, and the stand-in as a child process on a free
// (or given) port, read from its "listening on" line.
#ifndef VANTILO_TESTS_SUPPORT_STANDIN_PROCESS_H
#define VANTILO_TESTS_SUPPORT_STANDIN_PROCESS_H

#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace support {

extern const char kStandinBinary[];
extern const char kVantiloBinary[];

struct StandinOptions {
  int port = 0;         // 0: a free port the system picks
  bool trace = false;   // --trace to a fresh temporary file, named by trace()
  std::string latency;  // --latency to this file when not empty
  std::string binary = kStandinBinary;
  int maxDescriptors = 0;  // > 0: started under prlimit with this RLIMIT_NOFILE
  ChildOptions child;      // environment, working folder, output files
};

class StandinProcess : public ChildProcess {
 public:
  // Starts the stand-in with --no-live, --port and the options, then the
  // arguments, and waits (at most 10 s) for the line saying where it listens.
  explicit StandinProcess(const std::vector<std::string>& arguments,
                          const StandinOptions& options = {});
  // 0 when the stand-in did not start listening (error() says why).
  int port() const { return port_; }
  const std::string& trace() const { return trace_; }
  const std::string& latency() const { return latency_; }
  // Standard error past the "listening on" line (all of it when there is none).
  std::string StderrAfterListening() const;

 private:
  int port_ = 0;
  std::string trace_;
  std::string latency_;
};

}  // namespace support

#endif
