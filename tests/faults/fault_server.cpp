// The fault server's socket work: a non-blocking accepted socket, poll()
// for every wait, and a small receive buffer, so that a program whose
// commands are not read fills its side of the connection quickly.
#include "fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace faults {

const char kServerName[] = "Fault Injector";

namespace {

using Clock = std::chrono::steady_clock;
const int kWaitMs = 5000;
const int kReceiveBuffer = 4096;
const std::uint32_t kOpenPacketType = 0xF0000001u;
const std::uint32_t kOpenPacketSize = 296;
const std::uint32_t kRecordOpen = 2;
const std::uint32_t kRecordEvent = 4;
const std::uint32_t kRecordSimObjectData = 8;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::uint32_t WordAt(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | bytes[offset + static_cast<std::size_t>(i)];
  }
  return value;
}

void PutDouble(Bytes* bytes, double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  net_test::PutWord(bytes, static_cast<std::uint32_t>(bits));
  net_test::PutWord(bytes, static_cast<std::uint32_t>(bits >> 32));
}

}  // namespace

Bytes OpenRecord() {
  Bytes body(kServerName, kServerName + sizeof kServerName - 1);
  body.resize(256, 0);
  for (std::uint32_t value : {kServerVersionMajor, 0u, 61637u, 0u, 10u, 0u, 60905u, 0u, 0u, 0u}) {
    net_test::PutWord(&body, value);
  }
  return net_test::Record(kRecordOpen, body);
}

Bytes AttitudeRecord(double pitchRadians, double bankRadians) {
  Bytes body;
  // request 1, object 1, definition 0, flags 0, entry 1 of 1, two datums
  for (std::uint32_t value : {1u, 1u, 0u, 0u, 1u, 1u, 2u}) {
    net_test::PutWord(&body, value);
  }
  PutDouble(&body, pitchRadians);
  PutDouble(&body, bankRadians);
  return net_test::Record(kRecordSimObjectData, body);
}

Bytes EventRecord(std::uint32_t eventId, std::uint32_t data) {
  Bytes body;
  for (std::uint32_t value : {0u, eventId, data}) {
    net_test::PutWord(&body, value);
  }
  return net_test::Record(kRecordEvent, body);
}

Bytes ZeroRecord(std::uint32_t id, std::size_t bodySize) {
  return net_test::Record(id, Bytes(bodySize, 0));
}

FaultServer::FaultServer() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int size = kReceiveBuffer;
  setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);  // accepted sockets inherit it
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 ||
      bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 1) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
}

FaultServer::~FaultServer() {
  CloseClient();
  close(listener_);
}

bool FaultServer::AcceptOpen() {
  pollfd entry{listener_, POLLIN, 0};
  if (poll(&entry, 1, kWaitMs) <= 0) {
    return false;
  }
  client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (client_ < 0) {
    return false;
  }
  std::vector<Bytes> open = ReadPackets(1);
  if (open.size() != 1 || open[0].size() != kOpenPacketSize ||
      WordAt(open[0], 8) != kOpenPacketType) {
    return false;
  }
  return Send(OpenRecord());
}

bool FaultServer::ReadSome(int timeoutMs) {
  pollfd entry{client_, POLLIN, 0};
  if (client_ < 0 || poll(&entry, 1, timeoutMs) <= 0) {
    return false;
  }
  std::uint8_t chunk[16 * 1024];
  ssize_t got = recv(client_, chunk, sizeof chunk, 0);
  if (got <= 0) {
    return false;
  }
  pending_.insert(pending_.end(), chunk, chunk + got);
  return true;
}

std::vector<Bytes> FaultServer::ReadPackets(std::size_t count) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  std::vector<Bytes> packets;
  while (packets.size() < count) {
    std::uint32_t size = pending_.size() >= 4 ? WordAt(pending_, 0) : 0;
    if (pending_.size() >= 4 && size >= 16 && pending_.size() >= size) {
      packets.emplace_back(pending_.begin(), pending_.begin() + size);
      pending_.erase(pending_.begin(), pending_.begin() + size);
    } else if (!ReadSome(MillisecondsLeft(deadline))) {
      break;
    }
  }
  return packets;
}

bool FaultServer::Send(const Bytes& bytes) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  std::size_t sent = 0;
  while (client_ >= 0 && sent < bytes.size()) {
    ssize_t count = send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
      continue;
    }
    pollfd entry{client_, POLLOUT, 0};
    if (count < 0 && errno != EAGAIN && errno != EINTR) {
      return false;
    }
    if (poll(&entry, 1, MillisecondsLeft(deadline)) <= 0) {
      return false;
    }
  }
  return client_ >= 0;
}

std::size_t FaultServer::FloodWithoutReading(int stallMs) {
  Bytes batch;
  for (int i = 0; i < 64; ++i) {
    Bytes record = AttitudeRecord(0.01 * i, 0.5 - 0.01 * i);
    batch.insert(batch.end(), record.begin(), record.end());
  }
  const std::size_t recordSize = batch.size() / 64;
  const Clock::time_point safetyBound = Clock::now() + std::chrono::seconds(30);
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
      break;  // the program has closed the connection
    }
  }
  return total / recordSize;
}

bool FaultServer::ReadUntilClosed(int timeoutMs, Bytes* rest) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  rest->clear();
  for (;;) {
    rest->insert(rest->end(), pending_.begin(), pending_.end());
    pending_.clear();
    pollfd entry{client_, POLLIN, 0};
    if (client_ < 0 || poll(&entry, 1, MillisecondsLeft(deadline)) <= 0) {
      return false;
    }
    std::uint8_t chunk[16 * 1024];
    ssize_t got = recv(client_, chunk, sizeof chunk, 0);
    if (got == 0 || (got < 0 && errno == ECONNRESET)) {
      return true;
    }
    if (got > 0) {
      pending_.insert(pending_.end(), chunk, chunk + got);
    }
  }
}

void FaultServer::CloseClient() {
  if (client_ >= 0) {
    close(client_);
  }
  client_ = -1;
}

}  // namespace faults
