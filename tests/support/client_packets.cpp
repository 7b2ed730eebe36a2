// Client packet bodies, field by field in declaration order (packed), each
// wrapped in its header by MakePacket.
#include "tests/support/client_packets.h"

#include <map>
#include <stdexcept>
#include <utility>

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

Bytes EncodeCall(std::uint32_t sendId, const Call& call) {
  // Each operation's function and its fields: u a word, f a float, t a text.
  static const std::map<std::string, std::pair<std::uint32_t, std::string>> kLayouts = {
      {"MapClientEventToSimEvent", {0x04, "ut"}},
      {"AddClientEventToNotificationGroup", {0x07, "uuu"}},
      {"AddToDataDefinition", {0x0C, "uttufu"}},
      {"RequestDataOnSimObject", {0x0E, "uuuuuuuu"}},
      {"MapInputEventToClientEvent", {0x11, "utuuuuu"}},
      {"SetInputGroupState", {0x15, "uu"}},
      {"SubscribeToSystemEvent", {0x17, "ut"}},
      {"MenuAddItem", {0x31, "tuu"}},
      {"MenuDeleteItem", {0x32, "u"}},
      {"MenuAddSubItem", {0x33, "utuu"}},
      {"MenuDeleteSubItem", {0x34, "uu"}},
  };
  const auto& layout = kLayouts.at(call.name);
  if (layout.second.size() != call.args.size()) {
    throw std::invalid_argument("wrong number of arguments: " + call.Line());
  }
  Bytes body;
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    const char kind = layout.second[i];
    if ((kind == 't') != (call.args[i][0] == '"')) {
      throw std::invalid_argument("text where none belongs, or none where one does: " +
                                  call.Line());
    }
    if (kind == 't') {
      PutText(body, call.Text(i), 256);
    } else if (kind == 'f') {
      PutF32(body, call.F32(i));
    } else {
      PutU32(body, call.U32(i));
    }
  }
  return MakePacket(layout.first, sendId, body);
}

Bytes ProgramRegistration(bool inputOn) {
  std::vector<Bytes> packets;
  std::uint32_t sendId = 2;
  for (Call call : ReadCallSequence(VANTILO_REGISTRATION_FILE).registration) {
    if (call.name == "SetInputGroupState" && !inputOn) {
      call.args.at(1) = "0";
    }
    if (call.name != "Open") {
      packets.push_back(EncodeCall(sendId++, call));
    }
  }
  return Join(packets);
}

}  // namespace support
