// Fuzz target for the stand-in's packet handling: an arbitrary client byte
// stream, cut by the input's trailer (fuzz_input.h), is handed piece by
// piece to a stand-in ClientConnection as received bytes, so its own framing and
// its Session see them as from a client; its records go out through one end
// of a socket pair to a client end that checks them in batches. Each cut
// code's top three bits also pick a happening of the world to deliver after
// a piece that ends a packet, or an empty one; every code is used at least
// once, even after the stream's end. The socket pair and the client end
// last for the whole run: each input drains them.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "hostlink/net/reassembly.h"
#include "hostlink/net/wire.h"
#include "hostlink/simconnect.h"
#include "standin/clients/client_connection.h"
#include "standin/world/scenario.h"

namespace {

using standin::ClientConnection;
using standin::Session;
using standin::SystemEvent;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// Piece lengths by the low five bits of a cut code: around the header's and
// the packets' sizes, and up to the largest packet the stand-in accepts.
const std::size_t kPieceLengths[32] = {0,   1,   2,   3,   4,   5,   7,   8,    11,   12,   15,
                                       16,  17,  20,  24,  28,  31,  32,  36,   48,   64,   100,
                                       272, 288, 292, 300, 528, 544, 545, 1024, 4096, 65536};

// Records queued past this are taken by the client end before the next
// piece: below the queue's 256 KiB where frame records start to be dropped.
const std::size_t kDrainAbove = 16 * 1024;

standin::TraceFile traceFile;
std::FILE* logFile = nullptr;
int standinFd = -1;  // the stand-in's end of the socket pair; each ClientConnection gets a copy

void Happen(Session& session, unsigned what) {
  switch (what) {
    case 1:
      session.Hat();
      break;
    case 2:
      session.FrameRendered(60.0f, 1.0f);
      break;
    case 3:
      session.SecondPassed();
      break;
    case 4:
      session.SystemEventOccurred(SystemEvent::kView, standin::ViewFlag(standin::View::kCockpit2D));
      break;
    case 5:
      session.SystemEventOccurred(SystemEvent::kPause, 1);
      break;
    case 6:
      session.ChooseMenu("Pause");
      session.ChooseMenu("Exit");
      break;
    case 7:
      session.Quit();
      break;
    default:
      break;
  }
}

// The client's side: takes every record the stand-in has queued and checks
// that the record stream is well formed.
class ClientEnd {
 public:
  explicit ClientEnd(int fd) : fd_(fd) {}
  ClientEnd(const ClientEnd&) = delete;
  ClientEnd& operator=(const ClientEnd&) = delete;

  void Drain(ClientConnection& connection) {
    std::string reason;
    while (connection.HasOutput()) {
      Check(connection.Flush(&reason));
      static std::uint8_t chunk[65536];
      ssize_t got;
      while ((got = recv(fd_, chunk, sizeof chunk, 0)) > 0) {
        splitter_.Append(chunk, static_cast<std::size_t>(got));
      }
    }

    vantilo_net::AlignedRecord record;
    vantilo_net::RecordSplitter::Status status;
    while ((status = splitter_.Next(&record)) == vantilo_net::RecordSplitter::Status::kRecord) {
      const std::uint32_t id = vantilo_fuzz::ReadU32(record.Bytes() + 8);
      Check(id == SIMCONNECT_RECV_ID_EXCEPTION || id == SIMCONNECT_RECV_ID_OPEN ||
            id == SIMCONNECT_RECV_ID_QUIT || id == SIMCONNECT_RECV_ID_EVENT ||
            id == SIMCONNECT_RECV_ID_EVENT_FRAME || id == SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
    }
    Check(status == vantilo_net::RecordSplitter::Status::kNeedMore);
    Check(splitter_.Pending() == 0);  // the stand-in queues whole records only
  }

 private:
  int fd_;
  vantilo_net::RecordSplitter splitter_;
};

ClientEnd* client = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Check(traceFile.Open("/dev/null"));
  logFile = std::fopen("/dev/null", "w");
  Check(logFile != nullptr);
  int fds[2];
  Check(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) == 0);
  standinFd = fds[0];
  client = new ClientEnd(fds[1]);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantilo_fuzz::StreamInput input = vantilo_fuzz::SplitStreamInput(data, size);
  bool cutting = false;  // codes of only zero lengths would never move on
  for (std::size_t i = 0; i < input.codeCount; ++i) {
    cutting = cutting || kPieceLengths[input.codes[i] & 0x1Fu] != 0;
  }

  const int fd = dup(standinFd);
  Check(fd >= 0);
  standin::World world;
  standin::Reporter reporter(&traceFile, logFile);
  ClientConnection connection(fd, 1, world, reporter);  // closes fd
  // The stand-in's framing stops at a size word under 16 or over 65536.
  vantilo_fuzz::SizeWordWalk expected(wire::kPacketHeaderBytes, wire::kMaxPacketBytes);
  bool alive = true;
  std::size_t cut = 0;  // where the pieces have reached in the stream
  std::size_t fed = 0;  // what the connection has been given of it
  std::size_t piece = 0;
  std::size_t quietPieces = 0;  // pieces since a packet last ended
  do {
    const std::uint8_t code = input.codeCount > 0 ? input.codes[piece++ % input.codeCount] : 0;
    std::size_t length = input.streamSize - cut;
    if (cutting && kPieceLengths[code & 0x1Fu] < length) {
      length = kPieceLengths[code & 0x1Fu];
    }
    cut += length;
    // A cut inside a packet's body (its size word whole, its end yet to
    // come) is, to the framing, like any other there: those bytes wait for
    // the next piece, so only cuts it can tell apart cost a Receive.
    const std::size_t packetsEnd = expected.end();
    if (cut > fed && (cut == input.streamSize || !expected.InsideUnit(input.stream, cut))) {
      std::string reason;
      alive = connection.Receive(input.stream + fed, cut - fed, &reason);
      fed = cut;
      expected.Advance(input.stream, fed);
      Check(alive == !expected.corrupt());
    }
    // The session sees only whole packets, so a happening after a piece
    // that ended none would repeat one at the last packet's end: those come
    // from empty pieces instead, in the round of codes after each packet:
    // past it they would repeat that round against the same registrations.
    const bool packetEnded = expected.end() != packetsEnd;
    if (packetEnded) {
      quietPieces = 0;
    }
    if (alive && (packetEnded || (length == 0 && quietPieces < input.codeCount))) {
      Happen(connection.session(), code >> 5);
    }
    ++quietPieces;
    if (connection.Queued() > kDrainAbove) {
      client->Drain(connection);
    }
    Session& session = connection.session();
    Check(!session.opened() || (session.protocol() >= 2 && session.protocol() <= 4));
  } while (alive && (cut < input.streamSize || piece < input.codeCount));
  client->Drain(connection);
  return 0;
}
