// The connection's deadlines and loops, the same on every platform: the
// name lookup and the connect to each address found (or the pipe's open)
// share kConnectTimeoutMs, a send waits for room until kSendTimeoutMs, and
// a read takes what is already there. The system calls come from
// connection_platform.h.
#include "hostlink/net/connection.h"

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "hostlink/net/connection_platform.h"

namespace vantilo_net {

using sockets::Clock;

namespace {

const char kCfgPrefix[] = "SimConnect.cfg: ";

// The family the configured protocol connects with.
int Family(const LinkSettings& settings) {
  return settings.transport == Transport::IPv6 ? AF_INET6 : AF_INET;
}

// Where the open connects, as the failure messages name it: host:port, an
// IPv6 address in brackets.
std::string Where(const LinkSettings& settings) {
  const std::string port = ":" + std::to_string(settings.port);
  if (settings.address.find(':') != std::string::npos) {
    return "[" + settings.address + "]" + port;
  }
  return settings.address + port;
}

// A name lookup on a helper thread, so that the open's deadline bounds it
// (getaddrinfo itself may wait ten seconds or more for a resolver that does
// not answer). At the deadline the open lets go; the thread, whenever the
// resolver returns, then frees what it found. The thread works on its own
// copies of the name, the port and the hints, and this record lives until
// the later of the two lets go of it.
struct Lookup {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;
  int code = 0;
  addrinfo* addresses = nullptr;
};

// The helper thread's work. It holds a start of the socket library of its
// own (handed over by the open), as the open may stop its own first.
void LookUpOnHelper(std::shared_ptr<Lookup> lookup, std::string name, std::string port,
                    addrinfo hints) {
  addrinfo* addresses = nullptr;
  const int code = getaddrinfo(name.c_str(), port.c_str(), &hints, &addresses);
  {
    std::lock_guard<std::mutex> lock(lookup->mutex);
    if (lookup->abandoned) {
      if (code == 0) {
        freeaddrinfo(addresses);
      }
    } else {
      lookup->code = code;
      lookup->addresses = addresses;
    }
    lookup->done = true;
    lookup->finished.notify_all();
  }
  sockets::Stop();
}

enum class LookupResult { kFound, kUnknown, kTimedOut, kNoThread };

// Looks the name up by the deadline, on a helper thread. Without a thread
// there is no bound on the wait, so the lookup is not tried at all.
LookupResult LookUpBy(const std::string& name, const std::string& port, const addrinfo& hints,
                      Clock::time_point deadline, addrinfo** addresses) {
  std::string ignored;
  auto lookup = std::make_shared<Lookup>();
  if (!sockets::Start(&ignored)) {
    return LookupResult::kNoThread;
  }
  try {
    std::thread(LookUpOnHelper, lookup, name, port, hints).detach();
  } catch (const std::system_error&) {
    sockets::Stop();
    return LookupResult::kNoThread;
  }
  std::unique_lock<std::mutex> lock(lookup->mutex);
  if (!lookup->finished.wait_until(lock, deadline, [&lookup] { return lookup->done; })) {
    lookup->abandoned = true;
    return LookupResult::kTimedOut;
  }
  *addresses = lookup->addresses;
  return lookup->code == 0 ? LookupResult::kFound : LookupResult::kUnknown;
}

// The addresses of the configured host and numeric port for a TCP stream of
// the configured family; null (and a line saying why) if there are none. A
// numeric address is taken as it is, and checked against the protocol,
// before any name is looked up.
addrinfo* Resolve(const LinkSettings& settings, Clock::time_point deadline, std::string* problem) {
  struct addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  struct addrinfo* addresses = nullptr;
  const std::string port = std::to_string(settings.port);
  if (getaddrinfo(settings.address.c_str(), port.c_str(), &hints, &addresses) == 0) {
    if (addresses->ai_family == Family(settings)) {
      return addresses;
    }
    const char* family = addresses->ai_family == AF_INET6 ? "IPv6" : "IPv4";
    *problem = std::string(kCfgPrefix) + "Address '" + settings.address + "' is an " + family +
               " address: it needs Protocol=" + family;
    freeaddrinfo(addresses);
    return nullptr;
  }
  // No host name holds a colon: most likely a port written into the address.
  if (settings.address.find(':') != std::string::npos) {
    *problem = std::string(kCfgPrefix) + "bad Address '" + settings.address +
               "' (a host name or address, without a port)";
    return nullptr;
  }
  hints.ai_family = Family(settings);
  hints.ai_flags = AI_NUMERICSERV;
  addresses = nullptr;
  const LookupResult result = LookUpBy(settings.address, port, hints, deadline, &addresses);
  if (result == LookupResult::kFound) {
    return addresses;
  }
  *problem = std::string(kCfgPrefix) + "cannot resolve '" + settings.address + "'";
  if (result == LookupResult::kTimedOut) {
    *problem += " within " + std::to_string(kConnectTimeoutMs / 1000) + " s";
  } else if (result == LookupResult::kNoThread) {
    *problem += ": no thread could be started for the lookup";
  }
  return nullptr;
}

}  // namespace

int sockets::MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool Connection::Connect(const LinkSettings& settings, std::string* problem) {
  Close();
  if (!settings.usable) {
    *problem = kCfgPrefix + settings.problem;
    return false;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
  if (settings.transport == Transport::Pipe) {
    bool absent = false;
    if (OpenPipe(settings.pipe, deadline, problem, &absent)) {
      return true;
    }
    *problem = (settings.fromFile ? kCfgPrefix : "") + where_ + ": " + *problem;
    return false;
  }
  if (!sockets::Start(problem)) {
    return false;
  }
  addrinfo* addresses = Resolve(settings, deadline, problem);
  const bool connected = addresses != nullptr && ConnectTo(addresses, deadline, problem);
  if (addresses != nullptr) {
    freeaddrinfo(addresses);
  }
  sockets::Stop();
  if (addresses == nullptr) {
    return false;
  }
  where_ = Where(settings);
  if (!connected) {
    *problem = "connect to " + where_ + ": " + *problem;
  }
  return connected;
}

bool Connection::OpenPipe(const std::string& path, Deadline deadline, std::string* reason,
                          bool* absent) {
  Close();
  where_ = path;
  socket_ = pipes::Open(path, deadline, reason, absent);
  pipe_ = socket_ != kNoSocket;
  return pipe_;
}

bool Connection::ConnectLoopback(std::uint16_t port, Deadline deadline, std::string* reason) {
  Close();
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addrinfo entry;
  std::memset(&entry, 0, sizeof entry);
  entry.ai_family = AF_INET;
  entry.ai_socktype = SOCK_STREAM;
  entry.ai_protocol = IPPROTO_TCP;
  entry.ai_addrlen = sizeof address;
  entry.ai_addr = reinterpret_cast<sockaddr*>(&address);
  where_ = "127.0.0.1:" + std::to_string(port);
  return ConnectTo(&entry, deadline, reason);
}

// Connects to the first of the addresses that takes the connection, with
// the socket library started for as long as the socket lives.
bool Connection::ConnectTo(const addrinfo* addresses, Deadline deadline, std::string* reason) {
  if (!sockets::Start(reason)) {
    return false;
  }
  for (const addrinfo* address = addresses; address != nullptr && socket_ == kNoSocket;
       address = address->ai_next) {
    socket_ = sockets::ConnectOne(address, deadline, reason);
  }
  if (socket_ == kNoSocket) {
    sockets::Stop();
    return false;
  }
  return true;
}

SendResult Connection::Send(const std::vector<std::uint8_t>& packet, std::string* problem) {
  std::string unasked;
  std::string* why = problem != nullptr ? problem : &unasked;
  if (socket_ == kNoSocket) {
    *why = "not connected";
    return SendResult::kFailed;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
  if (pipe_) {
    return pipes::Send(socket_, packet.data(), packet.size(), deadline, why);
  }
  std::size_t sent = 0;
  while (sent < packet.size()) {
    const std::ptrdiff_t count =
        sockets::SendSome(socket_, packet.data() + sent, packet.size() - sent, why);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
    } else if (count != sockets::kWouldBlock) {
      return SendResult::kFailed;
    } else if (!sockets::WaitWritable(socket_, deadline)) {
      *why = "timed out";
      return SendResult::kTimedOut;
    }
  }
  return SendResult::kSent;
}

bool Connection::ReadAvailable(std::vector<std::uint8_t>* into, std::size_t maxBytes) {
  if (socket_ == kNoSocket) {
    return false;
  }
  std::uint8_t chunk[16 * 1024];
  std::size_t total = 0;
  while (total < maxBytes) {
    const std::ptrdiff_t count = pipe_ ? pipes::ReceiveSome(socket_, chunk, sizeof chunk)
                                       : sockets::ReceiveSome(socket_, chunk, sizeof chunk);
    if (count == sockets::kWouldBlock) {
      return true;
    }
    if (count <= 0) {
      return false;  // the server closed the stream, or it failed
    }
    into->insert(into->end(), chunk, chunk + count);
    total += static_cast<std::size_t>(count);
    if (static_cast<std::size_t>(count) < sizeof chunk) {
      return true;
    }
  }
  return true;
}

void Connection::Close() {
  if (socket_ != kNoSocket && pipe_) {
    pipes::Close(socket_);
  } else if (socket_ != kNoSocket) {
    sockets::CloseSocket(socket_);
    sockets::Stop();
  }
  socket_ = kNoSocket;
  pipe_ = false;
}

}  // namespace vantilo_net
