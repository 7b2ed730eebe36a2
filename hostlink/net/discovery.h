// Where the open goes when no SimConnect.cfg names a simulator. On Linux:
// 127.0.0.1:2048, where vantilo-standin listens. On Windows the link looks
// for a simulator on this machine as SimConnect clients do: its named pipe,
// the port it publishes in the registry, then well-known ports
// (discovery_win32.cpp holds the list, each place with its source).
#ifndef VANTILO_HOSTLINK_NET_DISCOVERY_H
#define VANTILO_HOSTLINK_NET_DISCOVERY_H

#include <string>

#include "hostlink/net/config.h"
#include "hostlink/net/connection.h"

namespace vantilo_net {

// Connects to the first simulator found, within kConnectTimeoutMs in all,
// and sets *found to where it is, so that a second open goes to the same
// place. False, and one line saying what was tried, when none answers.
bool ConnectToLocalSimulator(Connection* connection, LinkSettings* found, std::string* problem);

}  // namespace vantilo_net

#endif
