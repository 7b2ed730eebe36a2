// A network of the test's own: the test process moves into new user,
// network and mount namespaces, where only a loopback interface exists, so
// a test can take the link down under a running program or point the name
// resolver at a loopback port, and no packet leaves the machine.
#ifndef VANTILO_TESTS_SUPPORT_PRIVATE_NETWORK_H
#define VANTILO_TESTS_SUPPORT_PRIVATE_NETWORK_H

#include <string>

namespace support {

// Moves this process, and the children it starts afterwards, into a
// private network with its loopback interface up. Call it while the process
// has one thread. False (and why) where the system allows no namespaces.
bool EnterPrivateNetwork(std::string* why);

// Brings the private network's loopback interface up or down.
bool SetLoopbackUp(bool up, std::string* why);

// Binds a file with this text over /etc/resolv.conf, for this process and
// the children it starts afterwards. Only inside a private network.
bool UseResolverConfig(const std::string& text, std::string* why);

}  // namespace support

#endif
