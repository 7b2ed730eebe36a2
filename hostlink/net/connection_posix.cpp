// The connection's socket calls over POSIX sockets. The socket is
// non-blocking from the start: connect waits in poll() with a deadline,
// sends and receives never wait, an interrupted call is simply retried, and
// keepalive with TCP_USER_TIMEOUT bounds a silent peer. No named pipes.
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "hostlink/net/connection_platform.h"

namespace vantilo_net {
namespace sockets {

namespace {

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }

// The system's text for an error, starting lower case to follow a colon:
// "connection refused".
std::string ErrorText(int error) {
  std::string text = std::strerror(error);
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text;
}

// Keepalive ends a connection that is silent while idle; TCP_USER_TIMEOUT
// one whose sent data stays unacknowledged (the system would retransmit for
// about fifteen minutes, sending no keepalive probes meanwhile).
void BoundSilence(int fd) {
  const int on = 1;
  const int idle = kKeepaliveIdleMs / 1000;
  const int interval = kKeepaliveIntervalMs / 1000;
  const int probes = kKeepaliveProbes;
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
  const unsigned int limit = kSilenceLimitMs;
  setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &limit, sizeof limit);
}

}  // namespace

// POSIX sockets need no start.
bool Start(std::string*) { return true; }
void Stop() {}

SocketHandle ConnectOne(const addrinfo* address, Clock::time_point deadline, std::string* problem) {
  int fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                  address->ai_protocol);
  if (fd < 0) {
    *problem = ErrorText(errno);
    return kNoSocket;
  }
  int result = connect(fd, address->ai_addr, address->ai_addrlen);
  if (result != 0 && errno == EINPROGRESS) {
    if (!WaitWritable(fd, deadline)) {
      *problem = "connection timed out";
      close(fd);
      return kNoSocket;
    }
    int error = 0;
    socklen_t length = sizeof error;
    result = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 ? 0 : -1;
    if (result != 0) {
      *problem = ErrorText(error != 0 ? error : errno);
    }
  } else if (result != 0) {
    *problem = ErrorText(errno);
  }
  if (result != 0) {
    close(fd);
    return kNoSocket;
  }
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  BoundSilence(fd);
  return fd;
}

std::ptrdiff_t SendSome(SocketHandle socket, const std::uint8_t* bytes, std::size_t count,
                        std::string* problem) {
  for (;;) {
    const ssize_t sent = send(static_cast<int>(socket), bytes, count, MSG_NOSIGNAL);
    if (sent > 0) {
      return sent;
    }
    if (sent < 0 && errno == EINTR) {
      continue;
    }
    if (sent < 0 && WouldBlock()) {
      return kWouldBlock;
    }
    *problem = sent < 0 ? ErrorText(errno) : "nothing sent";
    return kFailed;
  }
}

bool WaitWritable(SocketHandle socket, Clock::time_point deadline) {
  for (;;) {
    struct pollfd entry;
    entry.fd = static_cast<int>(socket);
    entry.events = POLLOUT;
    entry.revents = 0;
    int ready = poll(&entry, 1, MillisecondsLeft(deadline));
    if (ready > 0) {
      return true;
    }
    if (ready == 0 || errno != EINTR) {
      return false;
    }
  }
}

std::ptrdiff_t ReceiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t received = recv(static_cast<int>(socket), buffer, capacity, MSG_DONTWAIT);
    if (received >= 0) {
      return received;
    }
    if (errno == EINTR) {
      continue;
    }
    return WouldBlock() ? kWouldBlock : kFailed;
  }
}

void CloseSocket(SocketHandle socket) { close(static_cast<int>(socket)); }

}  // namespace sockets

// SimConnect's named pipes are Windows' own: here no pipe opens.
namespace pipes {

SocketHandle Open(const std::string&, Clock::time_point, std::string* problem, bool* absent) {
  *problem = "Protocol=Pipe is not available on this platform";
  *absent = false;
  return kNoSocket;
}

SendResult Send(SocketHandle, const std::uint8_t*, std::size_t, Clock::time_point,
                std::string* problem) {
  *problem = "not connected";
  return SendResult::kFailed;
}

std::ptrdiff_t ReceiveSome(SocketHandle, std::uint8_t*, std::size_t) { return sockets::kFailed; }

void Close(SocketHandle) {}

}  // namespace pipes
}  // namespace vantilo_net
