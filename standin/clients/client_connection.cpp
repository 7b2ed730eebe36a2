// A client that stops reading loses frame records once its queue holds
// kDropAbove bytes; past kDropClientAbove (events keep coming) it is
// disconnected. Input is read in chunks and handled a packet at a time, as
// the allowance lets; once kInputHold waits unhandled the socket is not
// read, so what the client sends beyond waits in the kernel.
#include "standin/clients/client_connection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace standin {

namespace {

const std::size_t kDropClientAbove = 4 * 1024 * 1024;
const std::size_t kReadChunk = 65536;
// Unhandled input held for a client: more than one packet of the largest
// size, so that a whole packet always fits.
const std::size_t kInputHold = 2 * kReadChunk;

}  // namespace

ClientConnection::ClientConnection(int fd, int id, World& world, Reporter& reporter,
                                   QueueTotal* total, const Persona& persona)
    : fd_(fd),
      total_(total != nullptr ? total : &own_),
      session_(id, *this, world, reporter, persona) {}

ClientConnection::~ClientConnection() {
  total_->bytes -= Queued();
  close(fd_);
}

// The total's bound is kept by the server, which disconnects the clients
// holding the most right after the frame or the round of input that passed
// it: a client that reads keeps its frame records.
bool ClientConnection::Deliver(const Bytes& record, bool droppable) {
  std::size_t queued = Queued();
  if (droppable && queued + record.size() > kDropAbove) {
    return false;
  }
  if (queued + record.size() > kDropClientAbove) {
    overflowed_ = true;
    return false;
  }
  Queue(record);
  return true;
}

void ClientConnection::Queue(const Bytes& record) {
  out_.insert(out_.end(), record.begin(), record.end());
  total_->bytes += record.size();
}

void ClientConnection::Sent(std::size_t bytes) {
  outStart_ += bytes;
  total_->bytes -= bytes;
}

bool ClientConnection::WantsInput() const { return !closed_ && Unhandled() < kInputHold; }

bool ClientConnection::HasPacketReady() const {
  std::size_t size = 0;
  return allowance_ > 0 &&
         NextPacket(in_.data() + inStart_, Unhandled(), &size) != FrameStatus::kNeedMore;
}

bool ClientConnection::Read(std::string* reason) {
  if (!WantsInput()) {
    return true;
  }
  std::uint8_t chunk[kReadChunk];
  ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
  if (got == 0) {
    closed_ = true;  // what it sent before it closed is still handled
  } else if (got < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      *reason = std::string("receive failed: ") + std::strerror(errno);
      return false;
    }
  } else {
    // Handled bytes go only once they are a whole chunk's worth, so the
    // bytes left are moved at most once for each chunk consumed.
    if (inStart_ == in_.size() || inStart_ >= kReadChunk) {
      in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(inStart_));
      inStart_ = 0;
    }
    in_.insert(in_.end(), chunk, chunk + got);
  }
  return true;
}

bool ClientConnection::HandleNext(bool* handled, std::string* reason) {
  *handled = false;
  if (allowance_ == 0) {
    return true;
  }
  std::size_t size = 0;
  FrameStatus status = NextPacket(in_.data() + inStart_, Unhandled(), &size);
  if (status == FrameStatus::kCorrupt) {
    *reason = "corrupt stream (packet size " + std::to_string(GetU32(in_.data() + inStart_)) + ")";
    return false;
  }
  if (status == FrameStatus::kReady) {
    const std::uint8_t* packet = in_.data() + inStart_;
    inStart_ += size;
    --allowance_;
    session_.HandlePacket(packet, size);
    *handled = true;
  }
  return true;
}

bool ClientConnection::Finished() const {
  std::size_t size = 0;
  return closed_ && NextPacket(in_.data() + inStart_, Unhandled(), &size) == FrameStatus::kNeedMore;
}

bool ClientConnection::Receive(const std::uint8_t* data, std::size_t size, std::string* reason) {
  in_.insert(in_.end(), data, data + size);
  for (bool handled = true; handled;) {
    if (!HandleNext(&handled, reason)) {
      return false;
    }
  }
  in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(inStart_));
  inStart_ = 0;
  return true;
}

bool ClientConnection::Flush(std::string* reason) {
  if (overflowed_) {
    *reason = "not reading its records";
    return false;
  }
  while (HasOutput()) {
    ssize_t sent = send(fd_, out_.data() + outStart_, out_.size() - outStart_, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        break;
      }
      *reason = std::string("send failed: ") + std::strerror(errno);
      return false;
    }
    Sent(static_cast<std::size_t>(sent));
  }
  if (outStart_ == out_.size()) {
    out_.clear();
    outStart_ = 0;
  } else if (outStart_ > kDropAbove) {
    out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outStart_));
    outStart_ = 0;
  }
  return true;
}

}  // namespace standin
