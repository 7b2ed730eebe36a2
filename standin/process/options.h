// The stand-in's command line (see --help and standin/README.md).
#ifndef VANTILO_STANDIN_PROCESS_OPTIONS_H
#define VANTILO_STANDIN_PROCESS_OPTIONS_H

#include <cstddef>
#include <string>

namespace standin {

struct Options {
  std::string address = "127.0.0.1";
  int port = 2048;
  double fps = 60.0;
  double speed = 1.0;
  int maxClients = 64;            // SimConnect's own MaxClients default
  std::string scenarioPath;       // empty: the built-in scenario
  std::string tracePath;          // empty: no trace
  std::string latencyPath;        // empty: no latency log
  std::string simulator = "fsx";  // the persona's name (standin/wire/persona.h)
  // The bound on all clients' queues together, in KiB; the tests shrink it
  // through the environment variable kAllQueuesVariable.
  std::size_t allQueuesKiB = 64 * 1024;
  bool startNow = false;
  bool noLive = false;
  bool printScenario = false;
  bool help = false;
  bool version = false;
};

extern const char kAllQueuesVariable[];  // "VANTILO_STANDIN_ALL_QUEUES_KIB"

// False with an error text for an unknown option or a bad value, also of
// allQueuesKiB, the environment variable's value (null when it is not set).
bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error,
                  const char* allQueuesKiB = nullptr);
const char* UsageText();

}  // namespace standin

#endif
