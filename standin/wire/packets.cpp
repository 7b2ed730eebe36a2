// The packet table and the table-driven decoder; layouts from the protocol
// notes (fields packed, texts in 256-byte NUL-padded fields).
#include "standin/wire/packets.h"

#include <iterator>

#include "standin/wire/bytes.h"

namespace standin {

namespace {

constexpr FieldKind U = FieldKind::kU32;
constexpr FieldKind F = FieldKind::kF32;
constexpr FieldKind T = FieldKind::kText;

// A function's name in the trace and in notes: its enumerator's, without
// the k ("MenuAddItem" for wire::kMenuAddItem).
constexpr const char* FunctionName(wire::FunctionId id) {
  switch (id) {
#define VANTILO_NAME_CASE(enumerator, value) \
  case wire::enumerator:                     \
    return &#enumerator[1];
    VANTILO_WIRE_FUNCTIONS(VANTILO_NAME_CASE)
#undef VANTILO_NAME_CASE
  }
  return nullptr;  // not an enumerator: no row is made for one
}

constexpr PacketLayout Row(wire::FunctionId id, FieldList fields) {
  return {id, FunctionName(id), fields};
}

constexpr PacketLayout kTable[] = {
    Row(wire::kOpen, {{"application_name", T},
                      {"reserved", U},
                      {"magic", U},
                      {"version_major", U},
                      {"version_minor", U},
                      {"build_major", U},
                      {"build_minor", U}}),
    Row(wire::kMapClientEventToSimEvent, {{"event_id", U}, {"event_name", T}}),
    Row(wire::kAddClientEventToNotificationGroup,
        {{"group_id", U}, {"event_id", U}, {"maskable", U}}),
    Row(wire::kAddToDataDefinition, {{"define_id", U},
                                     {"datum_name", T},
                                     {"units_name", T},
                                     {"datum_type", U},
                                     {"epsilon", F},
                                     {"datum_id", U}}),
    Row(wire::kRequestDataOnSimObject, {{"request_id", U},
                                        {"define_id", U},
                                        {"object_id", U},
                                        {"period", U},
                                        {"flags", U},
                                        {"origin", U},
                                        {"interval", U},
                                        {"limit", U}}),
    Row(wire::kMapInputEventToClientEvent, {{"group_id", U},
                                            {"input_definition", T},
                                            {"down_event_id", U},
                                            {"down_value", U},
                                            {"up_event_id", U},
                                            {"up_value", U},
                                            {"maskable", U}}),
    Row(wire::kSetInputGroupState, {{"group_id", U}, {"state", U}}),
    Row(wire::kSubscribeToSystemEvent, {{"event_id", U}, {"event_name", T}}),
    Row(wire::kCameraSetRelative6DOF, {{"delta_x", F},
                                       {"delta_y", F},
                                       {"delta_z", F},
                                       {"pitch", F},
                                       {"bank", F},
                                       {"heading", F}}),
    Row(wire::kMenuAddItem, {{"text", T}, {"menu_event_id", U}, {"data", U}}),
    Row(wire::kMenuDeleteItem, {{"menu_event_id", U}}),
    Row(wire::kMenuAddSubItem,
        {{"menu_event_id", U}, {"text", T}, {"sub_menu_event_id", U}, {"data", U}}),
    Row(wire::kMenuDeleteSubItem, {{"menu_event_id", U}, {"sub_menu_event_id", U}}),
};

constexpr std::size_t RowsFor(wire::FunctionId id) {
  std::size_t rows = 0;
  for (const PacketLayout& layout : kTable) {
    rows += layout.functionId == id ? 1 : 0;
  }
  return rows;
}

// Exactly one row for each function id (naming the one it fails for), and so
// with no more rows than ids, none for anything else.
#define VANTILO_CHECK_ROW(enumerator, value)    \
  static_assert(RowsFor(wire::enumerator) == 1, \
                "the packet table needs exactly one row for wire::" #enumerator);
VANTILO_WIRE_FUNCTIONS(VANTILO_CHECK_ROW)
#undef VANTILO_CHECK_ROW
static_assert(
    std::size(kTable) <= wire::kFunctionCount,
    "the packet table has a row too many: for an id twice, or for one not in wire::FunctionId");

std::size_t FieldSize(FieldKind kind) {
  return kind == FieldKind::kText ? wire::kTextFieldBytes : 4;
}

}  // namespace

std::size_t PacketLayout::Size() const {
  std::size_t size = wire::kPacketHeaderBytes;
  for (const FieldLayout& field : fields) {
    size += FieldSize(field.kind);
  }
  return size;
}

const PacketLayout* FindPacketLayout(std::uint32_t functionId) {
  for (const PacketLayout& layout : kTable) {
    if (layout.functionId == functionId) {
      return &layout;
    }
  }
  return nullptr;
}

DecodeResult DecodePacket(const std::uint8_t* data, std::size_t size, Packet* out) {
  *out = Packet();
  out->size = GetU32(data);
  out->protocol = GetU32(data + 4);
  out->type = GetU32(data + 8);
  out->sendId = GetU32(data + 12);
  if ((out->type & wire::kPacketTypeMarker) != wire::kPacketTypeMarker) {
    return DecodeResult::kUnknownType;
  }
  out->layout = FindPacketLayout(out->FunctionId());
  if (out->layout == nullptr) {
    return DecodeResult::kUnknownType;
  }
  if (size != out->layout->Size()) {
    return DecodeResult::kSizeMismatch;
  }
  const std::uint8_t* at = data + wire::kPacketHeaderBytes;
  for (const FieldLayout& field : out->layout->fields) {
    FieldValue value;
    if (field.kind == FieldKind::kText) {
      value.text = GetText(at, wire::kTextFieldBytes);
    } else {
      value.u32 = GetU32(at);
      value.f32 = GetF32(at);
    }
    out->args.push_back(value);
    at += FieldSize(field.kind);
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
