// The client packets the stand-in understands, decoded by wire.h's packet
// table: a function's row drives the size check, the decoding, the trace's
// argument names and the 1-based parameter index of exceptions.
#ifndef VANTILO_STANDIN_WIRE_PACKETS_H
#define VANTILO_STANDIN_WIRE_PACKETS_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "hostlink/net/wire.h"

namespace standin {

struct FieldValue {
  std::uint32_t u32 = 0;
  float f32 = 0.0f;
  std::string text;
};

struct Packet {
  std::uint32_t size = 0;
  std::uint32_t protocol = 0;
  std::uint32_t type = 0;
  std::uint32_t sendId = 0;
  const wire::PacketLayout* layout = nullptr;  // set when the type is known
  std::vector<FieldValue> args;                // filled when the size fits the type

  std::uint32_t FunctionId() const { return type & ~wire::kPacketTypeMarker; }
  // Arguments by their 1-based index, as exception records count them.
  std::uint32_t U32(std::size_t index) const { return args.at(index - 1).u32; }
  float F32(std::size_t index) const { return args.at(index - 1).f32; }
  const std::string& Text(std::size_t index) const { return args.at(index - 1).text; }
};

// The 1-based index of the argument of that name in the function's row of
// wire.h's packet table, for Packet's accessors and exception records. Meant
// for constants: one naming an argument the row lacks does not compile.
constexpr std::size_t ArgIndex(wire::FunctionId function, std::string_view name) {
  const wire::PacketLayout* layout = wire::FindPacketLayout(function);
  for (std::size_t i = 0; i < layout->fields.size(); ++i) {
    if (name == layout->fields[i].name) {
      return i + 1;
    }
  }
  throw std::invalid_argument("no such argument in the packet table");
}

enum class DecodeResult { kOk, kUnknownType, kSizeMismatch };

// Decodes one whole packet (size >= 16, as framing guarantees).
DecodeResult DecodePacket(const std::uint8_t* data, std::size_t size, Packet* out);

enum class FrameStatus { kNeedMore, kReady, kCorrupt };

// Looks at the stream from its start: whether a whole packet is there, and
// its size. A size under wire::kPacketHeaderBytes or over wire::kMaxPacketBytes
// makes the stream corrupt.
FrameStatus NextPacket(const std::uint8_t* data, std::size_t available, std::size_t* packetSize);

}  // namespace standin

#endif
