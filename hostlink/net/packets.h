// The packets the client sends, encoded as bytes: a 16-byte header (size,
// protocol, 0xF0000000 | function id, send id) and the arguments in order,
// little-endian, packed, strings in 256-byte NUL-padded fields, as wire.h's
// packet table lays each function out. Pure functions, so tests and fuzzers
// can call them without a socket.
#ifndef VANTILO_HOSTLINK_NET_PACKETS_H
#define VANTILO_HOSTLINK_NET_PACKETS_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "hostlink/net/wire.h"

namespace vantilo_net {

typedef std::vector<std::uint8_t> Bytes;

// The protocol of the 10.0.60905 (FSX RTM) client, in every packet header
// the encoders write.
const std::uint32_t kProtocol = 2;
// The protocol of the FSX SP2 client (10.0.61259), which simulators that
// refuse kProtocol are reported to serve. Its packets differ from
// kProtocol's only in the header's protocol word and the Open's version.
const std::uint32_t kFallbackProtocol = 4;

// One argument for one field: a word, a float's bits, or a text.
struct Argument {
  wire::FieldKind kind;
  std::uint32_t word;  // kU32 and kF32
  const char* text;    // kText: at most 255 bytes kept (null counts as empty)
};

// The field kind an argument of type T fills: float a kF32, anything that is
// a C string a kText, a 32-bit integer or an enum a kU32. Nothing else fits.
template <typename T>
constexpr wire::FieldKind KindOf() {
  if constexpr (std::is_same_v<T, float>) {
    return wire::FieldKind::kF32;
  } else if constexpr (std::is_convertible_v<T, const char*>) {
    return wire::FieldKind::kText;
  } else {
    static_assert((std::is_integral_v<T> && sizeof(T) <= 4) || std::is_enum_v<T>,
                  "a packet field takes a float, a C string, or a 32-bit integer or enum");
    return wire::FieldKind::kU32;
  }
}

template <typename T>
Argument ArgumentOf(T value) {
  if constexpr (KindOf<T>() == wire::FieldKind::kF32) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return {wire::FieldKind::kF32, bits, nullptr};
  } else if constexpr (KindOf<T>() == wire::FieldKind::kText) {
    return {wire::FieldKind::kText, 0, value};
  } else {
    return {wire::FieldKind::kU32, static_cast<std::uint32_t>(value), nullptr};
  }
}

// Whether arguments of these types, in order, fill the function's fields.
// The row is taken by reference: a pointer compared with null (as
// UBSan's null check does) is no constant expression for GCC.
template <typename... Args>
constexpr bool Fills(wire::FunctionId function) {
  const wire::FieldKind kinds[] = {KindOf<Args>()..., wire::FieldKind::kU32};
  for (const wire::PacketLayout& layout : wire::kPacketLayouts) {
    if (layout.functionId != function) {
      continue;
    }
    bool fill = layout.fields.size() == sizeof...(Args);
    for (std::size_t i = 0; fill && i < sizeof...(Args); ++i) {
      fill = layout.fields[i].kind == kinds[i];
    }
    return fill;
  }
  return false;
}

// One packet of the function at kProtocol, laid out by wire.h's packet
// table: empty if the arguments do not fill its fields, kind for kind.
Bytes EncodePacket(wire::FunctionId function, std::uint32_t sendId, const Argument* args,
                   std::size_t count);

// The same, with the arguments checked against the table at compile time:
// Encode<wire::kMenuDeleteItem>(sendId, menuEventId).
template <wire::FunctionId Function, typename... Args>
Bytes Encode(std::uint32_t sendId, Args... args) {
  static_assert(Fills<Args...>(Function), "the arguments do not fill the packet table's row");
  const Argument list[] = {ArgumentOf(args)...};
  return EncodePacket(Function, sendId, list, sizeof...(Args));
}

// Open: name, a zero word, the "\0XSF" marker, then the client's version:
// 0.0, build 60905.0 at kProtocol; 10.0, build 61259.0 at kFallbackProtocol.
Bytes EncodeOpen(std::uint32_t sendId, const char* name, std::uint32_t protocol = kProtocol);
// Rewrites the protocol word of an encoded packet's header.
void StampProtocol(Bytes* packet, std::uint32_t protocol);

}  // namespace vantilo_net

#endif
