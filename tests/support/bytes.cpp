// Expected bytes are hex text, so a test reads as the bytes sit on the wire.
#include "tests/support/bytes.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace support {

Bytes FromHex(const std::string& hex) {
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

std::string ToHex(const Bytes& bytes) {
  std::string hex;
  char pair[3];
  for (std::uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  return hex;
}

std::string Hex(const std::string& spaced) { return ToHex(FromHex(spaced)); }

std::string HexField256(const std::string& text) {
  Bytes field(text.begin(), text.end());
  field.resize(256, 0);
  return ToHex(field);
}

std::uint32_t Word(const Bytes& bytes, std::size_t offset) {
  if (offset + 4 > bytes.size()) {
    throw std::out_of_range("no word at offset " + std::to_string(offset));
  }
  return standin::GetU32(bytes.data() + offset);
}

double Double(const Bytes& bytes, std::size_t offset) {
  if (offset + 8 > bytes.size()) {
    throw std::out_of_range("no double at offset " + std::to_string(offset));
  }
  return standin::GetF64(bytes.data() + offset);
}

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

Bytes Record(std::uint32_t id, const Bytes& body) {
  Bytes record;
  PutU32(record, static_cast<std::uint32_t>(12 + body.size()));
  PutU32(record, kProtocol);
  PutU32(record, id);
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

Bytes MakePacket(std::uint32_t function, std::uint32_t sendId, const Bytes& body,
                 std::uint32_t protocol) {
  Bytes out;
  PutU32(out, static_cast<std::uint32_t>(16 + body.size()));
  PutU32(out, protocol);
  PutU32(out, 0xF0000000u | function);
  PutU32(out, sendId);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes OpenPacket(std::uint32_t protocol, std::uint32_t sendId, const std::string& name) {
  Bytes body;
  PutText(body, name, 256);
  for (std::uint32_t value : {0u, 0x46535800u, 0u, 0u, 60905u, 0u}) {
    PutU32(body, value);  // 0x46535800: bytes 00 58 53 46, NUL 'X' 'S' 'F'
  }
  return MakePacket(0x01, sendId, body, protocol);
}

}  // namespace support
