// POSIX sockets for the host link. The socket is non-blocking from the
// start: connect and send wait in poll() with a deadline, reads take only
// what is already there.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "hostlink/net/connection.h"

namespace vantilo_net {

namespace {

typedef std::chrono::steady_clock Clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until fd is ready for events or the deadline passes; false on timeout.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    struct pollfd entry;
    entry.fd = fd;
    entry.events = events;
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

// One connect attempt to one resolved address; returns the socket or -1.
int ConnectOne(const struct addrinfo* address, Clock::time_point deadline, std::string* problem) {
  int fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                  address->ai_protocol);
  if (fd < 0) {
    *problem = std::strerror(errno);
    return -1;
  }
  int result = connect(fd, address->ai_addr, address->ai_addrlen);
  if (result != 0 && errno == EINPROGRESS) {
    if (!WaitFor(fd, POLLOUT, deadline)) {
      *problem = "connection timed out";
      close(fd);
      return -1;
    }
    int error = 0;
    socklen_t length = sizeof error;
    result = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 ? 0 : -1;
    if (result != 0) {
      *problem = std::strerror(error != 0 ? error : errno);
    }
  } else if (result != 0) {
    *problem = std::strerror(errno);
  }
  if (result != 0) {
    close(fd);
    return -1;
  }
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

}  // namespace

bool Connection::Connect(const LinkSettings& settings, std::string* problem) {
  Close();
  if (!settings.usable || settings.transport == Transport::Pipe) {
    *problem = settings.problem;
    return false;
  }
  struct addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = settings.transport == Transport::IPv6 ? AF_INET6 : AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  struct addrinfo* addresses = nullptr;
  const std::string port = std::to_string(settings.port);
  int resolved = getaddrinfo(settings.address.c_str(), port.c_str(), &hints, &addresses);
  if (resolved != 0) {
    *problem = gai_strerror(resolved);
    return false;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
  int fd = -1;
  for (const struct addrinfo* address = addresses; address != nullptr && fd < 0;
       address = address->ai_next) {
    fd = ConnectOne(address, deadline, problem);
  }
  freeaddrinfo(addresses);
  if (fd < 0) {
    return false;
  }
  socket_ = fd;
  return true;
}

bool Connection::Send(const Bytes& packet) {
  if (socket_ == kNoSocket) {
    return false;
  }
  const int fd = static_cast<int>(socket_);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
  std::size_t sent = 0;
  while (sent < packet.size()) {
    ssize_t count = send(fd, packet.data() + sent, packet.size() - sent, MSG_NOSIGNAL);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd, POLLOUT, deadline)) {
        return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

bool Connection::ReadAvailable(RecordSplitter* splitter, std::size_t maxBytes) {
  if (socket_ == kNoSocket) {
    return false;
  }
  const int fd = static_cast<int>(socket_);
  std::uint8_t chunk[16 * 1024];
  std::size_t total = 0;
  while (total < maxBytes) {
    ssize_t count = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (count > 0) {
      splitter->Append(chunk, static_cast<std::size_t>(count));
      total += static_cast<std::size_t>(count);
    } else if (count == 0) {
      return false;  // the server closed the stream
    } else if (errno == EINTR) {
      continue;
    } else {
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
  }
  return true;
}

void Connection::Close() {
  if (socket_ != kNoSocket) {
    close(static_cast<int>(socket_));
    socket_ = kNoSocket;
  }
}

}  // namespace vantilo_net
