// The facts of SimConnect's TCP protocol that both ends of our wire share:
// function ids, each client packet's fields, the packet and record headers,
// the text field width and the size bounds. The client's encoder
// (hostlink/net) and the stand-in's decoder (standin/) both work from the
// packet table here, so a wrong row would fool both alike: link_test.cpp
// holds each operation's packet against bytes written out by hand, and the
// peer tests hold the program's packets against node-simconnect's.
#ifndef VANTILO_HOSTLINK_NET_WIRE_H
#define VANTILO_HOSTLINK_NET_WIRE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace wire {

// Function ids: the low 28 bits of a packet's type word, as X(operation,
// value), the enumerator being k<operation>. The one list of them: the enum,
// kFunctionIds, kFunctionCount, the names and the stand-in's packet handlers
// are made from it, and the packet table below is checked against it.
#define VANTILO_WIRE_FUNCTIONS(X)            \
  X(Open, 0x01)                              \
  X(MapClientEventToSimEvent, 0x04)          \
  X(AddClientEventToNotificationGroup, 0x07) \
  X(AddToDataDefinition, 0x0C)               \
  X(RequestDataOnSimObject, 0x0E)            \
  X(MapInputEventToClientEvent, 0x11)        \
  X(SetInputGroupState, 0x15)                \
  X(SubscribeToSystemEvent, 0x17)            \
  X(CameraSetRelative6DOF, 0x30)             \
  X(MenuAddItem, 0x31)                       \
  X(MenuDeleteItem, 0x32)                    \
  X(MenuAddSubItem, 0x33)                    \
  X(MenuDeleteSubItem, 0x34)

#define VANTILO_WIRE_ENUMERATOR(name, value) k##name = value,
enum FunctionId : std::uint32_t { VANTILO_WIRE_FUNCTIONS(VANTILO_WIRE_ENUMERATOR) };
#undef VANTILO_WIRE_ENUMERATOR

// Every function id, in the list's order, and how many there are.
#define VANTILO_WIRE_ELEMENT(name, value) k##name,
constexpr FunctionId kFunctionIds[] = {VANTILO_WIRE_FUNCTIONS(VANTILO_WIRE_ELEMENT)};
#undef VANTILO_WIRE_ELEMENT
constexpr std::size_t kFunctionCount = sizeof kFunctionIds / sizeof kFunctionIds[0];

// The top four bits of every packet's type word, above the function id.
const std::uint32_t kPacketTypeMarker = 0xF0000000u;
// Client to server: size, protocol, type, send id.
const std::size_t kPacketHeaderBytes = 16;
// Server to client: size, protocol, record id.
const std::size_t kRecordHeaderBytes = 12;
// A SIMOBJECT_DATA record's words before its data block.
const std::size_t kObjectDataHeaderBytes = 40;
// Names, event names, menu texts: NUL-padded to this width.
const std::size_t kTextFieldBytes = 256;

// The client takes a record size outside these bounds as a corrupt stream.
const std::uint32_t kMinRecordBytes = kRecordHeaderBytes;
const std::uint32_t kMaxRecordBytes = 64 * 1024;
// The stand-in takes a larger packet as a corrupt stream; our largest is 544.
const std::size_t kMaxPacketBytes = 65536;

// What follows a packet's header: its fields in order, packed, little-endian.
enum class FieldKind { kU32, kF32, kText };

struct FieldLayout {
  const char* name = nullptr;  // as the stand-in's trace names the argument
  FieldKind kind = FieldKind::kU32;
};

constexpr FieldLayout U32(const char* name) { return {name, FieldKind::kU32}; }
constexpr FieldLayout F32(const char* name) { return {name, FieldKind::kF32}; }
constexpr FieldLayout Text(const char* name) { return {name, FieldKind::kText}; }

