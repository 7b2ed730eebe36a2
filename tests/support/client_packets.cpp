// Client packets, each the golden file's form of its call (a name and its
// arguments as text) encoded by EncodeCall, field by field in order.
#include "tests/support/client_packets.h"

#include <cstdio>
#include <utility>

#include "tests/support/call_sequence.h"

namespace support {

namespace {

std::string Q(const std::string& text) { return "\"" + text + "\""; }
std::string N(std::uint32_t value) { return std::to_string(value); }
std::string F(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}
Bytes Of(std::uint32_t sendId, const char* name, std::vector<std::string> args) {
  return EncodeCall(sendId, Call{name, std::move(args)});
}

}  // namespace

Bytes MenuAddItem(std::uint32_t sendId, const std::string& text, std::uint32_t id) {
  return Of(sendId, "MenuAddItem", {Q(text), N(id), "12345"});
}

Bytes MenuAddSubItem(std::uint32_t sendId, std::uint32_t parent, const std::string& text,
                     std::uint32_t id) {
  return Of(sendId, "MenuAddSubItem", {N(parent), Q(text), N(id), "12345"});
}

Bytes MapClientEvent(std::uint32_t sendId, std::uint32_t id, const std::string& name) {
  return Of(sendId, "MapClientEventToSimEvent", {N(id), Q(name)});
}

Bytes MapPovInput(std::uint32_t sendId, std::uint32_t group, std::uint32_t downEvent,
                  const std::string& input) {
  return Of(sendId, "MapInputEventToClientEvent",
            {N(group), Q(input), N(downEvent), "0", N(kUnused), "0", "0"});
}

Bytes AddToGroup(std::uint32_t sendId, std::uint32_t group, std::uint32_t event) {
  return Of(sendId, "AddClientEventToNotificationGroup", {N(group), N(event), "0"});
}

Bytes SetInputGroupState(std::uint32_t sendId, std::uint32_t group, std::uint32_t state) {
  return Of(sendId, "SetInputGroupState", {N(group), N(state)});
}

Bytes Subscribe(std::uint32_t sendId, std::uint32_t id, const std::string& name) {
  return Of(sendId, "SubscribeToSystemEvent", {N(id), Q(name)});
}

Bytes AddDatum(std::uint32_t sendId, std::uint32_t define, const std::string& datum,
               const std::string& unit, std::uint32_t type) {
  return Of(sendId, "AddToDataDefinition",
            {N(define), Q(datum), Q(unit), N(type), "0", N(kUnused)});
}

Bytes RequestData(std::uint32_t sendId, std::uint32_t request, std::uint32_t define,
                  std::uint32_t period) {
  return Of(sendId, "RequestDataOnSimObject",
            {N(request), N(define), "0", N(period), "0", "0", "0", "0"});
}

Bytes Camera(std::uint32_t sendId, float pitch, float bank, float heading) {
  return Of(sendId, "CameraSetRelative6DOF", {"0", "0", "0", F(pitch), F(bank), F(heading)});
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

std::size_t ProgramRegistrationPackets() {
  return ReadCallSequence(VANTILO_REGISTRATION_FILE).registration.size() - 1;  // Open aside
}

Bytes ProgramTearDown(std::uint32_t firstSendId) {
  std::vector<Bytes> packets;
  for (const Call& call : ReadCallSequence(VANTILO_REGISTRATION_FILE).tearDown) {
    if (call.name != "Close") {
      packets.push_back(EncodeCall(firstSendId++, call));
    }
  }
  return Join(packets);
}

}  // namespace support
