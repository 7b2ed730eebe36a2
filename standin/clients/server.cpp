// Non-blocking sockets under one poll() loop. All queues together are
// bounded: past the bound, the clients holding the most are disconnected at
// once. Client input is handled as a simulator's frame loop does, within a
// time budget per frame shared round by round among the clients; what a
// client sends beyond waits in the kernel. Neither ever blocks the loop.
#include "standin/clients/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace standin {

namespace {

using Clock = std::chrono::steady_clock;

// Packets handled per frame, shared among the clients, and the least share:
// an upper bound beside the time budget.
const std::size_t kPacketsPerFrame = 512;
const std::size_t kLeastPacketShare = 16;
const std::size_t kKernelSendBuffer = 64 * 1024;
// Listening pauses this long when accept() fails for want of descriptors.
const auto kAcceptPause = std::chrono::milliseconds(100);

void MakeNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }

}  // namespace

Server::Server(World& world, Reporter& reporter, Simulator& simulator, int maxClients,
               const Persona& persona, std::size_t allQueuesBytes)
    : world_(world),
      reporter_(reporter),
      simulator_(simulator),
      maxClients_(static_cast<std::size_t>(std::max(1, maxClients))),
      persona_(persona) {
  queued_.bound = allQueuesBytes;
  spareFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
}

Server::~Server() {
  CloseAll();
  if (spareFd_ >= 0) {
    close(spareFd_);
  }
}

bool Server::Listen(const std::string& address, int port, std::string* error) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<std::uint16_t>(port));
  if (port < 0 || port > 65535 || inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
    *error = "bad address " + address + ":" + std::to_string(port);
    return false;
  }
  listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
      listen(listenFd_, 16) != 0) {
    *error =
        "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  socklen_t length = sizeof where;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&where), &length);
  port_ = ntohs(where.sin_port);
  MakeNonBlocking(listenFd_);
  return true;
}

