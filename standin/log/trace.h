// The trace: one JSON object per line. JsonLine builds one object with its
// fields in the order added; TraceFile writes finished lines to a file.
#ifndef VANTILO_STANDIN_LOG_TRACE_H
#define VANTILO_STANDIN_LOG_TRACE_H

#include <cstdint>
#include <string>

#include "standin/log/log_file.h"

namespace standin {

class JsonLine {
 public:
  JsonLine& Str(const char* key, const std::string& value);
  JsonLine& Int(const char* key, std::int64_t value);
  // Shortest text that reads back as the same double (17 significant digits).
  JsonLine& Num(const char* key, double value);
  // Shortest text that reads back as the same float (9 significant digits).
  JsonLine& Float(const char* key, float value);
  JsonLine& Bool(const char* key, bool value);
  // A value that is already JSON (a nested object or array).
  JsonLine& Raw(const char* key, const std::string& json);
  std::string Text() const { return "{" + body_ + "}"; }
  bool empty() const { return body_.empty(); }

 private:
  void Key(const char* key);
  std::string body_;
};

// A JSON string literal; bytes outside printable ASCII become \u00XX
// (client texts are Latin-1).
std::string JsonString(const std::string& text);
// A double as JSON, 17 significant digits (reads back bit for bit).
std::string JsonNumber(double value);

class TraceFile {
 public:
  bool Open(const std::string& path) { return file_.Open(path); }
  void Write(const JsonLine& line);
  void Close() { file_.Close(); }
  bool open() const { return file_.open(); }
  // The reason the first write that failed gave, or empty.
  const std::string& failure() const { return file_.failure(); }

 private:
  LogFile file_;
};

}  // namespace standin

#endif
