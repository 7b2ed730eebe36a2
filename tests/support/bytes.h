// Byte helpers for the tests: hex text both ways, bounds-checked reads,
// records and packets with their headers; appending is standin/wire/bytes.h.
#ifndef VANTILO_TESTS_SUPPORT_BYTES_H
#define VANTILO_TESTS_SUPPORT_BYTES_H

#include <cstddef>
#include <cstdint>
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
Bytes FromHex(const std::string& hex);
// Bytes -> lower-case hex with no blanks.
std::string ToHex(const Bytes& bytes);
// "1c010000 02000000" -> "1c01000002000000": hex text without its blanks.
std::string Hex(const std::string& spaced);
// Hex of a 256-byte field holding text followed by NULs.
std::string HexField256(const std::string& text);

// The word or double at offset; std::out_of_range when the bytes end first.
std::uint32_t Word(const Bytes& bytes, std::size_t offset);
double Double(const Bytes& bytes, std::size_t offset);

Bytes Join(const std::vector<Bytes>& parts);

// A record: 12-byte header (size, protocol 2, id) followed by body.
Bytes Record(std::uint32_t id, const Bytes& body);
// A packet: 16-byte header (size, protocol, 0xF0000000 | function, send id) + body.
Bytes MakePacket(std::uint32_t function, std::uint32_t sendId, const Bytes& body,
                 std::uint32_t protocol = kProtocol);
// The Open packet of the given protocol ("XSF" marker, version 0.0, build 60905.0).
Bytes OpenPacket(std::uint32_t protocol, std::uint32_t sendId = 1,
                 const std::string& name = "Vantilo");

}  // namespace support

#endif
