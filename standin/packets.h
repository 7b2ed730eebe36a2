// The client packets the stand-in understands: one table gives each
// function's name and fields, which drives the size check, the decoding,
// the trace's argument names and the 1-based parameter index of exceptions.
#ifndef VANTILO_STANDIN_PACKETS_H
#define VANTILO_STANDIN_PACKETS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// Function ids: the low 28 bits of the packet type.
namespace fn {
const std::uint32_t kOpen = 0x01;
const std::uint32_t kMapClientEventToSimEvent = 0x04;
const std::uint32_t kAddClientEventToNotificationGroup = 0x07;
const std::uint32_t kAddToDataDefinition = 0x0C;
const std::uint32_t kRequestDataOnSimObject = 0x0E;
const std::uint32_t kMapInputEventToClientEvent = 0x11;
const std::uint32_t kSetInputGroupState = 0x15;
const std::uint32_t kSubscribeToSystemEvent = 0x17;
const std::uint32_t kCameraSetRelative6DOF = 0x30;
const std::uint32_t kMenuAddItem = 0x31;
const std::uint32_t kMenuDeleteItem = 0x32;
const std::uint32_t kMenuAddSubItem = 0x33;
const std::uint32_t kMenuDeleteSubItem = 0x34;
}  // namespace fn

const std::uint32_t kPacketTypeMarker = 0xF0000000u;
const std::size_t kPacketHeaderSize = 16;
// Anything larger is taken as a corrupt stream; our largest packet is 544 bytes.
const std::size_t kMaxPacketSize = 65536;
const std::size_t kTextWidth = 256;

enum class FieldKind { kU32, kF32, kText };

struct FieldLayout {
  const char* name;
  FieldKind kind;
};

struct PacketLayout {
  std::uint32_t functionId;
  const char* name;
  std::vector<FieldLayout> fields;
  std::size_t Size() const;  // header included
};

// Null for a function the stand-in does not know.
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

  std::uint32_t FunctionId() const { return type & ~kPacketTypeMarker; }
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
// its size. A size under 16 or over kMaxPacketSize makes the stream corrupt.
FrameStatus NextPacket(const std::uint8_t* data, std::size_t available, std::size_t* packetSize);

}  // namespace standin

#endif
