// Byte helpers shared by the host link's tests: hex text to bytes and back,
// the 256-byte string fields, and little-endian words for building records.
#ifndef VANTILO_TESTS_NET_TEST_BYTES_H
#define VANTILO_TESTS_NET_TEST_BYTES_H

#include <cstdint>
#include <string>
#include <vector>

namespace net_test {

typedef std::vector<std::uint8_t> Bytes;

// "1c010000 02000000" -> bytes; blanks are ignored.
Bytes FromHex(const std::string& hex);
// "1c010000 02000000" -> "1c01000002000000": hex text without its blanks.
std::string Hex(const std::string& spaced);
// Bytes -> lower-case hex with no blanks.
std::string ToHex(const Bytes& bytes);
// Hex of a 256-byte field holding text followed by NULs.
std::string HexField256(const std::string& text);
// Appends a little-endian 32-bit word.
void PutWord(Bytes* bytes, std::uint32_t value);
// A record: 12-byte header (size, version 2, id) followed by body.
Bytes Record(std::uint32_t id, const Bytes& body);

}  // namespace net_test

#endif
