// The stand-in's sockets: a listening TCP socket and one non-blocking
// connection per client (at most maxClients), each feeding its byte stream,
// cut into packets, to its own Session within the frame's input budget, and
// holding a bounded queue of records to send.
#ifndef VANTILO_STANDIN_CLIENTS_SERVER_H
#define VANTILO_STANDIN_CLIENTS_SERVER_H

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "standin/clients/session.h"
#include "standin/clients/simulator.h"
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

class Server {
 public:
  // allQueuesBytes bounds all clients' queues together.
  Server(World& world, Reporter& reporter, Simulator& simulator, int maxClients = 64,
         const Persona& persona = DefaultPersona(), std::size_t allQueuesBytes = 64 * 1024 * 1024);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds and listens; port 0 picks a free port.
  bool Listen(const std::string& address, int port, std::string* error);
  int port() const { return port_; }
  // Waits up to timeout for activity, then accepts, reads and handles it.
  // Also watches extraFd (when >= 0) and returns whether it is readable.
  // The wait is as fine as the kernel allows, so frames keep their pace
  // even at 1000 fps.
  bool Poll(std::chrono::nanoseconds timeout, int extraFd);
  // A frame has passed: input may take inputBudget of time until the next
  // one, and each client may have its share of packets handled again.
  void NewFrame(std::chrono::nanoseconds inputBudget);
  // Disconnects the clients holding the most while all queues together are
  // past their bound, then sends what the sockets take.
  void FlushAll();
  std::size_t clientCount() const { return connections_.size(); }
  void CloseAll();

 private:
  // Packets each client may have handled per frame: an equal part of the
  // frame's budget, and never less than the least share.
  std::size_t PacketShare() const;
  // Whole packets of the clients in turn, one each a round, until none is
  // left or the frame's input budget is spent; the next call goes on with
  // the client after the last one served. Marks the failed in reasons.
  void HandleInput(std::vector<std::string>* reasons);
  void EnforceQueueBound();
  void Accept();
  void Refuse(int fd, const std::string& why);
  void Drop(std::size_t index, const std::string& reason);

  World& world_;
  Reporter& reporter_;
  Simulator& simulator_;
  std::size_t maxClients_;
  const Persona& persona_;
  int listenFd_ = -1;
  int spareFd_ = -1;  // given up to accept and close a client when descriptors run out
  std::chrono::steady_clock::time_point listenPausedUntil_;
  int port_ = 0;
  int nextId_ = 1;
  QueueTotal queued_;
  std::chrono::nanoseconds inputBudget_{0};
  std::chrono::nanoseconds inputSpent_{0};
  std::size_t nextTurn_ = 0;  // the client whose packet comes first in the next round
  std::vector<std::unique_ptr<ClientConnection>> connections_;
};

}  // namespace standin

#endif
