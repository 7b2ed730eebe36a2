// The connection's socket calls over Winsock, as built into the Windows
// SimConnect.dll: connect waits in select() with a deadline, sends and
// receives never wait, keepalive and TCP_MAXRT bound a silent peer. Winsock
// is started for each connection and cleaned up when it closes.
#include "hostlink/net/connection_platform.h"
// Needs the Winsock headers included above.
#include <mstcpip.h>

// Older SDK headers lack these socket options (Windows Vista and Windows 10
// version 1703 have them).
#ifndef TCP_MAXRT
#define TCP_MAXRT 5
#endif
#ifndef TCP_KEEPCNT
#define TCP_KEEPCNT 16
#endif

namespace vantilo_net {
namespace sockets {

namespace {

std::string WinsockProblem(const char* what, int code) {
  return std::string(what) + " failed (Winsock error " + std::to_string(code) + ")";
}

// A failed connect's or send's error, worded as on POSIX systems where they
// share one.
std::string SocketProblem(int code) {
  static const struct {
    int code;
    const char* text;
  } kTexts[] = {{WSAECONNREFUSED, "connection refused"},
                {WSAETIMEDOUT, "connection timed out"},
                {WSAENETUNREACH, "network is unreachable"},
                {WSAEHOSTUNREACH, "no route to host"},
                {WSAECONNRESET, "connection reset by peer"},
                {WSAECONNABORTED, "software caused connection abort"}};
  for (const auto& known : kTexts) {
    if (known.code == code) {
      return known.text;
    }
  }
  return "Winsock error " + std::to_string(code);
}

// Keepalive (idle time and interval through SIO_KEEPALIVE_VALS, the probe
// count where Windows takes it) ends a connection that is silent while
// idle; TCP_MAXRT, in seconds, one whose sent data stays unacknowledged.
// Options a Windows version lacks are left at its defaults.
void BoundSilence(SOCKET s) {
  struct tcp_keepalive keepalive;
  keepalive.onoff = 1;
  keepalive.keepalivetime = kKeepaliveIdleMs;
  keepalive.keepaliveinterval = kKeepaliveIntervalMs;
  DWORD returned = 0;
  WSAIoctl(s, SIO_KEEPALIVE_VALS, &keepalive, sizeof keepalive, nullptr, 0, &returned, nullptr,
           nullptr);
  const DWORD probes = kKeepaliveProbes;
  setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, reinterpret_cast<const char*>(&probes), sizeof probes);
  const DWORD limit = kSilenceLimitMs / 1000;
  setsockopt(s, IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char*>(&limit), sizeof limit);
}

}  // namespace

bool Start(std::string* problem) {
  WSADATA data;
  const int started = WSAStartup(MAKEWORD(2, 2), &data);
  if (started != 0) {
    *problem = WinsockProblem("WSAStartup", started);
    return false;
  }
  return true;
}

void Stop() { WSACleanup(); }

SocketHandle ConnectOne(const addrinfo* address, Clock::time_point deadline, std::string* problem) {
  SOCKET s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
  if (s == INVALID_SOCKET) {
    *problem = WinsockProblem("socket", WSAGetLastError());
    return kNoSocket;
  }
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    *problem = WinsockProblem("ioctlsocket", WSAGetLastError());
    closesocket(s);
    return kNoSocket;
  }
  const SocketHandle handle = static_cast<SocketHandle>(s);
  int error = 0;
  if (connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0) {
    error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
      if (!WaitWritable(handle, deadline)) {
        *problem = "connection timed out";
        closesocket(s);
        return kNoSocket;
      }
      int length = sizeof error;
      if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        error = WSAGetLastError();
      }
    }
  }
  if (error != 0) {
    *problem = SocketProblem(error);
    closesocket(s);
    return kNoSocket;
  }
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  BoundSilence(s);
  return handle;
}

std::ptrdiff_t SendSome(SocketHandle socket, const std::uint8_t* bytes, std::size_t count,
                        std::string* problem) {
  const int sent = send(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(bytes),
                        static_cast<int>(count), 0);
  if (sent > 0) {
    return sent;
  }
  const int error = sent == SOCKET_ERROR ? WSAGetLastError() : 0;
  if (error == WSAEWOULDBLOCK) {
    return kWouldBlock;
  }
  *problem = error != 0 ? SocketProblem(error) : "nothing sent";
  return kFailed;
}

// select, not WSAPoll: WSAPoll before Windows 10 version 2004 never reports
// a refused connect, which would turn "no simulator" into a wait for the
// whole deadline. A failed connect counts as ready, so its error is read.
bool WaitWritable(SocketHandle socket, Clock::time_point deadline) {
  const SOCKET s = static_cast<SOCKET>(socket);
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  const int left = MillisecondsLeft(deadline);
  struct timeval timeout;
  timeout.tv_sec = left / 1000;
  timeout.tv_usec = (left % 1000) * 1000;
  return select(0, nullptr, &writable, &failed, &timeout) > 0;
}

std::ptrdiff_t ReceiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity) {
  const int received = recv(static_cast<SOCKET>(socket), reinterpret_cast<char*>(buffer),
                            static_cast<int>(capacity), 0);
  if (received >= 0) {
    return received;
  }
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

void CloseSocket(SocketHandle socket) { closesocket(static_cast<SOCKET>(socket)); }

}  // namespace sockets
}  // namespace vantilo_net
