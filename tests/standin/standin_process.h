// Test helpers: the vantilo-standin executable run as a child process on a
// free port (its "listening on" line gives the port), and a raw socket
// client that sends hand-built packets and reads whole records back.
#ifndef VANTILO_TESTS_STANDIN_STANDIN_PROCESS_H
#define VANTILO_TESTS_STANDIN_STANDIN_PROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace standin_test {

using Bytes = std::vector<std::uint8_t>;

// Little-endian packet building, independent of the stand-in's own code.
void Add32(Bytes& out, std::uint32_t value);
void AddFloat(Bytes& out, float value);
void AddText(Bytes& out, const std::string& text);  // 256-byte field
// A packet: 16-byte header (size, protocol, 0xF0000000 | function, send id) + body.
Bytes MakePacket(std::uint32_t function, std::uint32_t sendId, const Bytes& body,
                 std::uint32_t protocol = 2);
// The Open packet of the given protocol ("XSF" marker, version 0.0, build 60905.0).
Bytes OpenPacket(std::uint32_t protocol, std::uint32_t sendId = 1);
std::uint32_t Read32(const Bytes& record, std::size_t offset);
double ReadDouble(const Bytes& record, std::size_t offset);

// Writes text to a fresh file in a temporary folder and returns its path.
std::string TempFile(const std::string& name, const std::string& text);

class StandinProcess {
 public:
  // Starts the stand-in with --port 0, --no-live and the given arguments.
  explicit StandinProcess(const std::vector<std::string>& arguments);
  ~StandinProcess();  // kills it if it still runs
  int port() const { return port_; }
  // Waits (at most timeoutMs) for the exit; returns the status, or -1.
  int WaitForExit(int timeoutMs);
  std::string Output();  // standard output so far (after exit: all of it)

 private:
  pid_t pid_ = -1;
  int port_ = -1;
  int stdoutFd_ = -1;
  std::string output_;
};

class RawClient {
 public:
  explicit RawClient(int port);
  ~RawClient();
  bool connected() const { return fd_ >= 0; }
  void Send(const Bytes& bytes);
  // The next whole record, or empty on end of stream or after timeoutMs.
  Bytes NextRecord(int timeoutMs = 5000);
  // Records until one satisfies the predicate (it is returned; empty if none came).
  Bytes RecordWhere(const std::function<bool(const Bytes&)>& wanted, int timeoutMs = 5000);
  // True when the stand-in has closed the connection (within timeoutMs).
  bool ClosedByPeer(int timeoutMs = 5000);
  // Opens with protocol 2 and returns the OPEN record.
  Bytes Open();

 private:
  bool Fill(std::size_t wanted, int timeoutMs);
  int fd_ = -1;
  Bytes buffer_;
};

}  // namespace standin_test

#endif
