// Temporary folders are flat (tests put only files in them), so removing
// one is unlinking its entries and then the folder itself.
#include "tests/support/files.h"

#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace support {

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  return static_cast<bool>(file);
}

TempFolder::TempFolder() {
  char pattern[] = "/tmp/vantilo-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  path_ = pattern;
}

TempFolder::~TempFolder() {
  if (DIR* folder = opendir(path_.c_str())) {
    while (const dirent* entry = readdir(folder)) {
      if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
        unlink(File(entry->d_name).c_str());
      }
    }
    closedir(folder);
  }
  rmdir(path_.c_str());
}

WorkDir::WorkDir() {
  std::vector<char> current(PATH_MAX);
  if (getcwd(current.data(), current.size()) == nullptr || chdir(path().c_str()) != 0) {
    throw std::runtime_error("cannot enter a temporary folder");
  }
  previous_ = current.data();
}

WorkDir::~WorkDir() {
  if (chdir(previous_.c_str()) != 0) {
    std::abort();  // every later test would run in a removed folder
  }
}

void WorkDir::WriteCfg(const std::string& text) { WriteFile(File("SimConnect.cfg"), text); }

void WorkDir::WriteCfgForPort(int port) { support::WriteCfgForPort(path(), port); }

bool WriteCfgForPort(const std::string& folder, int port) {
  return WriteFile(
      folder + "/SimConnect.cfg",
      "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(port) + "\n");
}

std::string TempFile(const std::string& name, const std::string& text) {
  static std::vector<std::unique_ptr<TempFolder>> folders;  // removed at exit
  folders.push_back(std::make_unique<TempFolder>());
  const std::string path = folders.back()->File(name);
  WriteFile(path, text);
  return path;
}

}  // namespace support
