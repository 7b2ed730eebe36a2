// Client packets, one function per call, from the host link's encoder (the
// link and peer tests hold it to hand-written and node-simconnect's bytes).
// Send ids are the caller's, so a test can match exceptions to packets.
#ifndef VANTILO_TESTS_SUPPORT_CLIENT_PACKETS_H
#define VANTILO_TESTS_SUPPORT_CLIENT_PACKETS_H

#include "hostlink/net/packets.h"
#include "tests/support/bytes.h"
#include "tests/support/call_sequence.h"

namespace support {

inline Bytes MenuAddItem(std::uint32_t sendId, const std::string& text, std::uint32_t id) {
  return vantilo_net::Encode<wire::kMenuAddItem>(sendId, text.c_str(), id, 12345u);
}

inline Bytes MenuAddSubItem(std::uint32_t sendId, std::uint32_t parent, const std::string& text,
                            std::uint32_t id) {
  return vantilo_net::Encode<wire::kMenuAddSubItem>(sendId, parent, text.c_str(), id, 12345u);
}

inline Bytes MenuDeleteItem(std::uint32_t sendId, std::uint32_t id) {
  return vantilo_net::Encode<wire::kMenuDeleteItem>(sendId, id);
}

inline Bytes MapClientEvent(std::uint32_t sendId, std::uint32_t id, const std::string& name = "") {
  return vantilo_net::Encode<wire::kMapClientEventToSimEvent>(sendId, id, name.c_str());
}

inline Bytes MapPovInput(std::uint32_t sendId, std::uint32_t group, std::uint32_t downEvent,
                         const std::string& input = "joystick:0:POV") {
  return vantilo_net::Encode<wire::kMapInputEventToClientEvent>(sendId, group, input.c_str(),
                                                                downEvent, 0u, kUnused, 0u, 0u);
}

inline Bytes AddToGroup(std::uint32_t sendId, std::uint32_t group, std::uint32_t event) {
  return vantilo_net::Encode<wire::kAddClientEventToNotificationGroup>(sendId, group, event, 0u);
}

inline Bytes SetInputGroupState(std::uint32_t sendId, std::uint32_t group, std::uint32_t state) {
  return vantilo_net::Encode<wire::kSetInputGroupState>(sendId, group, state);
}

inline Bytes Subscribe(std::uint32_t sendId, std::uint32_t id, const std::string& name) {
  return vantilo_net::Encode<wire::kSubscribeToSystemEvent>(sendId, id, name.c_str());
}

inline Bytes AddDatum(std::uint32_t sendId, std::uint32_t define, const std::string& datum,
                      const std::string& unit, std::uint32_t type = 4) {
  return vantilo_net::Encode<wire::kAddToDataDefinition>(sendId, define, datum.c_str(),
                                                         unit.c_str(), type, 0.0f, kUnused);
}

inline Bytes RequestData(std::uint32_t sendId, std::uint32_t request, std::uint32_t define,
                         std::uint32_t period) {
  return vantilo_net::Encode<wire::kRequestDataOnSimObject>(sendId, request, define, 0u, period, 0u,
                                                            0u, 0u, 0u);
}

inline Bytes Camera(std::uint32_t sendId, float pitch, float bank, float heading) {
  return vantilo_net::Encode<wire::kCameraSetRelative6DOF>(sendId, 0.0f, 0.0f, 0.0f, pitch, bank,
                                                           heading);
}

// The program's registration after Open, as tests/program/registration.txt
// holds it, send ids from 2; with inputOn false the input group stays off.
inline Bytes ProgramRegistration(bool inputOn = true) {
  std::vector<Call> calls = ReadCallSequence(VANTILO_REGISTRATION_FILE).registration;
  calls.erase(calls.begin());  // the Open: send ids from 2
  for (Call& call : calls) {
    if (call.name == "SetInputGroupState" && !inputOn) {
      call.args.at(1) = "0";
    }
  }
  return EncodeCalls(2, calls);
}

// How many packets that registration is.
inline std::size_t ProgramRegistrationPackets() {
  return ReadCallSequence(VANTILO_REGISTRATION_FILE).registration.size() - 1;  // Open aside
}

// The program's tear-down packets (Close sends none), send ids from firstSendId.
inline Bytes ProgramTearDown(std::uint32_t firstSendId) {
  return EncodeCalls(firstSendId, ReadCallSequence(VANTILO_REGISTRATION_FILE).tearDown);
}

}  // namespace support

#endif
