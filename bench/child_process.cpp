// fork and exec with redirected output; wait4 polled every few milliseconds
// so that a deadline can be kept without threads or signal handlers.
#include "bench/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace bench {

namespace {

const auto kPollEvery = std::chrono::milliseconds(5);

double Seconds(const timeval& value) {
  return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(const std::vector<char*>& args, const char* cwd, int out, int err) {
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  int devNull = open("/dev/null", O_RDONLY);
  if (devNull >= 0) {
    dup2(devNull, STDIN_FILENO);
  }
  if (cwd[0] != '\0' && chdir(cwd) != 0) {
    _exit(126);
  }
  execvp(args[0], args.data());
  const char message[] = "exec failed\n";
  ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
  (void)ignored;
  _exit(127);
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    Wait(std::chrono::steady_clock::now());
  }
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& cwd,
                         const std::string& outPath, const std::string& errPath,
                         std::string* error) {
  int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0 || err < 0 || argv.empty()) {
    *error = "cannot create " + outPath + " or " + errPath;
    if (out >= 0) {
      close(out);
    }
    if (err >= 0) {
      close(err);
    }
    return false;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    ExecChild(args, cwd.c_str(), out, err);
  }
  close(out);
  close(err);
  if (pid_ < 0) {
    *error = std::string("fork failed: ") + std::strerror(errno);
    return false;
  }
  return true;
}

ChildResult ChildProcess::Wait(std::chrono::steady_clock::time_point deadline) {
  ChildResult result;
  if (pid_ <= 0) {
    return result;
  }
  int status = 0;
  rusage usage{};
  while (true) {
    pid_t done = wait4(pid_, &status, WNOHANG, &usage);
    if (done == pid_) {
      break;
    }
    if (done < 0 && errno != EINTR) {
      pid_ = -1;  // not our child any more: nothing to report
      return result;
    }
    if (done == 0 && std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      result.timedOut = true;
      while (wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(kPollEvery);
  }
  pid_ = -1;
  result.exited = WIFEXITED(status);
  result.status = result.exited ? WEXITSTATUS(status) : WTERMSIG(status);
  result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  result.peakRssKib = usage.ru_maxrss;
  return result;
}

std::string DescribeEnd(const ChildResult& result) {
  std::string text = (result.exited ? "exit " : "signal ") + std::to_string(result.status);
  return result.timedOut ? text + " (timed out)" : text;
}

}  // namespace bench
