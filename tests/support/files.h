// Files and folders of a test: whole-file reads and writes, temporary
// folders removed with what they hold, a work folder made the current
// directory (where the host link looks for SimConnect.cfg), temporary files.
#ifndef VANTILO_TESTS_SUPPORT_FILES_H
#define VANTILO_TESTS_SUPPORT_FILES_H

#include <string>

namespace support {

// The whole file; empty when it cannot be read.
std::string FileText(const std::string& path);
// Creates or replaces the file; false when it cannot be written.
bool WriteFile(const std::string& path, const std::string& text);

// A fresh folder under /tmp; on destruction the files in it and the folder
// are removed. Throws std::runtime_error when it cannot be made.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // The path of a file in the folder.
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

// Writes folder/SimConnect.cfg, a [SimConnect] section pointing at
// 127.0.0.1:port; false when it cannot be written.
bool WriteCfgForPort(const std::string& folder, int port);

// Writes text to a fresh file in a folder of its own and returns its path;
// both are removed when the test program ends.
std::string TempFile(const std::string& name, const std::string& text);

}  // namespace support

#endif
