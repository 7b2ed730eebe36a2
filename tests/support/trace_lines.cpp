// The scan tracks strings and depth, so a name in a nested object (a
// packet's "args") is never taken for a top-level field.
#include "tests/support/trace_lines.h"

#include <chrono>
#include <fstream>
#include <thread>

namespace support {

namespace {

// Index of the quote that closes the string opening at line[open].
std::size_t StringEnd(const std::string& line, std::size_t open) {
  std::size_t i = open + 1;
  while (i < line.size() && line[i] != '"') {
    i += line[i] == '\\' ? 2 : 1;
  }
  return i;
}

// The value starting at line[start], up to where it ends.
std::string ValueAt(const std::string& line, std::size_t start) {
  if (start >= line.size()) {
    return "";
  }
  if (line[start] == '"') {
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

}  // namespace

std::string Field(const std::string& line, const std::string& name) {
  int depth = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      std::size_t end = StringEnd(line, i);
      bool isKey = depth == 1 && end + 1 < line.size() && line[end + 1] == ':';
      if (isKey && line.compare(i + 1, end - i - 1, name) == 0 && end - i - 1 == name.size()) {
        return ValueAt(line, end + 2);
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

bool ForEachLine(const std::string& path, const std::function<void(const std::string&)>& visit) {
  std::ifstream file(path);
  if (!file) {
    return false;
  }
  // A last line without its newline is still being written.
  for (std::string line; std::getline(file, line) && !file.eof();) {
    visit(line);
  }
  return true;
}

std::size_t CountLines(const std::string& path, const std::string& text,
                       const std::string& alsoText) {
  std::size_t count = 0;
  ForEachLine(path, [&](const std::string& line) {
    if (line.find(text) != std::string::npos && line.find(alsoText) != std::string::npos) {
      ++count;
    }
  });
  return count;
}

bool WaitForLine(const std::string& path, const std::string& text, int timeoutMs) {
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
