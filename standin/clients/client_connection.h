// One client's connection: its non-blocking socket, its byte stream cut
// into packets and handed to its own Session within the frame's allowance,
// and its bounded queue of records to send.
#ifndef VANTILO_STANDIN_CLIENTS_CLIENT_CONNECTION_H
#define VANTILO_STANDIN_CLIENTS_CLIENT_CONNECTION_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "standin/clients/session.h"
#include "standin/log/reporter.h"
#include "standin/world/world.h"

namespace standin {

// What all connections have queued together, so that their total stays bounded.
struct QueueTotal {
  std::size_t bytes = 0;
  std::size_t bound = static_cast<std::size_t>(-1);
};

// Frame records are dropped for a client with more than this waiting.
const std::size_t kDropAbove = 256 * 1024;

class ClientConnection : public RecordSink {
 public:
  // total may be null: the connection's queue alone is bounded.
  ClientConnection(int fd, int id, World& world, Reporter& reporter, QueueTotal* total = nullptr,
                   const Persona& persona = DefaultPersona());
  ~ClientConnection() override;
  ClientConnection(const ClientConnection&) = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;

  bool Deliver(const Bytes& record, bool droppable) override;
  bool Refuses(std::size_t bytes) const override { return Queued() + bytes > kDropAbove; }
  // Reads what has arrived, unless enough waits unhandled already. False,
  // with a reason, when the socket has failed.
  bool Read(std::string* reason);
  // Handles the next whole packet, if one waits and the allowance has room;
  // *handled says whether it did. False, with a reason, on a corrupt stream.
  bool HandleNext(bool* handled, std::string* reason);
  // The client has closed its end and no whole packet of it is left.
  bool Finished() const;
  // Bytes already received: appends them and handles all the allowance lets.
  bool Receive(const std::uint8_t* data, std::size_t size, std::string* reason);
  // Sends as much of the queue as the socket takes; false on a broken socket
  // or a client that has not read for so long that even events overflow.
  bool Flush(std::string* reason);
  bool HasOutput() const { return outStart_ < out_.size(); }
  std::size_t Queued() const { return out_.size() - outStart_; }
  // Packets this connection may handle until the next frame.
  void AllowPackets(std::size_t packets) { allowance_ = packets; }
  // Whether it is worth reading more: the client is still sending and
  // little enough waits unhandled.
  bool WantsInput() const;
  // A whole packet waits and the allowance has room for it.
  bool HasPacketReady() const;
  int fd() const { return fd_; }
  Session& session() { return session_; }

 private:
  std::size_t Unhandled() const { return in_.size() - inStart_; }
  void Queue(const Bytes& record);
  void Sent(std::size_t bytes);

  int fd_;
  Bytes in_;
  std::size_t inStart_ = 0;  // packets before it are handled: input is consumed from the front
  Bytes out_;
  std::size_t outStart_ = 0;
  bool overflowed_ = false;
  bool closed_ = false;  // the client has closed its end; its last packets may still wait
  std::size_t allowance_ = static_cast<std::size_t>(-1);
  QueueTotal* total_;
  QueueTotal own_;  // stands in for the total when there is none
  Session session_;
};

}  // namespace standin

#endif
