// A child process for the benchmarks: started with its output in files,
// waited for with a deadline (then killed), and measured: CPU time (user +
// system) and peak resident memory, from wait4's resource usage.
#ifndef VANTILO_BENCH_CHILD_PROCESS_H
#define VANTILO_BENCH_CHILD_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace bench {

struct ChildResult {
  bool exited = false;    // ended by exit (else by a signal)
  int status = -1;        // exit status, or the signal's number
  bool timedOut = false;  // killed at the deadline
  double cpuSeconds = 0.0;
  long peakRssKib = 0;
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Kills a child still running and reaps it.
  ~ChildProcess();

  // Runs argv (argv[0] searched in PATH) in folder cwd (empty: this one),
  // standard output and error to the files named (created or truncated).
  bool Start(const std::vector<std::string>& argv, const std::string& cwd,
             const std::string& outPath, const std::string& errPath, std::string* error);
  // Waits for the child to end; at the deadline kills it with SIGKILL.
  ChildResult Wait(std::chrono::steady_clock::time_point deadline);
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// One line describing how the child ended, e.g. "exit 0", "signal 9 (timed out)".
std::string DescribeEnd(const ChildResult& result);

}  // namespace bench

#endif
