// Child processes over fork/exec, their output going to two temporary files
// that the test reads whenever it looks. Every descriptor the test holds is
// close-on-exec, so children never inherit each other's files or the test's
// sockets.
#include "child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace faults {

namespace {

using Clock = std::chrono::steady_clock;

// The parent's environment with extraEnv's names replaced or added.
std::vector<std::string> Environment(const std::vector<std::string>& extraEnv) {
  std::vector<std::string> all;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    bool replaced = false;
    for (const std::string& extra : extraEnv) {
      const std::string name = extra.substr(0, extra.find('=') + 1);  // "NAME="
      replaced = replaced || text.rfind(name, 0) == 0;
    }
    if (!replaced) {
      all.push_back(text);
    }
  }
  all.insert(all.end(), extraEnv.begin(), extraEnv.end());
  return all;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) {
    pointers.push_back(&text[0]);
  }
  pointers.push_back(nullptr);
  return pointers;
}

// A fresh empty file for an output; its path in *path, or -1.
int OutputFile(std::string* path) {
  char pattern[] = "/tmp/vantilo-fault-output-XXXXXX";
  int fd = mkostemp(pattern, O_CLOEXEC);
  if (fd >= 0) {
    *path = pattern;
  }
  return fd;
}

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnv) {
  int out = OutputFile(&outPath_);
  int err = OutputFile(&errPath_);
  // Everything the child needs is built before fork: only exec-safe calls after.
  std::vector<std::string> arguments = argv;
  std::vector<std::string> environment = Environment(extraEnv);
  std::vector<char*> argp = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  if (out >= 0 && err >= 0) {
    pid_ = fork();
  }
  if (pid_ == 0) {
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execve(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  if (out >= 0) {
    close(out);
  }
  if (err >= 0) {
    close(err);
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (!outPath_.empty()) {
    unlink(outPath_.c_str());
  }
  if (!errPath_.empty()) {
    unlink(errPath_.c_str());
  }
}

int ChildProcess::WaitForExit(int timeoutMs) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (pid_ > 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (Clock::now() >= deadline) {
      return -1;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return status_;
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) {
    kill(pid_, signal);
  }
}

bool ChildProcess::WaitForStderr(const std::string& text, int timeoutMs) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Stderr().find(text) == std::string::npos) {
    if (Clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string ChildProcess::Stdout() const { return FileText(outPath_); }

std::string ChildProcess::Stderr() const { return FileText(errPath_); }

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string word;
  while (status >> word) {
    if (word == "VmRSS:") {
      long kib = -1;
      status >> kib;
      return kib;
    }
  }
  return -1;
}

int OpenDescriptors(pid_t pid) {
  DIR* folder = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (folder == nullptr) {
    return -1;
  }
  int count = 0;
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] != '.') {
      ++count;
    }
  }
  closedir(folder);
  return count;
}

std::string SanitizerReport(const std::string& text) {
  for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
    std::size_t at = text.find(marker);
    if (at != std::string::npos) {
      std::size_t start = text.rfind('\n', at);
      start = start == std::string::npos ? 0 : start + 1;
      return text.substr(start, text.find('\n', at) - start);
    }
  }
  return "";
}

}  // namespace faults
