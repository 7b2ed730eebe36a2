// The facts of SimConnect's TCP protocol that both ends of our wire share:
// function ids, the packet and record headers, the text field width and the
// size bounds. The client's encoder (hostlink/net) and the stand-in's parser
// (standin/) both take them from here; each codes the bytes on its own.
#ifndef VANTILO_HOSTLINK_NET_WIRE_H
#define VANTILO_HOSTLINK_NET_WIRE_H

#include <cstddef>
#include <cstdint>

namespace wire {

// Function ids: the low 28 bits of a packet's type word.
enum FunctionId : std::uint32_t {
  kOpen = 0x01,
  kMapClientEventToSimEvent = 0x04,
  kAddClientEventToNotificationGroup = 0x07,
  kAddToDataDefinition = 0x0C,
  kRequestDataOnSimObject = 0x0E,
  kMapInputEventToClientEvent = 0x11,
  kSetInputGroupState = 0x15,
  kSubscribeToSystemEvent = 0x17,
  kCameraSetRelative6DOF = 0x30,
  kMenuAddItem = 0x31,
  kMenuDeleteItem = 0x32,
  kMenuAddSubItem = 0x33,
  kMenuDeleteSubItem = 0x34
};

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