constexpr std::size_t FieldBytes(FieldKind kind) {
  return kind == FieldKind::kText ? kTextFieldBytes : 4;
}

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
  FunctionId functionId;
  const char* name;  // the enumerator's, without the k: "MenuAddItem"
  FieldList fields;

  constexpr std::size_t Size() const {  // header included
    std::size_t size = kPacketHeaderBytes;
    for (const FieldLayout& field : fields) {
      size += FieldBytes(field.kind);
    }
    return size;
  }
};

constexpr const char* FunctionName(FunctionId id) {
  switch (id) {
#define VANTILO_WIRE_NAME_CASE(name, value) \
  case k##name:                             \
    return #name;
    VANTILO_WIRE_FUNCTIONS(VANTILO_WIRE_NAME_CASE)
#undef VANTILO_WIRE_NAME_CASE
  }
  return nullptr;  // not an enumerator: no row is made for one
}

constexpr PacketLayout Row(FunctionId id, FieldList fields) {
  return {id, FunctionName(id), fields};
}

// Each client packet's fields, from the protocol notes: one row per function id.
inline constexpr PacketLayout kPacketLayouts[] = {
    Row(kOpen, {Text("application_name"), U32("reserved"), U32("magic"), U32("version_major"),
                U32("version_minor"), U32("build_major"), U32("build_minor")}),
    Row(kMapClientEventToSimEvent, {U32("event_id"), Text("event_name")}),
    Row(kAddClientEventToNotificationGroup, {U32("group_id"), U32("event_id"), U32("maskable")}),
    Row(kAddToDataDefinition, {U32("define_id"), Text("datum_name"), Text("units_name"),
                               U32("datum_type"), F32("epsilon"), U32("datum_id")}),
    Row(kRequestDataOnSimObject,
        {U32("request_id"), U32("define_id"), U32("object_id"), U32("period"), U32("flags"),
         U32("origin"), U32("interval"), U32("limit")}),
    Row(kMapInputEventToClientEvent,
        {U32("group_id"), Text("input_definition"), U32("down_event_id"), U32("down_value"),
         U32("up_event_id"), U32("up_value"), U32("maskable")}),
    Row(kSetInputGroupState, {U32("group_id"), U32("state")}),
    Row(kSubscribeToSystemEvent, {U32("event_id"), Text("event_name")}),
    Row(kCameraSetRelative6DOF, {F32("delta_x"), F32("delta_y"), F32("delta_z"), F32("pitch"),
                                 F32("bank"), F32("heading")}),
    Row(kMenuAddItem, {Text("text"), U32("menu_event_id"), U32("data")}),
    Row(kMenuDeleteItem, {U32("menu_event_id")}),
    Row(kMenuAddSubItem,
        {U32("menu_event_id"), Text("text"), U32("sub_menu_event_id"), U32("data")}),
    Row(kMenuDeleteSubItem, {U32("menu_event_id"), U32("sub_menu_event_id")}),
};

// The row for a function id; null for one not in the list.
constexpr const PacketLayout* FindPacketLayout(std::uint32_t functionId) {
  for (const PacketLayout& layout : kPacketLayouts) {
    if (layout.functionId == functionId) {
      return &layout;
    }
  }
  return nullptr;
}

constexpr std::size_t RowsFor(FunctionId id) {
  std::size_t rows = 0;
  for (const PacketLayout& layout : kPacketLayouts) {
    rows += layout.functionId == id ? 1 : 0;
  }
  return rows;
}

// Exactly one row for each function id (naming the one it fails for), and so
// with no more rows than ids, none for anything else.
#define VANTILO_WIRE_CHECK_ROW(name, value) \
  static_assert(RowsFor(k##name) == 1, "the packet table needs exactly one row for " #name);
VANTILO_WIRE_FUNCTIONS(VANTILO_WIRE_CHECK_ROW)
#undef VANTILO_WIRE_CHECK_ROW
static_assert(sizeof kPacketLayouts / sizeof kPacketLayouts[0] <= kFunctionCount,
              "the packet table has a row too many: for an id twice, or for one not in the list");

}  // namespace wire

#endif
