// The program's fixed console text, read from console_text.txt beside this
// header (the file says how it is laid out). Header-only, so that the
// program's tests, built for Windows too, need nothing else of
// tests/support; the including target defines VANTILO_SOURCE_DIR.
#ifndef VANTILO_TESTS_SUPPORT_CONSOLE_TEXT_H
#define VANTILO_TESTS_SUPPORT_CONSOLE_TEXT_H

#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

namespace support {

// The text called name, each {FIELD} replaced by its value in fields;
// throws std::runtime_error when the file holds no such text.
inline std::string ConsoleText(const std::string& name,
                               const std::map<std::string, std::string>& fields = {}) {
  const char path[] = VANTILO_SOURCE_DIR "/tests/support/console_text.txt";
  std::ifstream file(path, std::ios::binary);
  const std::string all = "\n" + std::string(std::istreambuf_iterator<char>(file), {});
  const std::string marker = "\n-- " + name + " --\n";
  const std::size_t begin = all.find(marker);
  const std::size_t end = all.find("\n-- ", begin + marker.size());
  if (begin == std::string::npos || end == std::string::npos) {
    throw std::runtime_error(std::string(path) + ": no text '" + name + "'");
  }
  std::string text = all.substr(begin + marker.size(), end - begin - marker.size());
  for (const auto& [field, value] : fields) {
    const std::string placeholder = "{" + field + "}";
    for (std::size_t at = 0; (at = text.find(placeholder, at)) != std::string::npos;) {
      text.replace(at, placeholder.size(), value);
      at += value.size();
    }
  }
  return text;
}

}  // namespace support

#endif
