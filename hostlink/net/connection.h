// The TCP socket or named pipe under the host link: a connect with a time
// bound, sends that give up after about two seconds of a full socket or
// pipe, reads that never wait, and a bound on a silent peer. It moves bytes
// only; connection.cpp holds the deadlines and loops, over the system calls
// of connection_platform.h.
#ifndef VANTILO_HOSTLINK_NET_CONNECTION_H
#define VANTILO_HOSTLINK_NET_CONNECTION_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hostlink/net/config.h"

struct addrinfo;

namespace vantilo_net {

typedef std::chrono::steady_clock::time_point Deadline;

// Bounds, in milliseconds: the whole connect (name lookup included), and
// one packet's send.
const int kConnectTimeoutMs = 3000;
const int kSendTimeoutMs = 2000;
// How a send ended: every byte handed to the system, the connection failed
// or closed, or the socket stayed full for kSendTimeoutMs (a peer that has
// stopped reading).
enum class SendResult { kSent, kFailed, kTimedOut };

// A peer that vanishes (a simulator PC that crashes or drops off the
// network sends no FIN and no RST) must not leave the link polling a dead
// socket: after kKeepaliveIdleMs of quiet the system probes the peer every
// kKeepaliveIntervalMs, and once sent data or probes have gone
// unacknowledged for kSilenceLimitMs the connection fails. A peer that is
// merely quiet answers the probes and keeps the link.
const int kKeepaliveIdleMs = 5000;
const int kKeepaliveIntervalMs = 1000;
const int kKeepaliveProbes = 3;
const int kSilenceLimitMs = 8000;

// The platform's socket: a file descriptor, or a Winsock SOCKET (whose
// INVALID_SOCKET is all ones, so -1 here too).
typedef std::intptr_t SocketHandle;
const SocketHandle kNoSocket = -1;

class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { Close(); }

  // Connects to the configured address with Nagle off, or opens the
  // configured pipe; false if it cannot within kConnectTimeoutMs, with one
  // line saying what failed and where (the SimConnect.cfg setting, or the
  // address connected to).
  bool Connect(const LinkSettings& settings, std::string* problem);
  // For the search of a local simulator, each by the search's own deadline
  // and with the bare reason when it fails ("connection refused", "no such
  // pipe"): the pipe at path (*absent: there is none), or 127.0.0.1:port.
  bool OpenPipe(const std::string& path, Deadline deadline, std::string* reason, bool* absent);
  bool ConnectLoopback(std::uint16_t port, Deadline deadline, std::string* reason);
  // Sends all bytes. When it cannot, says why in *problem when given
  // ("connection reset by peer", "timed out"); the caller then treats the
  // connection as lost.
  SendResult Send(const std::vector<std::uint8_t>& packet, std::string* problem = nullptr);
  // Appends what has arrived (at most about maxBytes) to *into without
  // waiting; false when the stream has ended or failed, after appending
  // what came before that. A read that leaves room in its chunk is the
  // last: nothing more had arrived, and asking again would cost a system
  // call that finds nothing.
  bool ReadAvailable(std::vector<std::uint8_t>* into, std::size_t maxBytes);
  void Close();
  bool IsOpen() const { return socket_ != kNoSocket; }
  // The socket (or pipe) itself, for tests that read its options back.
  SocketHandle socket() const { return socket_; }
  // Where the last connect went, as the failure messages name it:
  // host:port, an IPv6 address in brackets, or the pipe's path.
  const std::string& where() const { return where_; }

 private:
  bool ConnectTo(const addrinfo* addresses, Deadline deadline, std::string* reason);

  SocketHandle socket_ = kNoSocket;
  bool pipe_ = false;  // socket_ is a named pipe's handle
  std::string where_;
};

}  // namespace vantilo_net

#endif
