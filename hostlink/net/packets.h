// The packets the client sends, encoded as bytes: a 16-byte header (size,
// protocol, 0xF0000000 | function id, send id) and the arguments in order,
// little-endian, packed, strings in 256-byte NUL-padded fields. Pure
// functions, so tests and fuzzers can call them without a socket.
#ifndef VANTILO_HOSTLINK_NET_PACKETS_H
#define VANTILO_HOSTLINK_NET_PACKETS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hostlink/net/wire.h"

namespace vantilo_net {

typedef std::vector<std::uint8_t> Bytes;

// The protocol of the 10.0.60905 (FSX RTM) client, in every packet header
// the encoders write.
const std::uint32_t kProtocol = 2;
// The protocol of the FSX SP2 client (10.0.61259), which simulators that
// refuse kProtocol are reported to serve. Its packets differ from
// kProtocol's only in the header's protocol word and the Open's version.
const std::uint32_t kFallbackProtocol = 4;

// Builds one packet: the header is written by Finish, once the size is known.
class PacketWriter {
 public:
  explicit PacketWriter(wire::FunctionId function);
  PacketWriter& U32(std::uint32_t value);
  PacketWriter& F32(float value);
  // At most 255 bytes of text (null counts as empty), then NULs to 256.
  PacketWriter& String256(const char* text);
  Bytes Finish(std::uint32_t sendId);

 private:
  std::uint32_t function_;
  Bytes bytes_;
};

// Open: name, a zero word, the "\0XSF" marker, then the client's version:
// 0.0, build 60905.0 at kProtocol; 10.0, build 61259.0 at kFallbackProtocol.
Bytes EncodeOpen(std::uint32_t sendId, const char* name, std::uint32_t protocol = kProtocol);
// Rewrites the protocol word of an encoded packet's header.
void StampProtocol(Bytes* packet, std::uint32_t protocol);
Bytes EncodeMenuAddItem(std::uint32_t sendId, const char* text, std::uint32_t menuEventId,
                        std::uint32_t data);
Bytes EncodeMenuAddSubItem(std::uint32_t sendId, std::uint32_t menuEventId, const char* text,
                           std::uint32_t subMenuEventId, std::uint32_t data);
Bytes EncodeMenuDeleteItem(std::uint32_t sendId, std::uint32_t menuEventId);
Bytes EncodeMenuDeleteSubItem(std::uint32_t sendId, std::uint32_t menuEventId,
                              std::uint32_t subMenuEventId);
Bytes EncodeMapClientEventToSimEvent(std::uint32_t sendId, std::uint32_t eventId,
                                     const char* eventName);
Bytes EncodeMapInputEventToClientEvent(std::uint32_t sendId, std::uint32_t groupId,
                                       const char* inputDefinition, std::uint32_t downEventId,
                                       std::uint32_t downValue, std::uint32_t upEventId,
                                       std::uint32_t upValue, std::uint32_t maskable);
Bytes EncodeAddClientEventToNotificationGroup(std::uint32_t sendId, std::uint32_t groupId,
                                              std::uint32_t eventId, std::uint32_t maskable);
Bytes EncodeSetInputGroupState(std::uint32_t sendId, std::uint32_t groupId, std::uint32_t state);
Bytes EncodeSubscribeToSystemEvent(std::uint32_t sendId, std::uint32_t eventId,
                                   const char* systemEventName);
Bytes EncodeAddToDataDefinition(std::uint32_t sendId, std::uint32_t defineId, const char* datumName,
                                const char* unitsName, std::uint32_t datumType, float epsilon,
                                std::uint32_t datumId);
Bytes EncodeRequestDataOnSimObject(std::uint32_t sendId, std::uint32_t requestId,
                                   std::uint32_t defineId, std::uint32_t objectId,
                                   std::uint32_t period, std::uint32_t flags, std::uint32_t origin,
                                   std::uint32_t interval, std::uint32_t limit);
Bytes EncodeCameraSetRelative6DOF(std::uint32_t sendId, float deltaX, float deltaY, float deltaZ,
                                  float pitchDeg, float bankDeg, float headingDeg);

}  // namespace vantilo_net

#endif
