// The two ends of a SimConnect connection that a test scripts: a fake
// SimConnect server for the program and its host link, and a raw client for
// the stand-in. Both on 127.0.0.1, one connection each, every wait bounded,
// so a missing packet or record fails a test instead of hanging it.
#ifndef VANTILO_TESTS_SUPPORT_SOCKETS_H
#define VANTILO_TESTS_SUPPORT_SOCKETS_H

#include <cstddef>
#include <functional>
#include <vector>

#include "tests/support/bytes.h"

namespace support {

// The attitude record the program asked for (request 1, definition 0):
// pitch and bank in radians, from the stand-in's record encoder.
Bytes AttitudeRecord(double pitchRadians, double bankRadians);

// A scripted SimConnect server at a port the system picks. It runs on the
// test's own thread: the client's connect completes in the listen backlog.
class ScriptedServer {
 public:
  // receiveBuffer > 0 shrinks the receive buffer of the accepted socket, so
  // that a client whose packets are not read fills its side quickly.
  explicit ScriptedServer(int receiveBuffer = 0);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  // True when a connection is waiting to be accepted.
  bool HasPendingConnection();
  // Accepts the next client, closing the one before; false if none arrives
  // within 5 s.
  bool Accept();
  // Accepts the client, reads its Open packet and answers with the
  // stand-in's OPEN record.
  bool AcceptOpen();
  // Reads count whole packets; fewer if 5 s pass or the client closes.
  std::vector<Bytes> ReadPackets(std::size_t count);
  // Sends all bytes within 5 s; false if the client has gone.
  bool Send(const Bytes& bytes);
  // Sends attitude records and never reads, until the client stops taking
  // them (its socket has stayed full for stallMs) or closes. Returns how
  // many records went out whole.
  std::size_t FloodWithoutReading(int stallMs);
  // Reads until the client closes its end, at most timeoutMs; *rest gets
  // whatever bytes came first. False when it is still open.
  bool ReadUntilClosed(int timeoutMs, Bytes* rest);
  void CloseClient();
  // Closes the listening socket: a connect to the port is then refused.
  void StopListening();

 private:
  int listener_ = -1;
  int client_ = -1;
  int port_ = 0;
  Bytes pending_;  // bytes read that do not yet make a whole packet
};

// A port on 127.0.0.1 where a connect fails: refused (a bound socket that
// does not listen), or never answered (a listener whose one-place queue is
// already taken, so the system drops further connection requests).
class DeadPort {
 public:
  enum class Kind { kRefuses, kNeverAnswers };
  explicit DeadPort(Kind kind);
  ~DeadPort();
  DeadPort(const DeadPort&) = delete;
  DeadPort& operator=(const DeadPort&) = delete;

  int port() const { return port_; }

 private:
  int socket_ = -1;
  int queued_ = -1;  // the connection that fills the queue
  int port_ = 0;
};

// A client that sends hand-built packets and reads whole records back.
class RawClient {
 public:
  // receiveBuffer > 0: the socket's receive buffer, so that what a client
  // never reads stays queued in the stand-in rather than in the kernel.
  explicit RawClient(int port, int receiveBuffer = 0);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  void Send(const Bytes& bytes);
  // Sends what the socket takes now without waiting; returns how many bytes
  // went (0 also when the peer has gone).
  std::size_t SendWhatFits(const std::uint8_t* data, std::size_t size);
  // Reads and throws away what has arrived, without waiting.
  void Discard();
  // The next whole record, or empty on end of stream or after timeoutMs.
  Bytes NextRecord(int timeoutMs = 5000);
  // Records until one satisfies the predicate (it is returned; empty if none came).
  Bytes RecordWhere(const std::function<bool(const Bytes&)>& wanted, int timeoutMs = 5000);
  // True when the peer has closed the connection (within timeoutMs).
  bool ClosedByPeer(int timeoutMs = 5000);
  // Opens with protocol 2 and returns the OPEN record.
  Bytes Open();

 private:
  int fd_ = -1;
  Bytes buffer_;
};

}  // namespace support

#endif
