// Where the host link connects: SimConnect.cfg read the way the vendor's
// client reads it. ParseSimConnectCfg is a pure function of the file's text;
// LoadLinkSettings finds the file (current directory, the program's own
// folder, on Windows the user's Documents folder), refuses one it cannot
// use, and without one gives 127.0.0.1:2048 (on Windows the link then looks
// for a local simulator: discovery.h).
#ifndef VANTILO_HOSTLINK_NET_CONFIG_H
#define VANTILO_HOSTLINK_NET_CONFIG_H

#include <cstdint>
#include <string>

namespace vantilo_net {

enum class Transport { IPv4, IPv6, Pipe };

struct LinkSettings {
  bool usable = true;     // false: the open must fail (see problem)
  std::string problem;    // why the settings cannot be used
  bool fromFile = false;  // a section for the index was found
  Transport transport = Transport::IPv4;
  std::string address = "127.0.0.1";
  std::uint16_t port = 2048;
  std::string pipe;  // Transport::Pipe: the pipe's path, \\ADDRESS\pipe\NAME
};

// The configuration index that ignores SimConnect.cfg.
const std::uint32_t kConfigIndexLocal = 0xFFFFFFFFu;

// Settings when no file (or no section for the index) is found.
LinkSettings DefaultLinkSettings();

// Reads section [SimConnect] (index 0) or [SimConnect.N] (index N) from the
// text of a SimConnect.cfg (UTF-8 or ASCII; with a byte order mark also
// UTF-16 little- or big-endian). Section names and keys ignore case; ';' and
// '#' start comments; of a key or a section given twice the first counts.
// Without a matching section the defaults come back with fromFile false.
// Protocol=Pipe names the pipe \\<Address>\pipe\<Port> ('.' without an
// Address, '/' in the name taken as '\'); it opens only on Windows. An
// unknown protocol, a bad port, a pipe without a name or an address in
// brackets make the settings unusable.
LinkSettings ParseSimConnectCfg(const std::string& text, std::uint32_t configIndex);

// Looks for SimConnect.cfg in the current directory, then beside the running
// executable, then (Windows) in the user's Documents folder, and parses the
// first one found. One that is no regular file,
// is larger than 64 KiB or cannot be read makes the settings unusable.
LinkSettings LoadLinkSettings(std::uint32_t configIndex);

}  // namespace vantilo_net

#endif
