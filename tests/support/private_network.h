// A network of the test's own (new user, network and mount namespaces, only
// a loopback interface): a test can take the link down under a running
// program or point the resolver at a loopback port; nothing leaves the machine.
#ifndef VANTILO_TESTS_SUPPORT_PRIVATE_NETWORK_H
#define VANTILO_TESTS_SUPPORT_PRIVATE_NETWORK_H

#include <string>

namespace support {

// Moves this process and its later children there, loopback up; call it
// with one thread. False (and why) where the system allows no namespaces.
bool EnterPrivateNetwork(std::string* why);

// Brings the private network's loopback interface up or down.
bool SetLoopbackUp(bool up, std::string* why);

// Inside it: binds this text over /etc/resolv.conf for this process and later children.
bool UseResolverConfig(const std::string& text, std::string* why);

}  // namespace support

#endif
