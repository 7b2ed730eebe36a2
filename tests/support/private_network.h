// A network of the test's own (new user, network and mount namespaces, only
// a loopback interface): a test can take the link down under a running
// program or point the resolver at a loopback port; nothing leaves the machine.
// unshare(2) with the user mapped to root inside gives the rights to
// configure the network and to bind-mount.
#ifndef VANTILO_TESTS_SUPPORT_PRIVATE_NETWORK_H
#define VANTILO_TESTS_SUPPORT_PRIVATE_NETWORK_H

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/support/files.h"

namespace support {

namespace netns {

inline std::string Failed(const std::string& what) { return what + ": " + std::strerror(errno); }

inline bool WriteProcFile(const std::string& path, const std::string& text, std::string* why) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  const bool written =
      fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (!written) {
    *why = Failed("cannot write " + path);
  }
  close(fd);  // none when fd is -1
  return written;
}

}  // namespace netns

// Brings the private network's loopback interface up or down.
inline bool SetLoopbackUp(bool up, std::string* why) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  bool done = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (done) {
    request.ifr_flags =
        static_cast<short>(up ? request.ifr_flags | IFF_UP : request.ifr_flags & ~IFF_UP);
    done = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  }
  if (!done) {
    *why = netns::Failed(up ? "cannot bring lo up" : "cannot take lo down");
  }
  close(fd);  // none when fd is -1
  return done;
}

// Moves this process and its later children there, loopback up; call it
// with one thread. False (and why) where the system allows no namespaces.
inline bool EnterPrivateNetwork(std::string* why) {
  const uid_t uid = getuid();
  const gid_t gid = getgid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNET | CLONE_NEWNS) != 0) {
    *why = netns::Failed("namespaces are not allowed here (unshare)");
    return false;
  }
  if (!netns::WriteProcFile("/proc/self/setgroups", "deny", why) ||
      !netns::WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1", why) ||
      !netns::WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1", why)) {
    return false;
  }
  // Mounts made here stay here.
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    *why = netns::Failed("cannot make the mounts private");
    return false;
  }
  return SetLoopbackUp(true, why);
}

// Inside it: binds this text over /etc/resolv.conf for this process and later children.
inline bool UseResolverConfig(const std::string& text, std::string* why) {
  const std::string path = TempFile("resolv.conf", text);
  if (mount(path.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
    *why = netns::Failed("cannot bind " + path + " over /etc/resolv.conf");
    return false;
  }
  return true;
}

}  // namespace support

#endif
