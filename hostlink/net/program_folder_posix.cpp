// The program's own folder on Linux, from the /proc/self/exe link.
#include <unistd.h>

#include "hostlink/net/program_folder.h"

namespace vantilo_net {

std::string ProgramFolder() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) {
    return std::string();
  }
  std::string exe(path, static_cast<std::size_t>(length));
  std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

std::string DocumentsFolder() { return std::string(); }

}  // namespace vantilo_net
