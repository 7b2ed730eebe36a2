// Client packets, one function per call, from the host link's encoder (the
// link and peer tests hold it to hand-written and node-simconnect's bytes).
// Send ids are the caller's, so a test can match exceptions to packets.
#ifndef VANTILO_TESTS_SUPPORT_CLIENT_PACKETS_H
#define VANTILO_TESTS_SUPPORT_CLIENT_PACKETS_H

#include "tests/support/bytes.h"

namespace support {

Bytes MenuAddItem(std::uint32_t sendId, const std::string& text, std::uint32_t id);
Bytes MenuAddSubItem(std::uint32_t sendId, std::uint32_t parent, const std::string& text,
                     std::uint32_t id);
Bytes MenuDeleteItem(std::uint32_t sendId, std::uint32_t id);
Bytes MapClientEvent(std::uint32_t sendId, std::uint32_t id, const std::string& name = "");
Bytes MapPovInput(std::uint32_t sendId, std::uint32_t group, std::uint32_t downEvent,
                  const std::string& input = "joystick:0:POV");
Bytes AddToGroup(std::uint32_t sendId, std::uint32_t group, std::uint32_t event);
Bytes SetInputGroupState(std::uint32_t sendId, std::uint32_t group, std::uint32_t state);
Bytes Subscribe(std::uint32_t sendId, std::uint32_t id, const std::string& name);
Bytes AddDatum(std::uint32_t sendId, std::uint32_t define, const std::string& datum,
               const std::string& unit, std::uint32_t type = 4);
Bytes RequestData(std::uint32_t sendId, std::uint32_t request, std::uint32_t define,
                  std::uint32_t period);
Bytes Camera(std::uint32_t sendId, float pitch, float bank, float heading);

// The program's registration after Open, as tests/program/registration.txt
// holds it, send ids from 2; with inputOn false the input group stays off.
Bytes ProgramRegistration(bool inputOn = true);
// How many packets that registration is.
std::size_t ProgramRegistrationPackets();
// The program's tear-down packets (Close sends none), send ids from firstSendId.
Bytes ProgramTearDown(std::uint32_t firstSendId);

}  // namespace support

#endif
