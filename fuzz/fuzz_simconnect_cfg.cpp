// Fuzz target for the SimConnect.cfg reader: the input's first four bytes
// are the configuration index (little-endian), the rest is the file's text.
// Checks that the settings that come back are consistent with each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "hostlink/net/config.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool SameSettings(const vantilo_net::LinkSettings& a, const vantilo_net::LinkSettings& b) {
  return a.usable == b.usable && a.problem == b.problem && a.fromFile == b.fromFile &&
         a.transport == b.transport && a.address == b.address && a.port == b.port &&
         a.pipe == b.pipe;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint32_t index = 0;
  if (size >= 4) {
    index = vantilo_fuzz::ReadU32(data);
    data += 4;
    size -= 4;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  const vantilo_net::LinkSettings settings = vantilo_net::ParseSimConnectCfg(text, index);

  // Unusable settings say why; usable ones name a TCP endpoint or a pipe.
  Check(settings.usable == settings.problem.empty());
  if (settings.usable) {
    Check(!settings.address.empty());
    Check(settings.port != 0);
    const bool pipe = settings.transport == vantilo_net::Transport::Pipe;
    Check(pipe == !settings.pipe.empty());
    Check(!pipe ||
          (settings.pipe.compare(0, 2, "\\\\") == 0 &&
           settings.pipe.find("\\pipe\\") != std::string::npos && settings.pipe.size() <= 256));
  }
  if (!settings.fromFile) {
    Check(SameSettings(settings, vantilo_net::DefaultLinkSettings()));
  }
  // A section can only be found in a text that opens one.
  if (text.find('[') == std::string::npos) {
    Check(!settings.fromFile);
  }
  // The reader keeps no state between calls.
  Check(SameSettings(settings, vantilo_net::ParseSimConnectCfg(text, index)));
  return 0;
}
