// A fresh temporary folder made the current directory for one test, so the
// host link finds (or does not find) a SimConnect.cfg written by the test.
#ifndef VANTILO_TESTS_NET_WORK_DIR_H
#define VANTILO_TESTS_NET_WORK_DIR_H

#include <string>

namespace net_test {

class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  // Writes SimConnect.cfg with this text into the folder.
  void WriteCfg(const std::string& text);
  // Writes a [SimConnect] section pointing at 127.0.0.1:port.
  void WriteCfgForPort(int port);

 private:
  std::string previous_;
  std::string path_;
};

}  // namespace net_test

#endif
