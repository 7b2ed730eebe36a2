// Client packet bodies, field by field in declaration order (packed), each
// wrapped in its header by MakePacket.
#include "tests/support/client_packets.h"

namespace support {

Bytes MenuAddItem(std::uint32_t sendId, const std::string& text, std::uint32_t id) {
  Bytes body;
  PutText(body, text, 256);
  PutU32(body, id);
  PutU32(body, 12345);
  return MakePacket(0x31, sendId, body);
}

Bytes MenuAddSubItem(std::uint32_t sendId, std::uint32_t parent, const std::string& text,
                     std::uint32_t id) {
  Bytes body;
  PutU32(body, parent);
  PutText(body, text, 256);
  PutU32(body, id);
  PutU32(body, 12345);
  return MakePacket(0x33, sendId, body);
}

namespace {

// The body of both MapClientEventToSimEvent and SubscribeToSystemEvent.
Bytes IdAndName(std::uint32_t function, std::uint32_t sendId, std::uint32_t id,
                const std::string& name) {
  Bytes body;
  PutU32(body, id);
  PutText(body, name, 256);
  return MakePacket(function, sendId, body);
}

}  // namespace

Bytes MapClientEvent(std::uint32_t sendId, std::uint32_t id, const std::string& name) {
  return IdAndName(0x04, sendId, id, name);
}

Bytes MapPovInput(std::uint32_t sendId, std::uint32_t group, std::uint32_t downEvent,
                  const std::string& input) {
  Bytes body;
  PutU32(body, group);
  PutText(body, input, 256);
  for (std::uint32_t value : {downEvent, 0u, kUnused, 0u, 0u}) {
    PutU32(body, value);
  }
  return MakePacket(0x11, sendId, body);
}

Bytes AddToGroup(std::uint32_t sendId, std::uint32_t group, std::uint32_t event) {
  Bytes body;
  for (std::uint32_t value : {group, event, 0u}) {
    PutU32(body, value);
  }
  return MakePacket(0x07, sendId, body);
}

Bytes SetInputGroupState(std::uint32_t sendId, std::uint32_t group, std::uint32_t state) {
  Bytes body;
  PutU32(body, group);
  PutU32(body, state);
  return MakePacket(0x15, sendId, body);
}

Bytes Subscribe(std::uint32_t sendId, std::uint32_t id, const std::string& name) {
  return IdAndName(0x17, sendId, id, name);
}

Bytes AddDatum(std::uint32_t sendId, std::uint32_t define, const std::string& datum,
               const std::string& unit, std::uint32_t type) {
  Bytes body;
  PutU32(body, define);
  PutText(body, datum, 256);
  PutText(body, unit, 256);
  PutU32(body, type);
  PutF32(body, 0.0f);
  PutU32(body, kUnused);
  return MakePacket(0x0C, sendId, body);
}

Bytes RequestData(std::uint32_t sendId, std::uint32_t request, std::uint32_t define,
                  std::uint32_t period) {
  Bytes body;
  for (std::uint32_t value : {request, define, 0u, period, 0u, 0u, 0u, 0u}) {
    PutU32(body, value);
  }
  return MakePacket(0x0E, sendId, body);
}

Bytes Camera(std::uint32_t sendId, float pitch, float bank, float heading) {
  Bytes body;
  for (float value : {0.0f, 0.0f, 0.0f, pitch, bank, heading}) {
    PutF32(body, value);
  }
  return MakePacket(0x30, sendId, body);
}

Bytes ProgramRegistration(bool inputOn) {
  return Join({
      MenuAddItem(2, "Vantilo", 19),
      MenuAddSubItem(3, 19, "Pause", 21),
      MenuAddSubItem(4, 19, "Exit", 20),
      MapClientEvent(5, 21),
      MapClientEvent(6, 20),
      MapClientEvent(7, 18),
      MapPovInput(8, 0, 18),
      AddToGroup(9, 0, 18),
      AddToGroup(10, 0, 21),
      AddToGroup(11, 0, 20),
      SetInputGroupState(12, 0, inputOn ? 1 : 0),
      Subscribe(13, 0, "Pause"),
      Subscribe(14, 1, "View"),
      Subscribe(15, 2, "1sec"),
      Subscribe(16, 3, "Frame"),
      AddDatum(17, 0, "PLANE PITCH DEGREES", "Radians"),
      AddDatum(18, 0, "PLANE BANK DEGREES", "Radians"),
      RequestData(19, 1, 0, 2),
  });
}

}  // namespace support
