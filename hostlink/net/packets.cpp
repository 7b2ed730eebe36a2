// Packet encoding for the client side of the wire protocol. Every value is
// written byte by byte in little-endian order, so the result does not
// depend on the host's byte order.
#include "hostlink/net/packets.h"

#include <cstring>

namespace vantilo_net {

namespace {

void PutU32(Bytes* bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void SetU32(Bytes* bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    (*bytes)[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace

PacketWriter::PacketWriter(wire::FunctionId function)
    : function_(function), bytes_(wire::kPacketHeaderBytes, 0) {}

PacketWriter& PacketWriter::U32(std::uint32_t value) {
  PutU32(&bytes_, value);
  return *this;
}

PacketWriter& PacketWriter::F32(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  PutU32(&bytes_, bits);
  return *this;
}

PacketWriter& PacketWriter::String256(const char* text) {
  std::size_t length = 0;
  if (text != nullptr) {
    while (length < wire::kTextFieldBytes - 1 && text[length] != '\0') {
      ++length;
    }
  }
  const std::size_t start = bytes_.size();
  bytes_.resize(start + wire::kTextFieldBytes, 0);
  if (length > 0) {
    std::memcpy(&bytes_[start], text, length);
  }
  return *this;
}

Bytes PacketWriter::Finish(std::uint32_t sendId) {
  SetU32(&bytes_, 0, static_cast<std::uint32_t>(bytes_.size()));
  SetU32(&bytes_, 4, kProtocol);
  SetU32(&bytes_, 8, wire::kPacketTypeMarker | function_);
  SetU32(&bytes_, 12, sendId);
  return bytes_;
}

Bytes EncodeOpen(std::uint32_t sendId, const char* name, std::uint32_t protocol) {
  PacketWriter packet(wire::kOpen);
  packet.String256(name).U32(0);
  // The client alias marker: a NUL, then "XSF".
  packet.U32(0x46535800u);
  if (protocol == kFallbackProtocol) {
    packet.U32(10).U32(0).U32(61259).U32(0);  // the SP2 client
  } else {
    packet.U32(0).U32(0).U32(60905).U32(0);  // the RTM client sends 0.0
  }
  Bytes bytes = packet.Finish(sendId);
  StampProtocol(&bytes, protocol);
  return bytes;
}

void StampProtocol(Bytes* packet, std::uint32_t protocol) { SetU32(packet, 4, protocol); }

Bytes EncodeMenuAddItem(std::uint32_t sendId, const char* text, std::uint32_t menuEventId,
                        std::uint32_t data) {
  return PacketWriter(wire::kMenuAddItem).String256(text).U32(menuEventId).U32(data).Finish(sendId);
}

Bytes EncodeMenuAddSubItem(std::uint32_t sendId, std::uint32_t menuEventId, const char* text,
                           std::uint32_t subMenuEventId, std::uint32_t data) {
  return PacketWriter(wire::kMenuAddSubItem)
      .U32(menuEventId)
      .String256(text)
      .U32(subMenuEventId)
      .U32(data)
      .Finish(sendId);
}

Bytes EncodeMenuDeleteItem(std::uint32_t sendId, std::uint32_t menuEventId) {
  return PacketWriter(wire::kMenuDeleteItem).U32(menuEventId).Finish(sendId);
}

Bytes EncodeMenuDeleteSubItem(std::uint32_t sendId, std::uint32_t menuEventId,
                              std::uint32_t subMenuEventId) {
  return PacketWriter(wire::kMenuDeleteSubItem).U32(menuEventId).U32(subMenuEventId).Finish(sendId);
}

Bytes EncodeMapClientEventToSimEvent(std::uint32_t sendId, std::uint32_t eventId,
                                     const char* eventName) {
  return PacketWriter(wire::kMapClientEventToSimEvent)
      .U32(eventId)
      .String256(eventName)
      .Finish(sendId);
}

Bytes EncodeMapInputEventToClientEvent(std::uint32_t sendId, std::uint32_t groupId,
                                       const char* inputDefinition, std::uint32_t downEventId,
                                       std::uint32_t downValue, std::uint32_t upEventId,
                                       std::uint32_t upValue, std::uint32_t maskable) {
  return PacketWriter(wire::kMapInputEventToClientEvent)
      .U32(groupId)
      .String256(inputDefinition)
      .U32(downEventId)
      .U32(downValue)
      .U32(upEventId)
      .U32(upValue)
      .U32(maskable)
      .Finish(sendId);
}

Bytes EncodeAddClientEventToNotificationGroup(std::uint32_t sendId, std::uint32_t groupId,
                                              std::uint32_t eventId, std::uint32_t maskable) {
  return PacketWriter(wire::kAddClientEventToNotificationGroup)
      .U32(groupId)
      .U32(eventId)
      .U32(maskable)
      .Finish(sendId);
}

Bytes EncodeSetInputGroupState(std::uint32_t sendId, std::uint32_t groupId, std::uint32_t state) {
  return PacketWriter(wire::kSetInputGroupState).U32(groupId).U32(state).Finish(sendId);
}

Bytes EncodeSubscribeToSystemEvent(std::uint32_t sendId, std::uint32_t eventId,
                                   const char* systemEventName) {
  return PacketWriter(wire::kSubscribeToSystemEvent)
      .U32(eventId)
      .String256(systemEventName)
      .Finish(sendId);
}

Bytes EncodeAddToDataDefinition(std::uint32_t sendId, std::uint32_t defineId, const char* datumName,
                                const char* unitsName, std::uint32_t datumType, float epsilon,
                                std::uint32_t datumId) {
  return PacketWriter(wire::kAddToDataDefinition)
      .U32(defineId)
      .String256(datumName)
      .String256(unitsName)
      .U32(datumType)
      .F32(epsilon)
      .U32(datumId)
      .Finish(sendId);
}

Bytes EncodeRequestDataOnSimObject(std::uint32_t sendId, std::uint32_t requestId,
                                   std::uint32_t defineId, std::uint32_t objectId,
                                   std::uint32_t period, std::uint32_t flags, std::uint32_t origin,
                                   std::uint32_t interval, std::uint32_t limit) {
  return PacketWriter(wire::kRequestDataOnSimObject)
      .U32(requestId)
      .U32(defineId)
      .U32(objectId)
      .U32(period)
      .U32(flags)
      .U32(origin)
      .U32(interval)
      .U32(limit)
      .Finish(sendId);
}

Bytes EncodeCameraSetRelative6DOF(std::uint32_t sendId, float deltaX, float deltaY, float deltaZ,
                                  float pitchDeg, float bankDeg, float headingDeg) {
  return PacketWriter(wire::kCameraSetRelative6DOF)
      .F32(deltaX)
      .F32(deltaY)
      .F32(deltaZ)
      .F32(pitchDeg)
      .F32(bankDeg)
      .F32(headingDeg)
      .Finish(sendId);
}

}  // namespace vantilo_net
