// Byte helpers for the host link's tests (see test_bytes.h): hex text both
// ways and little-endian words, so expected bytes read as they sit on the wire.
#include "test_bytes.h"

#include <cstdio>
#include <stdexcept>

namespace net_test {

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  std::string digits;
  for (char c : hex) {
    if (c != ' ' && c != '\n') {
      digits.push_back(c);
    }
  }
  if (digits.size() % 2 != 0) {
    throw std::invalid_argument("odd number of hex digits");
  }
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

void PutWord(Bytes* bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

Bytes Record(std::uint32_t id, const Bytes& body) {
  Bytes record;
  PutWord(&record, static_cast<std::uint32_t>(12 + body.size()));
  PutWord(&record, 2);
  PutWord(&record, id);
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

}  // namespace net_test
