// Client packets from the host link's encoder; the program's from its golden file.
#include "tests/support/client_packets.h"

#include "hostlink/net/packets.h"
#include "tests/support/call_sequence.h"

namespace support {

using vantilo_net::Encode;

Bytes MenuAddItem(std::uint32_t sendId, const std::string& text, std::uint32_t id) {
  return Encode<wire::kMenuAddItem>(sendId, text.c_str(), id, 12345u);
}

Bytes MenuAddSubItem(std::uint32_t sendId, std::uint32_t parent, const std::string& text,
                     std::uint32_t id) {
  return Encode<wire::kMenuAddSubItem>(sendId, parent, text.c_str(), id, 12345u);
}

Bytes MenuDeleteItem(std::uint32_t sendId, std::uint32_t id) {
  return Encode<wire::kMenuDeleteItem>(sendId, id);
}

Bytes MapClientEvent(std::uint32_t sendId, std::uint32_t id, const std::string& name) {
  return Encode<wire::kMapClientEventToSimEvent>(sendId, id, name.c_str());
}

Bytes MapPovInput(std::uint32_t sendId, std::uint32_t group, std::uint32_t downEvent,
                  const std::string& input) {
  return Encode<wire::kMapInputEventToClientEvent>(sendId, group, input.c_str(), downEvent, 0u,
                                                   kUnused, 0u, 0u);
}

Bytes AddToGroup(std::uint32_t sendId, std::uint32_t group, std::uint32_t event) {
  return Encode<wire::kAddClientEventToNotificationGroup>(sendId, group, event, 0u);
}

Bytes SetInputGroupState(std::uint32_t sendId, std::uint32_t group, std::uint32_t state) {
  return Encode<wire::kSetInputGroupState>(sendId, group, state);
}

Bytes Subscribe(std::uint32_t sendId, std::uint32_t id, const std::string& name) {
  return Encode<wire::kSubscribeToSystemEvent>(sendId, id, name.c_str());
}

Bytes AddDatum(std::uint32_t sendId, std::uint32_t define, const std::string& datum,
               const std::string& unit, std::uint32_t type) {
  return Encode<wire::kAddToDataDefinition>(sendId, define, datum.c_str(), unit.c_str(), type, 0.0f,
                                            kUnused);
}

Bytes RequestData(std::uint32_t sendId, std::uint32_t request, std::uint32_t define,
                  std::uint32_t period) {
  return Encode<wire::kRequestDataOnSimObject>(sendId, request, define, 0u, period, 0u, 0u, 0u, 0u);
}

Bytes Camera(std::uint32_t sendId, float pitch, float bank, float heading) {
  return Encode<wire::kCameraSetRelative6DOF>(sendId, 0.0f, 0.0f, 0.0f, pitch, bank, heading);
}

Bytes ProgramRegistration(bool inputOn) {
  std::vector<Call> calls = ReadCallSequence(VANTILO_REGISTRATION_FILE).registration;
  calls.erase(calls.begin());  // the Open: send ids from 2
  for (Call& call : calls) {
    if (call.name == "SetInputGroupState" && !inputOn) {
      call.args.at(1) = "0";
    }
  }
  return EncodeCalls(2, calls);
}

std::size_t ProgramRegistrationPackets() {
  return ReadCallSequence(VANTILO_REGISTRATION_FILE).registration.size() - 1;  // Open aside
}

Bytes ProgramTearDown(std::uint32_t firstSendId) {
  return EncodeCalls(firstSendId, ReadCallSequence(VANTILO_REGISTRATION_FILE).tearDown);
}

}  // namespace support
