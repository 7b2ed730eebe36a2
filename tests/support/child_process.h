// Child processes for the tests and the benchmarks: output in files (an
// undrained pipe would block a chatty child), every wait bounded, CPU time
// and peak memory from wait4; /proc readers and a sanitizer-report finder.
#ifndef VANTILO_TESTS_SUPPORT_CHILD_PROCESS_H
#define VANTILO_TESTS_SUPPORT_CHILD_PROCESS_H

#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace support {

using Clock = std::chrono::steady_clock;

struct ChildResult {
  bool exited = false;    // ended by exit (else by a signal)
  int status = -1;        // exit status, or the signal's number
  bool timedOut = false;  // killed at the deadline
  double cpuSeconds = 0.0;
  long peakRssKib = 0;
};

struct ChildOptions {
  std::vector<std::string> extraEnv;  // "NAME=value": added to, or replacing, the environment
  std::string folder;                 // working folder; empty: this one
  std::string outPath;                // standard output; empty: a temporary file
  std::string errPath;                // standard error; empty: a temporary file
  // Standard output to a pipe instead, for a child that must lose its reader
  // (see CloseOutputPipe); writing more than it holds (64 KiB) blocks.
  bool outPipe = false;
  int outPipeBytes = 0;  // > 0: the pipe holds only this much (a page at least)
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Kills a child still running and reaps it; removes temporary output files.
  ~ChildProcess();

  // Runs argv (argv[0] searched in PATH) with fresh output files; a failed
  // exec ends it with 127 and "exec failed" on standard error. False (see
  // error()) when the output files cannot be made or fork fails.
  bool Start(const std::vector<std::string>& argv, const ChildOptions& options = {});
  const std::string& error() const { return error_; }
  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0; }

  // Waits until the deadline at most; true once the child has ended.
  bool WaitUntil(Clock::time_point deadline);
  // Waits at most timeoutMs: the exit status, 128 + the signal's number
  // when a signal ended it, or -1 while it runs.
  int WaitForExit(int timeoutMs);
  // Waits for the end; at the deadline kills the child with SIGKILL.
  ChildResult WaitOrKill(Clock::time_point deadline);
  void Signal(int signal) {
    if (pid_ > 0) {
      kill(pid_, signal);
    }
  }

  // With outPipe: takes what is written so far (Stdout() from then on) and
  // closes the read end, as `vantilo | head -c 10` does: no reader is left.
  void CloseOutputPipe();

  // Everything written so far (all of it once the child has exited).
  std::string Stdout() const { return outPiped_ ? outTaken_ : FileText(outPath_); }
  std::string Stderr() const { return FileText(errPath_); }

 protected:
  std::string error_;

 private:
  void Reaped(int status, const rusage& usage);

  pid_t pid_ = -1;
  bool ended_ = false;
  ChildResult result_;
  std::string outPath_;
  std::string errPath_;
  int outReader_ = -1;    // the output pipe's read end, while open
  std::string outTaken_;  // what CloseOutputPipe took from it
  bool outPiped_ = false;
  std::vector<std::string> temporary_;  // output files to remove
};

// One line describing how the child ended, e.g. "exit 0", "signal 9 (timed out)".
inline std::string DescribeEnd(const ChildResult& result) {
  std::string text = (result.exited ? "exit " : "signal ") + std::to_string(result.status);
  return result.timedOut ? text + " (timed out)" : text;
}

// Resident memory (VmRSS) of a running process in KiB, or -1.
long ResidentKiB(pid_t pid);
// Open descriptors (entries of /proc/PID/fd) of a running process, or -1.
int OpenDescriptors(pid_t pid);
// CPU time (user and system) a running process has used so far, or -1.
double CpuSeconds(pid_t pid);
// The first line of an AddressSanitizer, LeakSanitizer or UBSan report; empty if none.
std::string SanitizerReport(const std::string& text);

}  // namespace support

#endif
