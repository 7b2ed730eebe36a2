// The socket calls connection.cpp builds on, one line of contract each, and
// the system's socket headers (getaddrinfo is alike on both platforms).
// connection_posix.cpp implements them over POSIX sockets, connection_win32.cpp
// over Winsock and pipe_win32.cpp over Windows' named pipes; each turns
// system errors into problem texts or plain results.
#ifndef VANTILO_HOSTLINK_NET_CONNECTION_PLATFORM_H
#define VANTILO_HOSTLINK_NET_CONNECTION_PLATFORM_H

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "hostlink/net/config.h"
#include "hostlink/net/connection.h"

namespace vantilo_net {
namespace sockets {

typedef std::chrono::steady_clock Clock;

// What a send or a receive that moved no bytes reports.
const std::ptrdiff_t kWouldBlock = -1;  // nothing moves without waiting
const std::ptrdiff_t kFailed = -2;      // the socket is broken

// Milliseconds from now until the deadline, 0 once it has passed.
int MillisecondsLeft(Clock::time_point deadline);

// Makes sockets usable for one connection; false (and why) if it cannot.
bool Start(std::string* problem);
// Undoes one successful Start.
void Stop();
// A non-blocking socket connected to one address with Nagle off and the
// silence bounds of connection.h (keepalive, unacknowledged data), or
// kNoSocket and why, in lower case ("connection refused"), when the connect
// fails or the deadline passes.
SocketHandle ConnectOne(const addrinfo* address, Clock::time_point deadline, std::string* problem);
// Sends from bytes without waiting: the count sent (> 0), kWouldBlock, or
// kFailed and why, in lower case ("connection reset by peer").
std::ptrdiff_t SendSome(SocketHandle socket, const std::uint8_t* bytes, std::size_t count,
                        std::string* problem);
// Waits until the socket takes bytes again or has failed; false at the deadline.
bool WaitWritable(SocketHandle socket, Clock::time_point deadline);
// Receives into buffer without waiting: the count received (> 0), 0 at the
// end of the stream, kWouldBlock or kFailed.
std::ptrdiff_t ReceiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity);
void CloseSocket(SocketHandle socket);

}  // namespace sockets

// A named pipe's client end (Windows; elsewhere Open refuses), moving the
// same bytes as a socket.
namespace pipes {

using sockets::Clock;

// Opens the pipe at path, waiting for a busy one until the deadline. The
// handle that finds the pipe is the one returned, so looking for it takes no
// server instance of its own. kNoSocket and why when it cannot: *absent
// tells "no such pipe" from other failures.
SocketHandle Open(const std::string& path, Clock::time_point deadline, std::string* problem,
                  bool* absent);
// Sends every byte by the deadline: kTimedOut once it passes (the server
// has stopped reading), kFailed and why when the pipe breaks.
SendResult Send(SocketHandle pipe, const std::uint8_t* bytes, std::size_t count,
                Clock::time_point deadline, std::string* problem);
// Receives what has arrived, without waiting, as sockets::ReceiveSome does.
std::ptrdiff_t ReceiveSome(SocketHandle pipe, std::uint8_t* buffer, std::size_t capacity);
void Close(SocketHandle pipe);

}  // namespace pipes
}  // namespace vantilo_net

#endif
