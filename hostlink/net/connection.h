// The TCP socket under the host link: a connect with a time bound, sends
// that give up after about two seconds of a full socket, and reads that
// never wait. Knows nothing about packets or records.
#ifndef VANTILO_HOSTLINK_NET_CONNECTION_H
#define VANTILO_HOSTLINK_NET_CONNECTION_H

#include <cstddef>
#include <string>

#include "hostlink/net/config.h"
#include "hostlink/net/packets.h"
#include "hostlink/net/reassembly.h"

namespace vantilo_net {

// Bounds, in milliseconds: the whole connect, and one packet's send.
const int kConnectTimeoutMs = 3000;
const int kSendTimeoutMs = 2000;

class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { Close(); }

  // Connects to the configured address with Nagle off; false (and why) if
  // it cannot within kConnectTimeoutMs.
  bool Connect(const LinkSettings& settings, std::string* problem);
  // Sends all bytes; false when the peer is gone or the socket stayed full
  // for kSendTimeoutMs. The caller then treats the connection as lost.
  bool Send(const Bytes& packet);
  // Moves what has arrived (at most about maxBytes) into the splitter
  // without waiting; false when the stream has ended or failed.
  bool ReadAvailable(RecordSplitter* splitter, std::size_t maxBytes);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace vantilo_net

#endif
