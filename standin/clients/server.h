// The stand-in's listening TCP socket: it accepts clients (at most
// maxClients), one ClientConnection each, and runs them under one poll():
// their packets handled in turns within the frame's input budget, and all
// their queues together bounded.
#ifndef VANTILO_STANDIN_CLIENTS_SERVER_H
#define VANTILO_STANDIN_CLIENTS_SERVER_H

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "standin/clients/client_connection.h"
#include "standin/clients/simulator.h"
#include "standin/log/reporter.h"
#include "standin/world/world.h"

namespace standin {

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
