// The ends of a SimConnect connection a test scripts, on 127.0.0.1: a fake
// server for the program and its host link, a raw client for the stand-in.
// Every wait is bounded, so a missing packet fails a test, never hangs it.
#ifndef VANTILO_TESTS_SUPPORT_SOCKETS_H
#define VANTILO_TESTS_SUPPORT_SOCKETS_H

#include <cstddef>
#include <functional>
#include <vector>

#include "tests/support/bytes.h"

namespace support {

// The attitude record the program asks for, pitch and bank in radians.
Bytes AttitudeRecord(double pitchRadians, double bankRadians);

// A scripted server at a port the system picks, on the test's own thread:
// a client's connect completes in the listen backlog.
class ScriptedServer {
 public:
  // receiveBuffer > 0: the accepted socket's, so an unread client fills it fast.
  explicit ScriptedServer(int receiveBuffer = 0);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  // True when a connection is waiting to be accepted.
  bool HasPendingConnection();
  // Accepts the next client, closing the one before; false if none in 5 s.
  bool Accept();
  // Accept(), then reads the Open packet and answers with an OPEN record.
  bool AcceptOpen();
  // Reads count whole packets; fewer if 5 s pass or the client closes.
  std::vector<Bytes> ReadPackets(std::size_t count);
  // Sends all bytes within 5 s; false if the client has gone.
  bool Send(const Bytes& bytes);
  // Sends attitude records, never reading, until the client's socket stays
  // full for stallMs or it closes; returns how many went out whole.
  std::size_t FloodWithoutReading(int stallMs);
  // Reads until the client closes (true) or timeoutMs pass; *rest: what came.
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

// A port on 127.0.0.1 where a connect is refused (bound, not listening) or
// never answered (a listener's one-place queue taken: more are dropped).
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
  // receiveBuffer > 0: so what it never reads stays queued in the stand-in.
  explicit RawClient(int port, int receiveBuffer = 0);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  void Send(const Bytes& bytes);
  // Sends what fits now; returns how many bytes went (0 when the peer has gone).
  std::size_t SendWhatFits(const std::uint8_t* data, std::size_t size);
  // Reads and throws away what has arrived, without waiting.
  void Discard();
  // The next whole record, or empty on end of stream or after timeoutMs.
  Bytes NextRecord(int timeoutMs = 5000);
  // The first record wanted() holds for; empty if none came.
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
