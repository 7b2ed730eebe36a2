// The stand-in's trace, one JSON object per line, read field by field: enough
// JSON for the trace's own flat lines, no general parser.
#ifndef VANTILO_TESTS_SUPPORT_TRACE_LINES_H
#define VANTILO_TESTS_SUPPORT_TRACE_LINES_H

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace support {

namespace trace_scan {

// Index of the quote that closes the string opening at line[open].
inline std::size_t StringEnd(const std::string& line, std::size_t open) {
  std::size_t i = open + 1;
  while (i < line.size() && line[i] != '"') {
    i += line[i] == '\\' ? 2 : 1;
  }
  return i;
}

// The value starting at line[start] (at most line.size()), up to where it ends.
inline std::string ValueAt(const std::string& line, std::size_t start) {
  if (start < line.size() && line[start] == '"') {
    return line.substr(start + 1, StringEnd(line, start) - start - 1);
  }
  int depth = 0;
  std::size_t i = start;
  for (; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      i = StringEnd(line, i);
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (depth == 0) {
        break;
      }
      if (--depth == 0) {
        return line.substr(start, i + 1 - start);
      }
    } else if (c == ',' && depth == 0) {
      break;
    }
  }
  return line.substr(start, i - start);
}

}  // namespace trace_scan

// A top-level field of one line: a string without its quotes (escapes left
// as written), a number, true or false, an object or array as written;
// empty when the line has no such field. The scan tracks strings and depth,
// so a name in a nested object (a packet's "args") is never taken for it.
inline std::string Field(const std::string& line, const std::string& name) {
  int depth = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      std::size_t end = trace_scan::StringEnd(line, i);
      bool isKey = depth == 1 && end + 1 < line.size() && line[end + 1] == ':';
      if (isKey && line.compare(i + 1, end - i - 1, name) == 0) {
        return trace_scan::ValueAt(line, end + 2);
      }
      i = end;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return "";
}

// Visits each whole line (not one still being written); false if unreadable.
inline bool ForEachLine(const std::string& path,
                        const std::function<void(const std::string&)>& visit) {
  std::ifstream file(path);
  if (!file) {
    return false;
  }
  for (std::string line; std::getline(file, line) && !file.eof();) {
    visit(line);
  }
  return true;
}

// Whole lines of the file that contain every one of the texts.
inline std::size_t CountLines(const std::string& path, const std::string& text,
                              const std::string& alsoText = "") {
  std::size_t count = 0;
  ForEachLine(path, [&](const std::string& line) {
    if (line.find(text) != std::string::npos && line.find(alsoText) != std::string::npos) {
      ++count;
    }
  });
  return count;
}

// Waits at most timeoutMs until the file has a line as CountLines counts them.
inline bool WaitForLine(const std::string& path, const std::string& text, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (CountLines(path, text) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace support

#endif
