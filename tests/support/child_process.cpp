// wait4 is polled every few milliseconds: deadlines without threads or
// signal handlers. Every descriptor the parent opens is close-on-exec, so
// children never inherit each other's files or a test's sockets.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/files.h"

extern char** environ;

namespace support {

namespace {

const auto kPollEvery = std::chrono::milliseconds(5);

double Seconds(const timeval& value) {
  return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
}

// The parent's environment with extraEnv's names replaced or added.
std::vector<std::string> Environment(const std::vector<std::string>& extraEnv) {
  std::vector<std::string> all;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    auto sameName = [&](const std::string& extra) {
      return text.rfind(extra.substr(0, extra.find('=') + 1), 0) == 0;  // "NAME=" first
    };
    if (std::none_of(extraEnv.begin(), extraEnv.end(), sameName)) {
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

// Opens the output file at *path, or a fresh temporary one (its name then
// goes to *path and to temporary); -1 on failure.
int OutputFile(std::string* path, std::vector<std::string>* temporary) {
  if (!path->empty()) {
    return open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }
  char pattern[] = "/tmp/vantilo-child-output-XXXXXX";
  int fd = mkostemp(pattern, O_CLOEXEC);
  if (fd >= 0) {
    *path = pattern;
    temporary->push_back(pattern);
  }
  return fd;
}

// Between fork and exec: async-signal-safe calls only. SIGPIPE gets its
// default action, as from a shell, whatever this process does with it.
[[noreturn]] void ExecChild(const std::vector<char*>& args, char** envp, const char* folder,
                            int out, int err) {
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &byDefault, nullptr);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  int devNull = open("/dev/null", O_RDONLY);
  if (devNull >= 0) {
    dup2(devNull, STDIN_FILENO);
  }
  if (folder[0] != '\0' && chdir(folder) != 0) {
    _exit(126);
  }
  environ = envp;
  execvp(args[0], args.data());
  const char message[] = "exec failed\n";
  ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
  (void)ignored;
  _exit(127);
}

}  // namespace

ChildProcess::~ChildProcess() {
  close(outReader_);  // none when CloseOutputPipe has closed it, or there is no pipe
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  for (const std::string& path : temporary_) {
    unlink(path.c_str());
  }
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const ChildOptions& options) {
  outPath_ = options.outPath;
  errPath_ = options.errPath;
  outPiped_ = options.outPipe;
  int out = -1;
  if (outPiped_) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) == 0) {
      outReader_ = ends[0];
      out = ends[1];
      if (options.outPipeBytes > 0) {
        fcntl(out, F_SETPIPE_SZ, options.outPipeBytes);
      }
    }
  } else {
    out = OutputFile(&outPath_, &temporary_);
  }
  int err = OutputFile(&errPath_, &temporary_);
  if (out < 0 || err < 0 || argv.empty()) {
    error_ = "cannot create " + options.outPath + " or " + options.errPath;
    close(out);  // none for -1
    close(err);
    return false;
  }
  // Everything the child needs is built before fork: only exec-safe calls after.
  std::vector<std::string> arguments = argv;
  std::vector<std::string> environment = Environment(options.extraEnv);
  std::vector<char*> argp = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  pid_ = fork();
  if (pid_ == 0) {
    ExecChild(argp, envp.data(), options.folder.c_str(), out, err);
  }
  close(out);
  close(err);
  if (pid_ < 0) {
    error_ = std::string("fork failed: ") + std::strerror(errno);
    return false;
  }
  return true;
}

void ChildProcess::Reaped(int status, const rusage& usage) {
  pid_ = -1;
  ended_ = true;
  result_.exited = WIFEXITED(status);
  result_.status = result_.exited ? WEXITSTATUS(status) : WTERMSIG(status);
  result_.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  result_.peakRssKib = usage.ru_maxrss;
}

bool ChildProcess::WaitUntil(Clock::time_point deadline) {
  while (pid_ > 0) {
    int status = 0;
    rusage usage{};
    pid_t done = wait4(pid_, &status, WNOHANG, &usage);
    if (done == pid_) {
      Reaped(status, usage);
    } else if (done < 0 && errno != EINTR) {
      pid_ = -1;  // not our child any more: nothing to report
    } else if (Clock::now() >= deadline) {
      return false;
    } else {
      std::this_thread::sleep_for(kPollEvery);
    }
  }
  return true;
}

int ChildProcess::WaitForExit(int timeoutMs) {
  if (!WaitUntil(Clock::now() + std::chrono::milliseconds(timeoutMs)) || !ended_) {
    return -1;
  }
  return result_.exited ? result_.status : 128 + result_.status;
}

ChildResult ChildProcess::WaitOrKill(Clock::time_point deadline) {
  if (!WaitUntil(deadline)) {
    kill(pid_, SIGKILL);
    int status = 0;
    rusage usage{};
    while (wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    Reaped(status, usage);
    result_.timedOut = true;
  }
  return result_;
}

void ChildProcess::CloseOutputPipe() {
  if (outReader_ < 0) {
    return;
  }
  fcntl(outReader_, F_SETFL, fcntl(outReader_, F_GETFL) | O_NONBLOCK);
  char buffer[4096];
  for (ssize_t count; (count = read(outReader_, buffer, sizeof buffer)) > 0;) {
    outTaken_.append(buffer, static_cast<std::size_t>(count));
  }
  close(outReader_);
  outReader_ = -1;
}

long ResidentKiB(pid_t pid) {
  const std::string status = FileText("/proc/" + std::to_string(pid) + "/status");
  const std::size_t at = status.find("VmRSS:");
  return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 6);
}

double CpuSeconds(pid_t pid) {
  const std::string text = FileText("/proc/" + std::to_string(pid) + "/stat");
  // Fields after the command's closing parenthesis: state is the 3rd, utime the 14th.
  const std::size_t at = text.rfind(')');
  if (at == std::string::npos) {
    return -1.0;
  }
  std::istringstream fields(text.substr(at + 2));
  std::string field;
  long ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) {
      ticks += std::atol(field.c_str());
    }
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int OpenDescriptors(pid_t pid) {
  std::error_code error;
  std::filesystem::directory_iterator entries("/proc/" + std::to_string(pid) + "/fd", error);
  return error ? -1 : static_cast<int>(std::distance(entries, {}));
}

std::string SanitizerReport(const std::string& text) {
  for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
    const std::size_t at = text.find(marker);
    if (at != std::string::npos) {
      const std::size_t start = text.rfind('\n', at) + 1;  // 0 with no line before: npos + 1
      return text.substr(start, text.find('\n', at) - start);
    }
  }
  return "";
}

}  // namespace support
