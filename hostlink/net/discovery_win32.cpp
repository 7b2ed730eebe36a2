// How the link finds a simulator on this Windows machine without a
// SimConnect.cfg: the places of kPlaces, in their order, all within the
// open's kConnectTimeoutMs. None of them has been tried against a real
// simulator here; each row says where its fact comes from and how sure it
// is. A simulator found in the wrong place is one row to mend (and the same
// row of the README's table).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "hostlink/net/connection_platform.h"
// After the Winsock headers, which must come first.
#include <windows.h>

#include "hostlink/net/discovery.h"

namespace vantilo_net {

namespace {

enum class Kind {
  kPipe,      // a named pipe on this machine, \\.\pipe\<name>
  kRegistry,  // the SimConnect_Port_IPv4 value (REG_SZ) under HKCU\<name>, on 127.0.0.1
  kPort       // 127.0.0.1:<name>
};

struct Place {
  Kind kind;
  const char* name;
  const char* source;
};

const Place kPlaces[] = {
    {Kind::kPipe, "Microsoft Flight Simulator\\SimConnect",
     "MSFS 2020 and 2024 (high: docs.flightsimulator.com, SimConnect.xml definition); "
     "FSX (medium: node-simconnect src/connectionParameters.ts looks here first)"},
    {Kind::kPipe, "Lockheed Martin Prepar3D v6\\SimConnect",
     "Prepar3D v6 (medium: open client code names the v4-v6 pipes)"},
    {Kind::kPipe, "Lockheed Martin Prepar3D v5\\SimConnect", "Prepar3D v5 (medium: as above)"},
    {Kind::kPipe, "Lockheed Martin Prepar3D v4\\SimConnect",
     "Prepar3D v4 (medium: as above, and one listing seen on a live v4)"},
    {Kind::kRegistry, "Software\\Microsoft\\Microsoft Games\\Flight Simulator",
     "FSX, its automatic port (high: jsimconnect Configuration.java, node-simconnect "
     "src/connectionParameters.ts)"},
    {Kind::kRegistry, "Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition",
     "FSX Steam Edition (medium: users' reports)"},
    {Kind::kRegistry, "Software\\Lockheed Martin\\Prepar3D v6",
     "Prepar3D v6 (low: the v4 key's pattern)"},
    {Kind::kRegistry, "Software\\Lockheed Martin\\Prepar3D v5",
     "Prepar3D v5 (low: the v4 key's pattern)"},
    {Kind::kRegistry, "Software\\Lockheed Martin\\Prepar3D v4",
     "Prepar3D v4 (medium: users' reports)"},
    {Kind::kPort, "500",
     "MSFS's default SimConnect.xml serves 127.0.0.1:500 (high: docs.flightsimulator.com)"},
    {Kind::kPort, "2048",
     "where vantilo-standin listens; node-simconnect's last resort (src/connectionParameters.ts)"},
};

// The port a simulator published under HKCU\key, if it did: a REG_SZ of
// decimal digits, 1 to 65535.
bool RegistryPort(const char* key, std::uint16_t* port) {
  HKEY opened;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
    return false;
  }
  char text[16] = {};
  DWORD type = 0;
  DWORD size = sizeof text - 1;  // room for the NUL a value may lack
  const LONG read = RegQueryValueExA(opened, "SimConnect_Port_IPv4", nullptr, &type,
                                     reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(opened);
  if (read != ERROR_SUCCESS || type != REG_SZ || text[0] < '0' || text[0] > '9') {
    return false;
  }
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (*end != '\0' || value == 0 || value > 65535) {
    return false;
  }
  *port = static_cast<std::uint16_t>(value);
  return true;
}

// A place that did not answer, and why.
struct Miss {
  std::string where;
  std::string why;
};

// "A, B and C: why; D: other" from misses in order, those with one reason
// in a row put together.
std::string Describe(const std::vector<Miss>& misses) {
  std::string text;
  for (std::size_t first = 0; first < misses.size();) {
    std::size_t end = first + 1;
    while (end < misses.size() && misses[end].why == misses[first].why) {
      ++end;
    }
    text += text.empty() ? "" : "; ";
    for (std::size_t i = first; i < end; ++i) {
      text += i == first ? "" : i + 1 == end ? " and " : ", ";
      text += misses[i].where;
    }
    text += ": " + misses[first].why;
    first = end;
  }
  return text;
}

}  // namespace

bool ConnectToLocalSimulator(Connection* connection, LinkSettings* found, std::string* problem) {
  const Deadline deadline = sockets::Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
  std::vector<Miss> misses;
  std::vector<std::uint16_t> portsTried;
  bool pipeSeen = false;
  bool registryPort = false;
  for (const Place& place : kPlaces) {
    std::uint16_t port = 0;
    if (place.kind == Kind::kPipe) {
      const std::string path = std::string("\\\\.\\pipe\\") + place.name;
      std::string why;
      bool absent = false;
      if (sockets::MillisecondsLeft(deadline) == 0) {
        misses.push_back({path, "not tried: the open's 3 s had passed"});
        continue;
      }
      if (connection->OpenPipe(path, deadline, &why, &absent)) {
        *found = DefaultLinkSettings();
        found->transport = Transport::Pipe;
        found->address = ".";
        found->pipe = path;
        return true;
      }
      pipeSeen = pipeSeen || !absent;
      if (!absent) {
        misses.push_back({path, why});
      }
      continue;
    }
    if (place.kind == Kind::kRegistry) {
      if (!RegistryPort(place.name, &port)) {
        continue;
      }
      registryPort = true;
    } else {
      port = static_cast<std::uint16_t>(std::atoi(place.name));
    }
    if (std::find(portsTried.begin(), portsTried.end(), port) != portsTried.end()) {
      continue;  // two keys with one port
    }
    portsTried.push_back(port);
    const std::string where = "127.0.0.1:" + std::to_string(port);
    std::string why;
    if (sockets::MillisecondsLeft(deadline) == 0) {
      misses.push_back({where, "not tried: the open's 3 s had passed"});
    } else if (connection->ConnectLoopback(port, deadline, &why)) {
      *found = DefaultLinkSettings();
      found->port = port;
      return true;
    } else {
      misses.push_back({where, why});
    }
  }
  *problem = "no SimConnect.cfg";
  if (!pipeSeen) {
    *problem += ", no simulator pipe";
  }
  if (!registryPort) {
    *problem += ", no port in the registry";
  }
  *problem += "; " + Describe(misses);
  return false;
}

}  // namespace vantilo_net
