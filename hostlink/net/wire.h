// The facts of SimConnect's TCP protocol that both ends of our wire share:
// function ids, the packet and record headers, the text field width and the
// size bounds. The client's encoder (hostlink/net) and the stand-in's parser
// (standin/) both take them from here; each codes the bytes on its own.
#ifndef VANTILO_HOSTLINK_NET_WIRE_H
#define VANTILO_HOSTLINK_NET_WIRE_H

#include <cstddef>
#include <cstdint>

namespace wire {

// Function ids: the low 28 bits of a packet's type word, as X(enumerator,
// value). The one list of them: the enum, kFunctionIds and kFunctionCount
// are made from it, and the stand-in's packet table (a static_assert) and
// its dispatch (-Wswitch) are checked against the enum at compile time.
#define VANTILO_WIRE_FUNCTIONS(X)             \
  X(kOpen, 0x01)                              \
  X(kMapClientEventToSimEvent, 0x04)          \
  X(kAddClientEventToNotificationGroup, 0x07) \
  X(kAddToDataDefinition, 0x0C)               \
  X(kRequestDataOnSimObject, 0x0E)            \
  X(kMapInputEventToClientEvent, 0x11)        \
  X(kSetInputGroupState, 0x15)                \
  X(kSubscribeToSystemEvent, 0x17)            \
  X(kCameraSetRelative6DOF, 0x30)             \
  X(kMenuAddItem, 0x31)                       \
  X(kMenuDeleteItem, 0x32)                    \
  X(kMenuAddSubItem, 0x33)                    \
  X(kMenuDeleteSubItem, 0x34)

#define VANTILO_WIRE_ENUMERATOR(name, value) name = value,
enum FunctionId : std::uint32_t { VANTILO_WIRE_FUNCTIONS(VANTILO_WIRE_ENUMERATOR) };
#undef VANTILO_WIRE_ENUMERATOR

// Every function id, in the list's order, and how many there are.
#define VANTILO_WIRE_ELEMENT(name, value) name,
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

}  // namespace wire

#endif
