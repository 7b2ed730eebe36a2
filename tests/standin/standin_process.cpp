// Child process and socket plumbing for the stand-in's tests. Every wait is
// bounded, so a misbehaving stand-in fails a test instead of hanging it.
#include "standin_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace standin_test {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Reads a line from fd within timeoutMs; empty on timeout or end.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char c = 0;
  while (MillisecondsLeft(deadline) > 0) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, MillisecondsLeft(deadline)) <= 0) {
      break;
    }
    if (read(fd, &c, 1) != 1) {
      break;
    }
    if (c == '\n') {
      return line;
    }
    line += c;
  }
  return "";
}

}  // namespace

void Add32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

void AddFloat(Bytes& out, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  Add32(out, bits);
}

void AddText(Bytes& out, const std::string& text) {
  Bytes field(256, 0);
  std::memcpy(field.data(), text.data(), text.size() < 255 ? text.size() : 255);
  out.insert(out.end(), field.begin(), field.end());
}

Bytes MakePacket(std::uint32_t function, std::uint32_t sendId, const Bytes& body,
                 std::uint32_t protocol) {
  Bytes out;
  Add32(out, static_cast<std::uint32_t>(16 + body.size()));
  Add32(out, protocol);
  Add32(out, 0xF0000000u | function);
  Add32(out, sendId);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes OpenPacket(std::uint32_t protocol, std::uint32_t sendId) {
  Bytes body;
  AddText(body, "Vantilo");
  Add32(body, 0);
  Add32(body, 0x46535800);  // bytes 00 58 53 46: NUL 'X' 'S' 'F'
  Add32(body, 0);
  Add32(body, 0);
  Add32(body, 60905);
  Add32(body, 0);
  return MakePacket(0x01, sendId, body, protocol);
}

std::uint32_t Read32(const Bytes& record, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | record.at(offset + static_cast<std::size_t>(i));
  }
  return value;
}

double ReadDouble(const Bytes& record, std::size_t offset) {
  std::uint64_t bits = Read32(record, offset) | std::uint64_t{Read32(record, offset + 4)} << 32;
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

// Removes the temporary files and their folders when the test program ends.
struct TempFiles {
  std::vector<std::string> paths;
  ~TempFiles() {
    for (const std::string& path : paths) {
      unlink(path.c_str());
      rmdir(path.substr(0, path.rfind('/')).c_str());
    }
  }
};

std::string TempFile(const std::string& name, const std::string& text) {
  static TempFiles made;
  char folder[] = "/tmp/standin-test-XXXXXX";
  std::string path = std::string(mkdtemp(folder)) + "/" + name;
  made.paths.push_back(path);
  std::FILE* file = std::fopen(path.c_str(), "w");
  std::fputs(text.c_str(), file);
  std::fclose(file);
  return path;
}

StandinProcess::StandinProcess(const std::vector<std::string>& arguments) {
  int out[2];
  int err[2];
  if (pipe(out) != 0 || pipe(err) != 0) {
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]);
    close(err[0]);
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    std::vector<std::string> all = {STANDIN_BINARY, "--port", "0", "--no-live"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
      argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  stdoutFd_ = out[0];
  std::string line = ReadLine(err[0], 5000);
  close(err[0]);  // later stderr text is not needed
  const char prefix[] = "listening on 127.0.0.1:";
  if (line.rfind(prefix, 0) == 0) {
    port_ = std::atoi(line.c_str() + sizeof prefix - 1);
  }
}

StandinProcess::~StandinProcess() {
  if (pid_ > 0 && WaitForExit(0) == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (stdoutFd_ >= 0) {
    close(stdoutFd_);
  }
}

int StandinProcess::WaitForExit(int timeoutMs) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    Output();  // keep the pipe drained so the child never blocks on it
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      Output();
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (done < 0) {
      return -1;
    }
    usleep(10000);
  } while (MillisecondsLeft(deadline) > 0);
  return -1;
}

std::string StandinProcess::Output() {
  char chunk[4096];
  pollfd p{stdoutFd_, POLLIN, 0};
  while (stdoutFd_ >= 0 && poll(&p, 1, 0) > 0) {
    ssize_t got = read(stdoutFd_, chunk, sizeof chunk);
    if (got <= 0) {
      break;
    }
    output_.append(chunk, static_cast<std::size_t>(got));
  }
  return output_;
}

RawClient::RawClient(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &where.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0) {
    fd_ = fd;
  } else {
    close(fd);
  }
}

RawClient::~RawClient() {
  if (fd_ >= 0) {
    close(fd_);
  }
}

void RawClient::Send(const Bytes& bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    ssize_t sent = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) {
      return;
    }
    done += static_cast<std::size_t>(sent);
  }
}

bool RawClient::Fill(std::size_t wanted, int timeoutMs) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::uint8_t chunk[4096];
  while (buffer_.size() < wanted) {
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || poll(&p, 1, MillisecondsLeft(deadline)) <= 0) {
      return false;
    }
    ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) {
      return false;
    }
    buffer_.insert(buffer_.end(), chunk, chunk + got);
  }
  return true;
}

Bytes RawClient::NextRecord(int timeoutMs) {
  if (!Fill(4, timeoutMs)) {
    return {};
  }
  std::size_t size = Read32(buffer_, 0);
  if (size < 12 || !Fill(size, timeoutMs)) {
    return {};
  }
  Bytes record(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(size));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(size));
  return record;
}

Bytes RawClient::RecordWhere(const std::function<bool(const Bytes&)>& wanted, int timeoutMs) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    Bytes record = NextRecord(MillisecondsLeft(deadline));
    if (record.empty() || wanted(record)) {
      return record;
    }
  }
}

bool RawClient::ClosedByPeer(int timeoutMs) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (MillisecondsLeft(deadline) > 0) {
    buffer_.clear();
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, MillisecondsLeft(deadline)) <= 0) {
      return false;
    }
    std::uint8_t chunk[4096];
    if (recv(fd_, chunk, sizeof chunk, 0) <= 0) {
      return true;
    }
  }
  return false;
}

Bytes RawClient::Open() {
  Send(OpenPacket(2));
  return NextRecord();
}

}  // namespace standin_test
