// The simulator the stand-in plays (--simulator NAME): what its OPEN record
// reports, which client protocols it serves and how it refuses the others,
// the protocol number in its record headers, the length of its EVENT
// records, and whether camera commands move its camera. Values that come
// from no recording of the real simulator are marked as assumed where they
// are set (standin/wire/persona.cpp) and in standin/README.md.
#ifndef VANTILO_STANDIN_WIRE_PERSONA_H
#define VANTILO_STANDIN_WIRE_PERSONA_H

#include <cstdint>
#include <string>

#include "standin/wire/records.h"

namespace standin {

// A persona that serves every protocol from its lowest up.
const std::uint32_t kNoHighestProtocol = 0xFFFFFFFFu;

struct Persona {
  std::string name;  // as given to --simulator
  OpenFields open;
  // The SimConnect build in OPEN follows the client's protocol (as FSX's
  // own releases do) instead of open.simConnectBuildMajor/Minor.
  bool simConnectBuildByProtocol = false;
  std::uint32_t lowestProtocol = 2;
  std::uint32_t highestProtocol = 4;  // or kNoHighestProtocol
  // A refused Open gets VERSION_MISMATCH, and then every later packet of
  // that client is ignored (no record, no exception): assumed for every
  // persona but fsx, as the hardest case for a client. Otherwise the client
  // may try Open again, and its other packets are answered as unopened.
  bool ignoresRefusedClients = true;
  // The protocol number in every record header; 0: the client's own.
  std::uint32_t stampedProtocol = 0;
  // EVENT records carry a flags word (0) after dwData: 28 bytes, not 24.
  bool eventFlagsWord = false;
  // Whether CameraSetRelative6DOF moves the camera; if not, it is accepted
  // and ignored.
  bool cameraMoves = true;
};

// The default persona, "fsx": the stand-in under its own name, serving FSX's protocols.
const Persona& DefaultPersona();
// The persona of that name, or null.
const Persona* FindPersona(const std::string& name);
// "fsx, fsx-se, p3d, msfs2020 or msfs2024", for messages.
std::string PersonaNames();

bool Serves(const Persona& persona, std::uint32_t protocol);
// What the persona's OPEN record reports to a client of that protocol.
OpenFields OpenFieldsFor(const Persona& persona, std::uint32_t clientProtocol);
// The protocol number in the header of a record for a client of that protocol.
std::uint32_t RecordProtocol(const Persona& persona, std::uint32_t clientProtocol);

}  // namespace standin

#endif