bool Server::Poll(std::chrono::nanoseconds timeout, int extraFd) {
  std::vector<pollfd> fds;
  bool listening = Clock::now() >= listenPausedUntil_;
  fds.push_back({listening ? listenFd_ : -1, POLLIN, 0});
  bool packetsReady = false;
  for (const auto& connection : connections_) {
    // A client whose input waits unhandled is not read (nor watched) until
    // it has been handled: its bytes wait in the kernel.
    short events = connection->WantsInput() ? POLLIN : 0;
    if (connection->HasOutput()) {
      events |= POLLOUT;
    }
    packetsReady = packetsReady || connection->HasPacketReady();
    fds.push_back({events != 0 ? connection->fd() : -1, events, 0});
  }
  // Packets waiting while the budget lasts are handled at once; past it
  // they wait for the next frame, and the loop sleeps until then.
  packetsReady = packetsReady && inputSpent_ < inputBudget_;
  if (packetsReady) {
    timeout = std::chrono::nanoseconds(0);
  }
  if (extraFd >= 0) {
    fds.push_back({extraFd, POLLIN, 0});
  }
  struct timespec wait;
  wait.tv_sec = static_cast<time_t>(timeout.count() / 1000000000);
  wait.tv_nsec = static_cast<long>(timeout.count() % 1000000000);
  int ready = ppoll(fds.data(), fds.size(), &wait, nullptr);
  if (ready < 0 || (ready == 0 && !packetsReady)) {
    return false;
  }

  std::vector<std::string> reasons(connections_.size());
  for (std::size_t i = 0; i < connections_.size(); ++i) {
    if ((fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      connections_[i]->Read(&reasons[i]);
    }
  }
  HandleInput(&reasons);
  // Newest first, so an index keeps naming its connection.
  for (std::size_t i = connections_.size(); i-- > 0;) {
    if (reasons[i].empty() && connections_[i]->Finished()) {
      reasons[i] = "closed by the client";
    }
    if (reasons[i].empty() && (fds[i + 1].revents & POLLOUT) != 0) {
      connections_[i]->Flush(&reasons[i]);
    }
    if (!reasons[i].empty()) {
      Drop(i, reasons[i]);
    }
  }
  if ((fds[0].revents & POLLIN) != 0) {
    Accept();
  }
  return extraFd >= 0 && (fds.back().revents & (POLLIN | POLLHUP)) != 0;
}

void Server::HandleInput(std::vector<std::string>* reasons) {
  const Clock::time_point start = Clock::now();
  const std::chrono::nanoseconds spentBefore = inputSpent_;
  const std::size_t count = connections_.size();
  for (bool handledAny = count > 0; handledAny;) {
    handledAny = false;
    for (std::size_t turn = 0; turn < count; ++turn) {
      const std::size_t i = (nextTurn_ + turn) % count;
      bool handled = false;
      if (!(*reasons)[i].empty() || !connections_[i]->HandleNext(&handled, &(*reasons)[i]) ||
          !handled) {
        continue;
      }
      handledAny = true;
      if (connections_[i]->session().opened()) {
        simulator_.Start();
      }
      inputSpent_ = spentBefore + (Clock::now() - start);
      if (inputSpent_ >= inputBudget_) {
        nextTurn_ = (i + 1) % count;
        return;
      }
    }
  }
}

std::size_t Server::PacketShare() const {
  return std::max(kLeastPacketShare, kPacketsPerFrame / (connections_.size() + 1));
}

void Server::NewFrame(std::chrono::nanoseconds inputBudget) {
  inputBudget_ = inputBudget;
  inputSpent_ = std::chrono::nanoseconds(0);
  const std::size_t share = PacketShare();
  for (const auto& connection : connections_) {
    connection->AllowPackets(share);
  }
}

void Server::EnforceQueueBound() {
  while (queued_.bytes > queued_.bound && !connections_.empty()) {
    auto most = std::max_element(
        connections_.begin(), connections_.end(),
        [](const std::unique_ptr<ClientConnection>& a, const std::unique_ptr<ClientConnection>& b) {
          return a->Queued() < b->Queued();
        });
    const std::size_t kib = ((*most)->Queued() + 1023) / 1024;
    Drop(static_cast<std::size_t>(most - connections_.begin()),
         "not reading its records (" + std::to_string(kib) +
             " KiB queued, the most while all "
             "queues passed " +
             std::to_string(queued_.bound / 1024) + " KiB)");
  }
}

void Server::FlushAll() {
  EnforceQueueBound();
  for (std::size_t i = connections_.size(); i-- > 0;) {
    std::string reason;
    if (!connections_[i]->Flush(&reason)) {
      Drop(i, reason);
    }
  }
}

void Server::CloseAll() {
  while (!connections_.empty()) {
    Drop(connections_.size() - 1, "the stand-in stops");
  }
  if (listenFd_ >= 0) {
    close(listenFd_);
  }
  listenFd_ = -1;
}

void Server::Accept() {
  int fd = accept(listenFd_, nullptr, nullptr);
  if (fd < 0 && (errno == EMFILE || errno == ENFILE) && spareFd_ >= 0) {
    // Out of descriptors: the spare one makes room to take the client off
    // the backlog and close it, rather than leave it waiting there.
    close(spareFd_);
    fd = accept(listenFd_, nullptr, nullptr);
    if (fd >= 0) {
      Refuse(fd, "out of descriptors");
    }
    spareFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
    fd = -1;
    errno = spareFd_ < 0 ? EMFILE : EAGAIN;
  }
  if (fd < 0) {
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      listenPausedUntil_ = Clock::now() + kAcceptPause;  // no busy loop
    }
    return;
  }
  if (connections_.size() >= maxClients_) {
    Refuse(fd, std::to_string(maxClients_) + " clients already");
    return;
  }
  MakeNonBlocking(fd);
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  // A small kernel buffer: frame data a client has not read soon is stale anyway.
  int sendBuffer = static_cast<int>(kKernelSendBuffer);
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
  int id = nextId_++;
  connections_.push_back(
      std::make_unique<ClientConnection>(fd, id, world_, reporter_, &queued_, persona_));
  connections_.back()->AllowPackets(PacketShare());
  simulator_.AddSession(&connections_.back()->session());
  reporter_.stats.clients++;
  JsonLine line = reporter_.Line("connect");
  reporter_.Trace(line.Int("client", id));
  // Clients may come and go without end: these lines are bounded too.
  reporter_.NoteRepeated(-1, "clients connected", "client " + std::to_string(id) + ": connected");
}

void Server::Refuse(int fd, const std::string& why) {
  close(fd);
  reporter_.stats.refused++;
  reporter_.NoteRepeated(-1, "clients refused", "client refused: " + why);
}

void Server::Drop(std::size_t index, const std::string& reason) {
  ClientConnection& connection = *connections_[index];
  int id = connection.session().id();
  std::string ignored;
  connection.Flush(&ignored);  // what is queued (a quit record, say) still goes out
  simulator_.RemoveSession(&connection.session());
  reporter_.ClientLeft(id);
  if (reporter_.latency != nullptr) {
    reporter_.latency->ClientLeft(id);
  }
  JsonLine line = reporter_.Line("disconnect");
  reporter_.Trace(line.Int("client", id).Str("reason", reason));
  reporter_.NoteRepeated(-1, "clients gone", "client " + std::to_string(id) + ": " + reason);
  connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace standin
