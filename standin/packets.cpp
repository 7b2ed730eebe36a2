// The packet table and the table-driven decoder; layouts from the protocol
// notes (fields packed, texts in 256-byte NUL-padded fields).
#include "standin/packets.h"

#include "standin/bytes.h"

namespace standin {

namespace {

const FieldKind U = FieldKind::kU32;
const FieldKind F = FieldKind::kF32;
const FieldKind T = FieldKind::kText;

const std::vector<PacketLayout>& Table() {
  static const std::vector<PacketLayout> table = {
      {wire::kOpen,
       "Open",
       {{"application_name", T},
        {"reserved", U},
        {"magic", U},
        {"version_major", U},
        {"version_minor", U},
        {"build_major", U},
        {"build_minor", U}}},
      {wire::kMapClientEventToSimEvent,
       "MapClientEventToSimEvent",
       {{"event_id", U}, {"event_name", T}}},
      {wire::kAddClientEventToNotificationGroup,
       "AddClientEventToNotificationGroup",
       {{"group_id", U}, {"event_id", U}, {"maskable", U}}},
      {wire::kAddToDataDefinition,
       "AddToDataDefinition",
       {{"define_id", U},
        {"datum_name", T},
        {"units_name", T},
        {"datum_type", U},
        {"epsilon", F},
        {"datum_id", U}}},
      {wire::kRequestDataOnSimObject,
       "RequestDataOnSimObject",
       {{"request_id", U},
        {"define_id", U},
        {"object_id", U},
        {"period", U},
        {"flags", U},
        {"origin", U},
        {"interval", U},
        {"limit", U}}},
      {wire::kMapInputEventToClientEvent,
       "MapInputEventToClientEvent",
       {{"group_id", U},
        {"input_definition", T},
        {"down_event_id", U},
        {"down_value", U},
        {"up_event_id", U},
        {"up_value", U},
        {"maskable", U}}},
      {wire::kSetInputGroupState, "SetInputGroupState", {{"group_id", U}, {"state", U}}},
      {wire::kSubscribeToSystemEvent,
       "SubscribeToSystemEvent",
       {{"event_id", U}, {"event_name", T}}},
      {wire::kCameraSetRelative6DOF,
       "CameraSetRelative6DOF",
       {{"delta_x", F}, {"delta_y", F}, {"delta_z", F}, {"pitch", F}, {"bank", F}, {"heading", F}}},
      {wire::kMenuAddItem, "MenuAddItem", {{"text", T}, {"menu_event_id", U}, {"data", U}}},
      {wire::kMenuDeleteItem, "MenuDeleteItem", {{"menu_event_id", U}}},
      {wire::kMenuAddSubItem,
       "MenuAddSubItem",
       {{"menu_event_id", U}, {"text", T}, {"sub_menu_event_id", U}, {"data", U}}},
      {wire::kMenuDeleteSubItem,
       "MenuDeleteSubItem",
       {{"menu_event_id", U}, {"sub_menu_event_id", U}}},
  };
  return table;
}

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
  for (const PacketLayout& layout : Table()) {
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
