// Without SimConnect.cfg the Linux link connects to 127.0.0.1:2048, the
// stand-in's port: no simulator runs on Linux itself.
#include "hostlink/net/discovery.h"

namespace vantilo_net {

bool ConnectToLocalSimulator(Connection* connection, LinkSettings* found, std::string* problem) {
  *found = DefaultLinkSettings();
  return connection->Connect(*found, problem);
}

}  // namespace vantilo_net
