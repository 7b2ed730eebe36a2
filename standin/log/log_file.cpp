#include "standin/log/log_file.h"

#include <cerrno>
#include <cstring>

namespace standin {

bool LogFile::Open(const std::string& path) {
  file_.reset(std::fopen(path.c_str(), "w"));
  return open();
}

void LogFile::Wrote(bool ok) {
  if (!ok && failure_.empty()) {
    failure_ = std::strerror(errno);
  }
}

void LogFile::Close() {
  if (open()) {
    Wrote(std::fclose(file_.release()) == 0);
  }
}

}  // namespace standin
