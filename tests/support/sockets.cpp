// Both ends share the socket work: poll() for every wait, records and
// packets cut from the stream by their leading size word, and reads until
// the peer closes. The server's accepted socket is non-blocking, so a full
// socket is seen (and waited on) instead of blocking the test.
#include "tests/support/sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "control/identifiers.h"
#include "hostlink/net/wire.h"
#include "standin/wire/records.h"

namespace support {

namespace {

using Clock = std::chrono::steady_clock;
const int kWaitMs = 5000;
const std::size_t kSmallestRecord = 12;
const std::size_t kSmallestPacket = 16;

Clock::time_point After(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

bool Readable(int fd, Clock::time_point deadline) {
  pollfd entry{fd, POLLIN, 0};
  return fd >= 0 && poll(&entry, 1, MillisecondsLeft(deadline)) > 0;
}

// Appends what has arrived by the deadline: 1 when bytes came, 0 when the
// peer has closed (or reset) the connection, -1 when nothing came.
int Receive(int fd, Bytes* into, Clock::time_point deadline) {
  if (!Readable(fd, deadline)) {
    return -1;
  }
  std::uint8_t chunk[16 * 1024];
  ssize_t got = recv(fd, chunk, sizeof chunk, 0);
  if (got > 0) {
    into->insert(into->end(), chunk, chunk + got);
    return 1;
  }
  return got < 0 && (errno == EAGAIN || errno == EINTR) ? -1 : 0;
}

// The next whole record or packet from the stream (size word first, at
// least `smallest` bytes); empty at the deadline, at the end of the stream
// or at a size under `smallest`.
Bytes NextFrame(int fd, Bytes* buffer, std::size_t smallest, Clock::time_point deadline) {
  for (;;) {
    if (buffer->size() >= 4) {
      const std::size_t size = Word(*buffer, 0);
      if (size < smallest) {
        return {};
      }
      if (buffer->size() >= size) {
        Bytes frame(buffer->begin(), buffer->begin() + static_cast<std::ptrdiff_t>(size));
        buffer->erase(buffer->begin(), buffer->begin() + static_cast<std::ptrdiff_t>(size));
        return frame;
      }
    }
    if (Receive(fd, buffer, deadline) <= 0) {
      return {};
    }
  }
}

// Reads until the peer closes: true then; false at the deadline.
bool ReadToEnd(int fd, Bytes* into, Clock::time_point deadline) {
  for (int got; (got = Receive(fd, into, deadline)) != 0;) {
    if (got < 0 && MillisecondsLeft(deadline) == 0) {
      return false;
    }
  }
  return true;
}

// Sends every byte by the deadline, waiting while the socket is full.
bool SendAll(int fd, const Bytes& bytes, Clock::time_point deadline) {
  std::size_t sent = 0;
  while (fd >= 0 && sent < bytes.size()) {
    ssize_t count = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
      continue;
    }
    pollfd entry{fd, POLLOUT, 0};
    if ((count < 0 && errno != EAGAIN && errno != EINTR) ||
        poll(&entry, 1, MillisecondsLeft(deadline)) <= 0) {
      return false;
    }
  }
  return fd >= 0;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

int Connect(int fd, int port) {
  sockaddr_in address = Loopback(port);
  return connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

// A TCP socket, with its receive buffer set when receiveBuffer > 0.
int NewSocket(int receiveBuffer) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (receiveBuffer > 0) {  // sockets a listener accepts inherit it
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  return fd;
}

// A socket bound to a port on 127.0.0.1 that the system picks, put in *port.
int BoundSocket(int receiveBuffer, int* port) {
  const int fd = NewSocket(receiveBuffer);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot bind on 127.0.0.1");
  }
  *port = ntohs(address.sin_port);
  return fd;
}

void Close(int* fd) {
  if (*fd >= 0) {
    close(*fd);
  }
  *fd = -1;
}

}  // namespace

Bytes AttitudeRecord(double pitchRadians, double bankRadians) {
  return standin::ObjectDataRecord(kProtocol, REQUEST_ATTITUDE, DEFINITION_ATTITUDE,
                                   {pitchRadians, bankRadians});
}

ScriptedServer::ScriptedServer(int receiveBuffer) {
  listener_ = BoundSocket(receiveBuffer, &port_);
  if (listen(listener_, 4) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
}

ScriptedServer::~ScriptedServer() {
  CloseClient();
  StopListening();
}

void ScriptedServer::StopListening() { Close(&listener_); }

bool ScriptedServer::HasPendingConnection() { return Readable(listener_, Clock::now()); }

bool ScriptedServer::Accept() {
  if (!Readable(listener_, After(kWaitMs))) {
    return false;
  }
  CloseClient();
  pending_.clear();
  client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  return client_ >= 0;
}

bool ScriptedServer::AcceptOpen() {
  if (!Accept()) {
    return false;
  }
  std::vector<Bytes> open = ReadPackets(1);
  return open.size() == 1 && open[0].size() == wire::FindPacketLayout(wire::kOpen)->Size() &&
         Word(open[0], 8) == (wire::kPacketTypeMarker | wire::kOpen) &&
         Send(standin::OpenRecord(kProtocol));
}

std::vector<Bytes> ScriptedServer::ReadPackets(std::size_t count) {
  const Clock::time_point deadline = After(kWaitMs);
  std::vector<Bytes> packets;
  for (Bytes packet;
       packets.size() < count &&
       !(packet = NextFrame(client_, &pending_, kSmallestPacket, deadline)).empty();) {
    packets.push_back(packet);
  }
  return packets;
}

bool ScriptedServer::Send(const Bytes& bytes) { return SendAll(client_, bytes, After(kWaitMs)); }

std::size_t ScriptedServer::FloodWithoutReading(int stallMs) {
  std::vector<Bytes> records;
  for (int i = 0; i < 64; ++i) {
    records.push_back(AttitudeRecord(0.01 * i, 0.5 - 0.01 * i));
  }
  const Bytes batch = Join(records);
  const Clock::time_point safetyBound = After(30000);
  Clock::time_point lastProgress = Clock::now();
  std::size_t total = 0;
  std::size_t offset = 0;
  while (client_ >= 0 && Clock::now() < safetyBound) {
    ssize_t count = send(client_, batch.data() + offset, batch.size() - offset, MSG_NOSIGNAL);
    if (count > 0) {
      total += static_cast<std::size_t>(count);
      offset = (offset + static_cast<std::size_t>(count)) % batch.size();
      lastProgress = Clock::now();
    } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (Clock::now() - lastProgress >= std::chrono::milliseconds(stallMs)) {
        break;
      }
      pollfd entry{client_, POLLOUT, 0};
      poll(&entry, 1, 50);
    } else {
      break;  // the client has closed the connection
    }
  }
  return total / records[0].size();
}

bool ScriptedServer::ReadUntilClosed(int timeoutMs, Bytes* rest) {
  *rest = pending_;
  pending_.clear();
  return ReadToEnd(client_, rest, After(timeoutMs));
}

void ScriptedServer::CloseClient() { Close(&client_); }

DeadPort::DeadPort(Kind kind) {
  socket_ = BoundSocket(0, &port_);
  if (kind == Kind::kNeverAnswers) {
    queued_ = NewSocket(0);  // a backlog of 0 queues this one connection, never accepted
    if (listen(socket_, 0) != 0 || Connect(queued_, port_) != 0) {
      throw std::runtime_error("cannot fill a listener's queue on 127.0.0.1");
    }
  }
}

DeadPort::~DeadPort() {
  Close(&queued_);
  Close(&socket_);
}

RawClient::RawClient(int port, int receiveBuffer) : fd_(NewSocket(receiveBuffer)) {
  if (Connect(fd_, port) != 0) {
    Close(&fd_);
  }
}

RawClient::~RawClient() { Close(&fd_); }

void RawClient::Send(const Bytes& bytes) { SendAll(fd_, bytes, After(kWaitMs)); }

std::size_t RawClient::SendWhatFits(const std::uint8_t* data, std::size_t size) {
  ssize_t count = send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  return count > 0 ? static_cast<std::size_t>(count) : 0;
}

void RawClient::Discard() {
  std::uint8_t chunk[65536];
  while (recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT) > 0) {
  }
}

Bytes RawClient::NextRecord(int timeoutMs) {
  return NextFrame(fd_, &buffer_, kSmallestRecord, After(timeoutMs));
}

Bytes RawClient::RecordWhere(const std::function<bool(const Bytes&)>& wanted, int timeoutMs) {
  const Clock::time_point deadline = After(timeoutMs);
  for (;;) {
    Bytes record = NextFrame(fd_, &buffer_, kSmallestRecord, deadline);
    if (record.empty() || wanted(record)) {
      return record;
    }
  }
}

bool RawClient::ClosedByPeer(int timeoutMs) {
  buffer_.clear();
  return ReadToEnd(fd_, &buffer_, After(timeoutMs));
}

Bytes RawClient::Open() {
  Send(OpenPacket(kProtocol));
  return NextRecord();
}

}  // namespace support
