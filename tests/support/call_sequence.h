// The program's calls as tests/program/registration.txt holds them (one a
// line: name, arguments, texts in quotes; "#" comments; "Loop" between
// registration and tear-down), and their packets. Header only: the fuzz
// seed writer uses it without the test support library.
#ifndef VANTILO_TESTS_SUPPORT_CALL_SEQUENCE_H
#define VANTILO_TESTS_SUPPORT_CALL_SEQUENCE_H

#include <cstdint>
#include <fstream>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "standin/wire/bytes.h"

#if defined(VANTILO_SOURCE_DIR)
#define VANTILO_REGISTRATION_FILE VANTILO_SOURCE_DIR "/tests/program/registration.txt"
#endif

namespace support {

struct Call {
  std::string name;
  std::vector<std::string> args;  // as written, texts in their quotes

  std::string Text(std::size_t i) const { return args.at(i).substr(1, args.at(i).size() - 2); }
  std::uint32_t U32(std::size_t i) const { return std::stoul(args.at(i)); }
  float F32(std::size_t i) const { return std::stof(args.at(i)); }
};

struct CallSequence {
  std::vector<Call> registration;  // Open first
  std::vector<Call> tearDown;      // Close last
};

// Throws std::runtime_error when the file cannot be read or has no Loop.
inline CallSequence ReadCallSequence(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw std::runtime_error("cannot read " + path);
  }
  CallSequence sequence;
  std::vector<Call>* part = &sequence.registration;
  const std::regex token("\"[^\"]*\"|[^ ]+");
  for (std::string line; std::getline(file, line);) {
    if (line == "Loop") {
      part = &sequence.tearDown;
    } else if (!line.empty() && line[0] != '#') {
      Call call;
      for (std::sregex_iterator t(line.begin(), line.end(), token), end; t != end; ++t) {
        (call.name.empty() ? call.name : call.args.emplace_back()) = t->str();
      }
      part->push_back(call);
    }
  }
  if (part != &sequence.tearDown) {
    throw std::runtime_error(path + ": no Loop line");
  }
  return sequence;
}

// A call's packet (not the Open's), fields packed in argument order, texts
// in 256-byte fields; throws std::out_of_range for what it does not know.
inline standin::Bytes EncodeCall(std::uint32_t sendId, const Call& call) {
  // Each operation's function and its fields: u a word, f a float, t a text.
  static const std::map<std::string, std::pair<std::uint32_t, std::string>> kLayouts = {
      {"MapClientEventToSimEvent", {0x04, "ut"}},
      {"AddClientEventToNotificationGroup", {0x07, "uuu"}},
      {"AddToDataDefinition", {0x0C, "uttufu"}},
      {"RequestDataOnSimObject", {0x0E, "uuuuuuuu"}},
      {"MapInputEventToClientEvent", {0x11, "utuuuuu"}},
      {"SetInputGroupState", {0x15, "uu"}},
      {"SubscribeToSystemEvent", {0x17, "ut"}},
      {"CameraSetRelative6DOF", {0x30, "ffffff"}},
      {"MenuAddItem", {0x31, "tuu"}},
      {"MenuDeleteItem", {0x32, "u"}},
      {"MenuAddSubItem", {0x33, "utuu"}},
      {"MenuDeleteSubItem", {0x34, "uu"}},
  };
  const std::pair<std::uint32_t, std::string>& layout = kLayouts.at(call.name);
  if (layout.second.size() != call.args.size()) {
    throw std::out_of_range("wrong argument count for " + call.name);
  }
  standin::Bytes body;
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    if (layout.second[i] == 't') {
      standin::PutText(body, call.Text(i), 256);
    } else if (layout.second[i] == 'f') {
      standin::PutF32(body, call.F32(i));
    } else {
      standin::PutU32(body, call.U32(i));
    }
  }
  standin::Bytes packet;
  for (std::uint32_t word :
       {static_cast<std::uint32_t>(16 + body.size()), 2u, 0xF0000000u | layout.first, sendId}) {
    standin::PutU32(packet, word);
  }
  packet.insert(packet.end(), body.begin(), body.end());
  return packet;
}

}  // namespace support

#endif
