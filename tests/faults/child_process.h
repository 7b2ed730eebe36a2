// The programs under test (vantilo, vantilo-standin) run as child processes
// for the fault tests: standard output and error captured in full in files
// (a pipe nobody drains would block a chatty child), every wait bounded,
// signals sent to the child's own id, descriptors and memory read from /proc.
#ifndef VANTILO_TESTS_FAULTS_CHILD_PROCESS_H
#define VANTILO_TESTS_FAULTS_CHILD_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace faults {

class ChildProcess {
 public:
  // Starts argv[0] with the arguments in the current directory; extraEnv
  // entries ("NAME=value") are added to (or replace) the environment.
  explicit ChildProcess(const std::vector<std::string>& argv,
                        const std::vector<std::string>& extraEnv = {});
  ~ChildProcess();  // kills a child that still runs, and reaps it
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Waits at most timeoutMs for the exit: the exit status, 128 + signal when
  // a signal ended it, or -1 if it still runs.
  int WaitForExit(int timeoutMs);
  void Signal(int signal);
  // Waits at most timeoutMs until standard error holds text.
  bool WaitForStderr(const std::string& text, int timeoutMs);
  // Everything written so far (all of it once the child has exited).
  std::string Stdout() const;
  std::string Stderr() const;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string outPath_;
  std::string errPath_;
};

// Resident memory (VmRSS) of a running process in KiB, or -1.
long ResidentKiB(pid_t pid);
// Open descriptors (entries of /proc/PID/fd) of a running process, or -1.
int OpenDescriptors(pid_t pid);
// The first line of an AddressSanitizer, LeakSanitizer or UBSan report in
// text, or empty when there is none.
std::string SanitizerReport(const std::string& text);

}  // namespace faults

#endif
