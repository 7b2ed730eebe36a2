// A SimConnect server that breaks its stream on purpose, for the program's
// fault tests. It answers the program's Open, takes its registration, serves
// attitude records and reads the camera commands back; then a test sends
// what a broken or hostile simulator would. One client, 127.0.0.1, a port
// the system picks; every wait is bounded.
#ifndef VANTILO_TESTS_FAULTS_FAULT_SERVER_H
#define VANTILO_TESTS_FAULTS_FAULT_SERVER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "test_bytes.h"

namespace faults {

using net_test::Bytes;

// The application name and major version the server's OPEN record reports.
extern const char kServerName[];
const std::uint32_t kServerVersionMajor = 10;

Bytes OpenRecord();
// SIMOBJECT_DATA for request 1, definition 0: pitch and bank in radians.
Bytes AttitudeRecord(double pitchRadians, double bankRadians);
// EVENT with group 0.
Bytes EventRecord(std::uint32_t eventId, std::uint32_t data);
// A record of any id with bodySize bytes of zeros after the 12-byte header.
Bytes ZeroRecord(std::uint32_t id, std::size_t bodySize);

class FaultServer {
 public:
  FaultServer();
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  int port() const { return port_; }
  // Accepts the program, reads its Open packet and answers with OpenRecord.
  bool AcceptOpen();
  // Reads count whole packets; fewer if 5 s pass or the program closes.
  std::vector<Bytes> ReadPackets(std::size_t count);
  // Sends all bytes within 5 s; false if the program has gone.
  bool Send(const Bytes& bytes);
  // Sends attitude records and never reads, until the program stops taking
  // them (its socket has stayed full for stallMs) or closes. Returns how
  // many records went out whole.
  std::size_t FloodWithoutReading(int stallMs);
  // Reads until the program closes its end, at most timeoutMs; *rest gets
  // whatever bytes came first. False when it is still open.
  bool ReadUntilClosed(int timeoutMs, Bytes* rest);
  void CloseClient();

 private:
  bool ReadSome(int timeoutMs);  // false at the end of the stream or after the wait

  int listener_ = -1;
  int client_ = -1;
  int port_ = 0;
  Bytes pending_;
};

}  // namespace faults

#endif
