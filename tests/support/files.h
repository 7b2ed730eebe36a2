// Whole-file reads and writes, temporary folders and files, and a work
// folder made the current one (where the host link finds SimConnect.cfg).
#ifndef VANTILO_TESTS_SUPPORT_FILES_H
#define VANTILO_TESTS_SUPPORT_FILES_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace support {

// The whole file; empty when it cannot be read.
inline std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Creates or replaces the file; false when it cannot be written.
inline bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  return static_cast<bool>(file);
}

// Writes folder/SimConnect.cfg for 127.0.0.1:port; false when it cannot.
inline bool WriteCfgForPort(const std::string& folder, int port) {
  return WriteFile(
      folder + "/SimConnect.cfg",
      "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(port) + "\n");
}

// A fresh folder under /tmp, removed with what it holds; throws
// std::runtime_error when it cannot be made.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/vantilo-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      throw std::runtime_error("cannot make a temporary folder");
    }
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A TempFolder that is the current directory while it lives.
class WorkDir : public TempFolder {
 public:
  WorkDir() : previous_(std::filesystem::current_path()) { std::filesystem::current_path(path()); }
  ~WorkDir() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
    if (error) {
      std::abort();  // every later test would run in a removed folder
    }
  }

  // Writes SimConnect.cfg with this text into the folder.
  void WriteCfg(const std::string& text) { WriteFile(File("SimConnect.cfg"), text); }
  // Writes a [SimConnect] section pointing at 127.0.0.1:port.
  void WriteCfgForPort(int port) { support::WriteCfgForPort(path(), port); }

 private:
  std::string previous_;
};

// A fresh file with text, in a folder of its own; both go when the program ends.
inline std::string TempFile(const std::string& name, const std::string& text) {
  static std::vector<std::unique_ptr<TempFolder>> folders;  // removed at exit
  folders.push_back(std::make_unique<TempFolder>());
  const std::string path = folders.back()->File(name);
  WriteFile(path, text);
  return path;
}

}  // namespace support

#endif
