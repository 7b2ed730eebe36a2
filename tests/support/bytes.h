// Byte helpers for the tests: hex text both ways, bounds-checked reads,
// records and packets with their headers; appending is standin/wire/bytes.h.
// Expected bytes are hex text, so a test reads as the bytes sit on the wire.
#ifndef VANTILO_TESTS_SUPPORT_BYTES_H
#define VANTILO_TESTS_SUPPORT_BYTES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "standin/wire/bytes.h"

namespace support {

using standin::Bytes;
using standin::PutText;
using standin::PutU32;

// The protocol of the client Vantilo is bound to, in every header.
const std::uint32_t kProtocol = 2;
const std::uint32_t kUnused = 0xFFFFFFFFu;

// "1c010000 02000000" -> bytes; blanks and line ends are ignored.
inline Bytes FromHex(const std::string& hex) {
  std::string digits = hex;
  digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
  digits.erase(std::remove(digits.begin(), digits.end(), '\n'), digits.end());
  if (digits.size() % 2 != 0) {
    throw std::invalid_argument("odd number of hex digits");
  }
  Bytes bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// Bytes -> lower-case hex with no blanks.
inline std::string ToHex(const Bytes& bytes) {
  std::string hex;
  for (std::uint8_t byte : bytes) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 0xF];
  }
  return hex;
}

// "1c010000 02000000" -> "1c01000002000000": hex text without its blanks.
inline std::string Hex(const std::string& spaced) { return ToHex(FromHex(spaced)); }

// Hex of a 256-byte field holding text followed by NULs.
inline std::string HexField256(const std::string& text) {
  Bytes field(text.begin(), text.end());
  field.resize(256, 0);
  return ToHex(field);
}

// The word or double at offset; std::out_of_range when the bytes end first.
inline std::uint32_t Word(const Bytes& bytes, std::size_t offset) {
  if (offset + 4 > bytes.size()) {
    throw std::out_of_range("no word at offset " + std::to_string(offset));
  }
  return standin::GetU32(bytes.data() + offset);
}

inline double Double(const Bytes& bytes, std::size_t offset) {
  if (offset + 8 > bytes.size()) {
    throw std::out_of_range("no double at offset " + std::to_string(offset));
  }
  return standin::GetF64(bytes.data() + offset);
}

// The words one after the other, little-endian.
inline Bytes Words(std::initializer_list<std::uint32_t> values) {
  Bytes out;
  for (std::uint32_t value : values) {
    PutU32(out, value);
  }
  return out;
}

inline Bytes Join(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

// A record: 12-byte header (size, protocol 2, id) followed by body.
inline Bytes Record(std::uint32_t id, const Bytes& body) {
  Bytes record;
  PutU32(record, static_cast<std::uint32_t>(12 + body.size()));
  PutU32(record, kProtocol);
  PutU32(record, id);
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

// A packet: 16-byte header (size, protocol, 0xF0000000 | function, send id) + body.
inline Bytes MakePacket(std::uint32_t function, std::uint32_t sendId, const Bytes& body,
                        std::uint32_t protocol = kProtocol) {
  Bytes out;
  PutU32(out, static_cast<std::uint32_t>(16 + body.size()));
  PutU32(out, protocol);
  PutU32(out, 0xF0000000u | function);
  PutU32(out, sendId);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// The Open packet of the given protocol ("XSF" marker, version 0.0, build 60905.0).
inline Bytes OpenPacket(std::uint32_t protocol, std::uint32_t sendId = 1,
                        const std::string& name = "Vantilo") {
  Bytes body;
  PutText(body, name, 256);
  for (std::uint32_t value : {0u, 0x46535800u, 0u, 0u, 60905u, 0u}) {
    PutU32(body, value);  // 0x46535800: bytes 00 58 53 46, NUL 'X' 'S' 'F'
  }
  return MakePacket(0x01, sendId, body, protocol);
}

}  // namespace support

#endif
