// The temporary working folder of a test: made and entered on construction,
// left and removed, with its SimConnect.cfg, on destruction.
#include "work_dir.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace net_test {

WorkDir::WorkDir() {
  std::vector<char> current(PATH_MAX);
  if (getcwd(current.data(), current.size()) == nullptr) {
    throw std::runtime_error("getcwd failed");
  }
  previous_ = current.data();
  char pattern[] = "/tmp/vantilo-net-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  path_ = pattern;
}

WorkDir::~WorkDir() {
  std::remove((path_ + "/SimConnect.cfg").c_str());
  if (chdir(previous_.c_str()) == 0) {
    rmdir(path_.c_str());
  }
}

void WorkDir::WriteCfg(const std::string& text) {
  std::ofstream file(path_ + "/SimConnect.cfg", std::ios::binary);
  file << text;
}

void WorkDir::WriteCfgForPort(int port) {
  WriteCfg("[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(port) + "\n");
}

}  // namespace net_test
