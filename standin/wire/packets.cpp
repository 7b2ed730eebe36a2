// The table-driven decoder: fields packed, texts in 256-byte NUL-padded fields.
#include "standin/wire/packets.h"

#include "standin/wire/bytes.h"

namespace standin {

DecodeResult DecodePacket(const std::uint8_t* data, std::size_t size, Packet* out) {
  *out = Packet();
  out->size = GetU32(data);
  out->protocol = GetU32(data + 4);
  out->type = GetU32(data + 8);
  out->sendId = GetU32(data + 12);
  if ((out->type & wire::kPacketTypeMarker) != wire::kPacketTypeMarker) {
    return DecodeResult::kUnknownType;
  }
  out->layout = wire::FindPacketLayout(out->FunctionId());
  if (out->layout == nullptr) {
    return DecodeResult::kUnknownType;
  }
  if (size != out->layout->Size()) {
    return DecodeResult::kSizeMismatch;
  }
  const std::uint8_t* at = data + wire::kPacketHeaderBytes;
  for (const wire::FieldLayout& field : out->layout->fields) {
    FieldValue value;
    if (field.kind == wire::FieldKind::kText) {
      value.text = GetText(at, wire::kTextFieldBytes);
    } else {
      value.u32 = GetU32(at);
      value.f32 = GetF32(at);
    }
    out->args.push_back(value);
    at += wire::FieldBytes(field.kind);
  }
  return DecodeResult::kOk;
}

FrameStatus NextPacket(const std::uint8_t* data, std::size_t available, std::size_t* packetSize) {
  if (available < 4) {
    return FrameStatus::kNeedMore;
  }
  std::uint32_t size = GetU32(data);
  if (size < wire::kPacketHeaderBytes || size > wire::kMaxPacketBytes) {
    return FrameStatus::kCorrupt;
  }
  *packetSize = size;
  return available >= size ? FrameStatus::kReady : FrameStatus::kNeedMore;
}

}  // namespace standin
