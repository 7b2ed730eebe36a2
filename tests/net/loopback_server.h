// A scripted SimConnect server for the host link's tests, on 127.0.0.1 at a
// port the system picks. It runs on the test's own thread: the client's
// connect completes in the listen backlog, and every wait has a time bound.
#ifndef VANTILO_TESTS_NET_LOOPBACK_SERVER_H
#define VANTILO_TESTS_NET_LOOPBACK_SERVER_H

#include <vector>

#include "test_bytes.h"

namespace net_test {

class LoopbackServer {
 public:
  // receiveBuffer > 0 shrinks the accepted socket's receive buffer.
  explicit LoopbackServer(int receiveBuffer = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return port_; }
  // True when a connection is waiting to be accepted.
  bool HasPendingConnection();
  // Accepts the client; false if none arrives within 5 s.
  bool Accept();
  // Reads whole packets until the client closes (or 5 s pass).
  std::vector<Bytes> ReadPacketsUntilClosed();
  // Reads exactly count whole packets (or fewer if 5 s pass).
  std::vector<Bytes> ReadPackets(std::size_t count);
  void Send(const Bytes& bytes);
  void CloseClient();

 private:
  bool ReadSome();
  void TakePackets(std::vector<Bytes>* packets);

  int listener_ = -1;
  int client_ = -1;
  int port_ = 0;
  int receiveBuffer_ = 0;
  Bytes pending_;  // bytes read that do not yet make a whole packet
};

}  // namespace net_test

#endif
