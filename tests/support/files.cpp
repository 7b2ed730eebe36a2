#include "tests/support/files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

namespace support {

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
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
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

WorkDir::WorkDir() : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(path());
}

WorkDir::~WorkDir() {
  std::error_code error;
  std::filesystem::current_path(previous_, error);
  if (error) {
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
