// The program's calls from Open to Close as tests/program/registration.txt
// holds them: one call a line, its name and every argument but the handle,
// texts in double quotes; "#" starts a comment line, and the line "Loop"
// stands for the dispatch loop between registration and tear-down. Header
// only, so that the program's tests and the fuzz seed writer read it without
// linking the test support library.
#ifndef VANTILO_TESTS_SUPPORT_CALL_SEQUENCE_H
#define VANTILO_TESTS_SUPPORT_CALL_SEQUENCE_H

#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(VANTILO_SOURCE_DIR)
#define VANTILO_REGISTRATION_FILE VANTILO_SOURCE_DIR "/tests/program/registration.txt"
#endif

namespace support {

struct Call {
  std::string name;
  std::vector<std::string> args;  // as written, texts with their quotes

  std::string Text(std::size_t i) const { return args.at(i).substr(1, args.at(i).size() - 2); }
  std::uint32_t U32(std::size_t i) const {
    return static_cast<std::uint32_t>(std::stoul(args.at(i)));
  }
  float F32(std::size_t i) const { return std::stof(args.at(i)); }
  std::string Line() const {
    std::string line = name;
    for (const std::string& arg : args) {
      line += " " + arg;
    }
    return line;
  }
};

// One line's call; a quoted text runs to the next quote, blanks and all.
inline Call ParseCall(const std::string& line) {
  Call call;
  std::size_t at = line.find(' ');
  call.name = line.substr(0, at);
  while (at != std::string::npos && at < line.size()) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string::npos) {
      break;
    }
    std::size_t end = line[at] == '"' ? line.find('"', at + 1) : line.find(' ', at);
    if (line[at] == '"' && end == std::string::npos) {
      throw std::runtime_error("unclosed text in: " + line);
    }
    if (line[at] == '"') {
      ++end;
    }
    call.args.push_back(line.substr(at, end - at));
    at = end;
  }
  return call;
}

struct CallSequence {
  std::vector<Call> registration;  // Open first
  std::vector<Call> tearDown;      // Close last
};

// The calls of the text, split at the Loop line; throws when there is none.
inline CallSequence ParseCallSequence(const std::string& text) {
  CallSequence sequence;
  std::vector<Call>* part = &sequence.registration;
  bool looped = false;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    if (line == "Loop") {
      looped = true;
      part = &sequence.tearDown;
      continue;
    }
    part->push_back(ParseCall(line));
  }
  if (!looped) {
    throw std::runtime_error("no Loop line in the call sequence");
  }
  return sequence;
}

inline CallSequence ReadCallSequence(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw std::runtime_error("cannot read " + path);
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ParseCallSequence(text.str());
}

}  // namespace support

#endif
