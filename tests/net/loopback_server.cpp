// The scripted loopback server: blocking sockets with 5-second timeouts, so
// a missing packet fails the test instead of hanging it.
#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace net_test {

namespace {
const int kWaitMs = 5000;
}

LoopbackServer::LoopbackServer(int receiveBuffer) : receiveBuffer_(receiveBuffer) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  struct sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listener_ < 0 ||
      bind(listener_, reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<struct sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer() {
  CloseClient();
  close(listener_);
}

bool LoopbackServer::HasPendingConnection() {
  struct pollfd entry = {listener_, POLLIN, 0};
  return poll(&entry, 1, 0) > 0;
}

bool LoopbackServer::Accept() {
  struct pollfd entry = {listener_, POLLIN, 0};
  if (poll(&entry, 1, kWaitMs) <= 0) {
    return false;
  }
  client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client_ < 0) {
    return false;
  }
  if (receiveBuffer_ > 0) {
    setsockopt(client_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_, sizeof receiveBuffer_);
  }
  struct timeval timeout = {kWaitMs / 1000, 0};
  setsockopt(client_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(client_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  return true;
}

bool LoopbackServer::ReadSome() {
  std::uint8_t chunk[4096];
  ssize_t count = recv(client_, chunk, sizeof chunk, 0);
  if (count <= 0) {
    return false;
  }
  pending_.insert(pending_.end(), chunk, chunk + count);
  return true;
}

void LoopbackServer::TakePackets(std::vector<Bytes>* packets) {
  while (pending_.size() >= 4) {
    std::uint32_t size = static_cast<std::uint32_t>(pending_[0]) | pending_[1] << 8 |
                         pending_[2] << 16 | static_cast<std::uint32_t>(pending_[3]) << 24;
    if (size < 16 || pending_.size() < size) {
      return;
    }
    packets->push_back(Bytes(pending_.begin(), pending_.begin() + size));
    pending_.erase(pending_.begin(), pending_.begin() + size);
  }
}

std::vector<Bytes> LoopbackServer::ReadPacketsUntilClosed() {
  std::vector<Bytes> packets;
  while (ReadSome()) {
    TakePackets(&packets);
  }
  TakePackets(&packets);
  if (!pending_.empty()) {
    packets.push_back(pending_);  // stray bytes show up as a packet of their own
    pending_.clear();
  }
  return packets;
}

std::vector<Bytes> LoopbackServer::ReadPackets(std::size_t count) {
  std::vector<Bytes> packets;
  TakePackets(&packets);
  while (packets.size() < count && ReadSome()) {
    TakePackets(&packets);
  }
  return packets;
}

void LoopbackServer::Send(const Bytes& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t count = send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) {
      throw std::runtime_error("loopback server cannot send");
    }
    sent += static_cast<std::size_t>(count);
  }
}

void LoopbackServer::CloseClient() {
  if (client_ >= 0) {
    close(client_);
    client_ = -1;
  }
}

}  // namespace net_test
