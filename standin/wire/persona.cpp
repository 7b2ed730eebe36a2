// The personas. Recorded values come from public reports of the real
// simulators' OPEN records and behaviour; the others are assumed, and say so.
#include "standin/wire/persona.h"

#include <vector>

namespace standin {

namespace {

OpenFields Open(const char* name, std::uint32_t versionMajor, std::uint32_t versionMinor,
                std::uint32_t buildMajor, std::uint32_t buildMinor) {
  OpenFields open;
  open.applicationName = name;
  open.applicationVersionMajor = versionMajor;
  open.applicationVersionMinor = versionMinor;
  open.applicationBuildMajor = buildMajor;
  open.applicationBuildMinor = buildMinor;
  return open;
}

void SetSimConnect(OpenFields& open, std::uint32_t versionMajor, std::uint32_t versionMinor,
                   std::uint32_t buildMajor, std::uint32_t buildMinor) {
  open.simConnectVersionMajor = versionMajor;
  open.simConnectVersionMinor = versionMinor;
  open.simConnectBuildMajor = buildMajor;
  open.simConnectBuildMinor = buildMinor;
}

// The stand-in under its own name: FSX's protocols 2 to 4, and a refused
// client may open again.
Persona Fsx() {
  Persona fsx;
  fsx.name = "fsx";
  fsx.open = Open("Vantilo Stand-in", 10, 0, 61637, 0);
  SetSimConnect(fsx.open, 10, 0, 0, 0);
  fsx.simConnectBuildByProtocol = true;
  fsx.ignoresRefusedClients = false;
  return fsx;
}

// OPEN fields recorded. Assumed: that it serves protocols 2 to 4 as FSX does
// (FSX Steam Edition probably serves protocol-2 clients), and that its
// headers, EVENT records and camera are FSX's.
Persona FsxSteamEdition() {
  Persona se;
  se.name = "fsx-se";
  se.open = Open("Microsoft Flight Simulator X", 10, 0, 62615, 0);
  SetSimConnect(se.open, 10, 0, 62615, 0);
  return se;
}

// No recording of Prepar3D's OPEN record is known: its name, versions and
// builds are assumed, and so is its stamping the client's protocol. It
// serves protocol 4 and up, and its EVENT records are 28 bytes long.
Persona Prepar3D() {
  Persona p3d;
  p3d.name = "p3d";
  p3d.open = Open("Prepar3D", 5, 0, 0, 0);
  SetSimConnect(p3d.open, 5, 0, 0, 0);
  p3d.lowestProtocol = 4;
  p3d.highestProtocol = kNoHighestProtocol;
  p3d.eventFlagsWord = true;
  return p3d;
}

// OPEN fields recorded; serves protocols 4 and 5 and gives add-ons no
// control of the camera through SimConnect. Stamping the client's protocol
// is assumed.
Persona Msfs2020() {
  Persona msfs;
  msfs.name = "msfs2020";
  msfs.open = Open("KittyHawk", 11, 0, 282174, 999);
  SetSimConnect(msfs.open, 11, 0, 62651, 3);
  msfs.lowestProtocol = 4;
  msfs.highestProtocol = 5;
  msfs.cameraMoves = false;
  return msfs;
}

// OPEN fields recorded; serves protocols 4 to 6, stamps its own protocol (6)
// in every record header, and has a camera API of its own instead of
// CameraSetRelative6DOF.
Persona Msfs2024() {
  Persona msfs;
  msfs.name = "msfs2024";
  msfs.open = Open("SunRise", 12, 1, 282174, 999);
  SetSimConnect(msfs.open, 12, 1, 0, 0);
  msfs.lowestProtocol = 4;
  msfs.highestProtocol = 6;
  msfs.stampedProtocol = 6;
  msfs.cameraMoves = false;
  return msfs;
}

const std::vector<Persona>& AllPersonas() {
  static const std::vector<Persona> all = {Fsx(), FsxSteamEdition(), Prepar3D(), Msfs2020(),
                                           Msfs2024()};
  return all;
}

}  // namespace

const Persona& DefaultPersona() { return AllPersonas().front(); }

const Persona* FindPersona(const std::string& name) {
  for (const Persona& persona : AllPersonas()) {
    if (name == persona.name) {
      return &persona;
    }
  }
  return nullptr;
}

std::string PersonaNames() {
  const std::vector<Persona>& all = AllPersonas();
  std::string names;
  for (std::size_t i = 0; i < all.size(); ++i) {
    names += i == 0 ? "" : i + 1 == all.size() ? " or " : ", ";
    names += all[i].name;
  }
  return names;
}

bool Serves(const Persona& persona, std::uint32_t protocol) {
  return protocol >= persona.lowestProtocol && protocol <= persona.highestProtocol;
}

OpenFields OpenFieldsFor(const Persona& persona, std::uint32_t clientProtocol) {
  OpenFields fields = persona.open;
  if (persona.simConnectBuildByProtocol) {
    fields.simConnectBuildMajor = SimConnectBuildFor(clientProtocol);
    fields.simConnectBuildMinor = 0;
  }
  return fields;
}

std::uint32_t RecordProtocol(const Persona& persona, std::uint32_t clientProtocol) {
  return persona.stampedProtocol != 0 ? persona.stampedProtocol : clientProtocol;
}

}  // namespace standin
