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

#include "hostlink/net/wire.h"
#include "standin/wire/bytes.h"
#include "standin/wire/packets.h"

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

// A call's packet (not the Open's): its function and fields as the
// stand-in's packet table lays them out (itself checked against the host
// link's encoders and node-simconnect by the end-to-end and peer tests),
// texts in 256-byte fields. Throws std::out_of_range for what it does not know.
inline standin::Bytes EncodeCall(std::uint32_t sendId, const Call& call) {
  const standin::PacketLayout* layout = nullptr;
  for (wire::FunctionId id : wire::kFunctionIds) {
    const standin::PacketLayout* candidate = standin::FindPacketLayout(id);
    if (id != wire::kOpen && candidate != nullptr && call.name == candidate->name) {
      layout = candidate;
    }
  }
  if (layout == nullptr || layout->fields.size() != call.args.size()) {
    throw std::out_of_range("no packet for " + call.name + " with " +
                            std::to_string(call.args.size()) + " arguments");
  }
  standin::Bytes body;
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    switch (layout->fields[i].kind) {
      case standin::FieldKind::kText:
        standin::PutText(body, call.Text(i), wire::kTextFieldBytes);
        break;
      case standin::FieldKind::kF32:
        standin::PutF32(body, call.F32(i));
        break;
      case standin::FieldKind::kU32:
        standin::PutU32(body, call.U32(i));
        break;
    }
  }
  standin::Bytes packet;
  for (std::uint32_t word : {static_cast<std::uint32_t>(wire::kPacketHeaderBytes + body.size()), 2u,
                             wire::kPacketTypeMarker | layout->functionId, sendId}) {
    standin::PutU32(packet, word);
  }
  packet.insert(packet.end(), body.begin(), body.end());
  return packet;
}

}  // namespace support

#endif
