// The client packets the stand-in understands: one table gives each
// function's fields, which drives the size check, the decoding, the trace's
// argument names and the 1-based parameter index of exceptions. It has one
// row for each wire::FunctionId, whose name it takes from wire.h's list.
#ifndef VANTILO_STANDIN_WIRE_PACKETS_H
#define VANTILO_STANDIN_WIRE_PACKETS_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "hostlink/net/wire.h"

namespace standin {

enum class FieldKind { kU32, kF32, kText };

struct FieldLayout {
  const char* name = nullptr;
  FieldKind kind = FieldKind::kU32;
};

// A packet's fields in order: a fixed array, so that the table is constexpr.
class FieldList {
 public:
  static constexpr std::size_t kMaxFields = 8;  // RequestDataOnSimObject's
  // More than kMaxFields fields make the table's constant initialization fail.
  constexpr FieldList(std::initializer_list<FieldLayout> fields) : count_(fields.size()) {
    std::size_t i = 0;
    for (const FieldLayout& field : fields) {
      fields_[i++] = field;
    }
  }
  constexpr std::size_t size() const { return count_; }
  constexpr const FieldLayout& operator[](std::size_t i) const { return fields_[i]; }
  constexpr const FieldLayout* begin() const { return fields_; }
  constexpr const FieldLayout* end() const { return fields_ + count_; }

 private:
  FieldLayout fields_[kMaxFields] = {};
  std::size_t count_;
};

struct PacketLayout {
  wire::FunctionId functionId;
  const char* name;
  FieldList fields;
  std::size_t Size() const;  // header included
};

// Null for a function the stand-in does not know. A layout's functionId is
// always one of wire::FunctionId's enumerators: the table holds one row for
// each of them and no other (checked at compile time).
const PacketLayout* FindPacketLayout(std::uint32_t functionId);

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
  const PacketLayout* layout = nullptr;  // set when the type is known
  std::vector<FieldValue> args;          // filled when the size fits the type

  std::uint32_t FunctionId() const { return type & ~wire::kPacketTypeMarker; }
  // Arguments by their 1-based index, as exception records count them.
  std::uint32_t U32(std::size_t index) const { return args.at(index - 1).u32; }
  float F32(std::size_t index) const { return args.at(index - 1).f32; }
  const std::string& Text(std::size_t index) const { return args.at(index - 1).text; }
};

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
