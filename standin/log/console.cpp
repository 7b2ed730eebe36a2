// A standard output that does not block: on Linux, opening /proc/self/fd/1
// gives a pipe or terminal a new open file description, whose O_NONBLOCK
// no other process shares. A regular file is not reopened: the new
// description would write from its start, not where the shell's left off.
#include "standin/log/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace standin {

namespace {

// What may wait for the output: a few redraws of the live view, a few
// hundred log lines.
const std::size_t kMostPending = 64 * 1024;

}  // namespace

Console::~Console() {
  if (own_) {
    close(fd_);
  }
}

void Console::Begin() {
  struct stat info;
  if (fstat(STDOUT_FILENO, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))) {
    return;
  }
  const int fd = open("/proc/self/fd/1", O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd >= 0) {
    fd_ = fd;
    own_ = true;
  }
}

bool Console::Write(const std::string& text) {
  if (pending_.size() + text.size() > kMostPending) {
    Flush();
    if (pending_.size() + text.size() > kMostPending) {
      return false;
    }
  }
  pending_ += text;
  Flush();
  return true;
}

void Console::Flush() {
  std::size_t done = 0;
  while (done < pending_.size()) {
    const ssize_t wrote = write(fd_, pending_.data() + done, pending_.size() - done);
    if (wrote > 0) {
      done += static_cast<std::size_t>(wrote);
    } else if (wrote < 0 && errno == EINTR) {
      continue;
    } else if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      done = pending_.size();  // the reader has gone: nothing will be taken
    }
  }
  pending_.erase(0, done);
}

void Console::Finish(const std::string& text, std::chrono::milliseconds bound) {
  pending_ += text;
  const auto deadline = std::chrono::steady_clock::now() + bound;
  Flush();
  while (!pending_.empty()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd entry = {fd_, POLLOUT, 0};
    if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    Flush();
  }
  pending_.clear();
}

}  // namespace standin
