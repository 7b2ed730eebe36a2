// Winsock for the host link, as built into the Windows SimConnect.dll. Same
// behaviour as connection_posix.cpp: a non-blocking socket, connect and send
// bounded by a deadline, reads that take only what is there. Winsock is
// started for each connection and cleaned up when it closes.
#include <winsock2.h>
#include <ws2tcpip.h>

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

std::string WinsockProblem(const char* what, int code) {
  return std::string(what) + " failed (Winsock error " + std::to_string(code) + ")";
}

// Waits until the socket can be written, or its connect has failed, or the
// deadline passes; false on timeout. select, not WSAPoll: WSAPoll before
// Windows 10 version 2004 never reports a refused connect, which would turn
// "no simulator" into a wait for the whole deadline.
bool WaitWritable(SOCKET socket, Clock::time_point deadline) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket, &writable);
  FD_SET(socket, &failed);
  const int left = MillisecondsLeft(deadline);
  struct timeval timeout;
  timeout.tv_sec = left / 1000;
  timeout.tv_usec = (left % 1000) * 1000;
  return select(0, nullptr, &writable, &failed, &timeout) > 0;
}

// One connect attempt to one resolved address; INVALID_SOCKET on failure.
SOCKET ConnectOne(const struct addrinfo* address, Clock::time_point deadline,
                  std::string* problem) {
  SOCKET s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
  if (s == INVALID_SOCKET) {
    *problem = WinsockProblem("socket", WSAGetLastError());
    return INVALID_SOCKET;
  }
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    *problem = WinsockProblem("ioctlsocket", WSAGetLastError());
    closesocket(s);
    return INVALID_SOCKET;
  }
  int error = 0;
  if (connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0) {
    error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
      if (!WaitWritable(s, deadline)) {
        *problem = "connection timed out";
        closesocket(s);
        return INVALID_SOCKET;
      }
      int length = sizeof error;
      if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        error = WSAGetLastError();
      }
    }
  }
  if (error != 0) {
    *problem = WinsockProblem("connect", error);
    closesocket(s);
    return INVALID_SOCKET;
  }
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return s;
}

}  // namespace

bool Connection::Connect(const LinkSettings& settings, std::string* problem) {
  Close();
  if (!settings.usable || settings.transport == Transport::Pipe) {
    *problem = settings.problem;
    return false;
  }
  WSADATA data;
  const int started = WSAStartup(MAKEWORD(2, 2), &data);
  if (started != 0) {
    *problem = WinsockProblem("WSAStartup", started);
    return false;
  }
  struct addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = settings.transport == Transport::IPv6 ? AF_INET6 : AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV;
  struct addrinfo* addresses = nullptr;
  const std::string port = std::to_string(settings.port);
  const int resolved = getaddrinfo(settings.address.c_str(), port.c_str(), &hints, &addresses);
  if (resolved != 0) {
    *problem = WinsockProblem("getaddrinfo", resolved);
    WSACleanup();
    return false;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
  SOCKET s = INVALID_SOCKET;
  for (const struct addrinfo* address = addresses; address != nullptr && s == INVALID_SOCKET;
       address = address->ai_next) {
    s = ConnectOne(address, deadline, problem);
  }
  freeaddrinfo(addresses);
  if (s == INVALID_SOCKET) {
    WSACleanup();
    return false;
  }
  socket_ = static_cast<std::intptr_t>(s);
  return true;
}

bool Connection::Send(const Bytes& packet) {
  if (socket_ == kNoSocket) {
    return false;
  }
  const SOCKET s = static_cast<SOCKET>(socket_);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
  std::size_t sent = 0;
  while (sent < packet.size()) {
    const char* from = reinterpret_cast<const char*>(packet.data() + sent);
    const int count = send(s, from, static_cast<int>(packet.size() - sent), 0);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
    } else if (count == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      if (!WaitWritable(s, deadline)) {
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
  const SOCKET s = static_cast<SOCKET>(socket_);
  char chunk[16 * 1024];
  std::size_t total = 0;
  while (total < maxBytes) {
    const int count = recv(s, chunk, sizeof chunk, 0);
    if (count > 0) {
      splitter->Append(reinterpret_cast<const std::uint8_t*>(chunk),
                       static_cast<std::size_t>(count));
      total += static_cast<std::size_t>(count);
    } else if (count == 0) {
      return false;  // the server closed the stream
    } else {
      return WSAGetLastError() == WSAEWOULDBLOCK;
    }
  }
  return true;
}

void Connection::Close() {
  if (socket_ != kNoSocket) {
    closesocket(static_cast<SOCKET>(socket_));
    socket_ = kNoSocket;
    WSACleanup();
  }
}

}  // namespace vantilo_net
