// Whole-file reads and writes, temporary folders and files, and a work
// folder made the current one (where the host link finds SimConnect.cfg).
#ifndef VANTILO_TESTS_SUPPORT_FILES_H
#define VANTILO_TESTS_SUPPORT_FILES_H

#include <string>

namespace support {

// The whole file; empty when it cannot be read.
std::string FileText(const std::string& path);
// Creates or replaces the file; false when it cannot be written.
bool WriteFile(const std::string& path, const std::string& text);

// A fresh folder under /tmp, removed with what it holds; throws
// std::runtime_error when it cannot be made.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
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
  WorkDir();
  ~WorkDir();

  // Writes SimConnect.cfg with this text into the folder.
  void WriteCfg(const std::string& text);
  // Writes a [SimConnect] section pointing at 127.0.0.1:port.
  void WriteCfgForPort(int port);

 private:
  std::string previous_;
};

// Writes folder/SimConnect.cfg for 127.0.0.1:port; false when it cannot.
bool WriteCfgForPort(const std::string& folder, int port);

// A fresh file with text, in a folder of its own; both go when the program ends.
std::string TempFile(const std::string& name, const std::string& text);

}  // namespace support

#endif
