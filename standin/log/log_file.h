// A file the stand-in writes a log to, keeping the reason the first failed
// write or close gave (a full disk, say). It closes when it goes.
#ifndef VANTILO_STANDIN_LOG_LOG_FILE_H
#define VANTILO_STANDIN_LOG_LOG_FILE_H

#include <cstdio>
#include <memory>
#include <string>

namespace standin {

class LogFile {
 public:
  bool Open(const std::string& path);
  bool open() const { return file_ != nullptr; }
  std::FILE* get() const { return file_.get(); }
  // Notes errno's reason when ok is false and no failure is noted yet.
  void Wrote(bool ok);
  void Close();
  const std::string& failure() const { return failure_; }

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::string failure_;
};

}  // namespace standin

#endif
