// unshare(2) with the user mapped to root inside gives the rights to
// configure the network and to bind-mount.
#include "tests/support/private_network.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/files.h"

namespace support {

namespace {

std::string Failed(const std::string& what) { return what + ": " + std::strerror(errno); }

bool WriteProcFile(const std::string& path, const std::string& text, std::string* why) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  const bool written =
      fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (!written) {
    *why = Failed("cannot write " + path);
  }
  if (fd >= 0) {
    close(fd);
  }
  return written;
}

}  // namespace

bool EnterPrivateNetwork(std::string* why) {
  const uid_t uid = getuid();
  const gid_t gid = getgid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNET | CLONE_NEWNS) != 0) {
    *why = Failed("namespaces are not allowed here (unshare)");
    return false;
  }
  if (!WriteProcFile("/proc/self/setgroups", "deny", why) ||
      !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1", why) ||
      !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1", why)) {
    return false;
  }
  // Mounts made here stay here.
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    *why = Failed("cannot make the mounts private");
    return false;
  }
  return SetLoopbackUp(true, why);
}

bool SetLoopbackUp(bool up, std::string* why) {
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
    *why = Failed(up ? "cannot bring lo up" : "cannot take lo down");
  }
  if (fd >= 0) {
    close(fd);
  }
  return done;
}

bool UseResolverConfig(const std::string& text, std::string* why) {
  const std::string path = TempFile("resolv.conf", text);
  if (mount(path.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
    *why = Failed("cannot bind " + path + " over /etc/resolv.conf");
    return false;
  }
  return true;
}

}  // namespace support
