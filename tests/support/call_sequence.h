// The program's calls as tests/program/registration.txt holds them (one a
// line: name, arguments, texts in quotes; "#" comments; "Loop" between
// registration and tear-down), and their packets. Header only: the fuzz
// seed writer uses it without the test support library.
#ifndef VANTILO_TESTS_SUPPORT_CALL_SEQUENCE_H
#define VANTILO_TESTS_SUPPORT_CALL_SEQUENCE_H

#include <cstdint>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostlink/net/packets.h"
#include "hostlink/net/wire.h"

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

// A call's packet (not the Open's), from the host link's encoder: its
// function and fields as wire.h's packet table lays them out. Throws
// std::out_of_range for what the table does not know.
inline std::vector<std::uint8_t> EncodeCall(std::uint32_t sendId, const Call& call) {
  const wire::PacketLayout* layout = nullptr;
  for (const wire::PacketLayout& candidate : wire::kPacketLayouts) {
    if (candidate.functionId != wire::kOpen && call.name == candidate.name) {
      layout = &candidate;
    }
  }
  if (layout == nullptr || layout->fields.size() != call.args.size()) {
    throw std::out_of_range("no packet for " + call.name + " with " +
                            std::to_string(call.args.size()) + " arguments");
  }
  std::vector<std::string> texts(call.args.size());
  std::vector<vantilo_net::Argument> args;
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    switch (layout->fields[i].kind) {
      case wire::FieldKind::kText:
        texts[i] = call.Text(i);
        args.push_back(vantilo_net::ArgumentOf(texts[i].c_str()));
        break;
      case wire::FieldKind::kF32:
        args.push_back(vantilo_net::ArgumentOf(call.F32(i)));
        break;
      case wire::FieldKind::kU32:
        args.push_back(vantilo_net::ArgumentOf(call.U32(i)));
        break;
    }
  }
  return vantilo_net::EncodePacket(layout->functionId, sendId, args.data(), args.size());
}

// The calls' packets one after another, send ids from firstSendId on: the
// Open's from the host link's EncodeOpen, and none for the Close.
inline std::vector<std::uint8_t> EncodeCalls(std::uint32_t firstSendId,
                                             const std::vector<Call>& calls) {
  std::vector<std::uint8_t> bytes;
  for (const Call& call : calls) {
    if (call.name != "Close") {
      const std::vector<std::uint8_t> packet =
          call.name == "Open" ? vantilo_net::EncodeOpen(firstSendId, call.Text(0).c_str())
                              : EncodeCall(firstSendId, call);
      bytes.insert(bytes.end(), packet.begin(), packet.end());
      ++firstSendId;
    }
  }
  return bytes;
}

}  // namespace support

#endif
