// Command-line parsing: "--name value" pairs and a few switches.
#include "standin/process/options.h"

#include <cmath>
#include <cstdlib>

#include "standin/wire/persona.h"

namespace standin {

namespace {

bool ToNumber(const std::string& text, double low, double high, double* value) {
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(*value) && *value >= low && *value <= high;
}

// The most the environment may set the queues' bound to: 4 GiB.
const double kMostAllQueuesKiB = 4 * 1024 * 1024;

}  // namespace

const char kAllQueuesVariable[] = "VANTILO_STANDIN_ALL_QUEUES_KIB";

const char* UsageText() {
  return "usage: vantilo-standin [options]\n"
         "  --address A        listen on IPv4 address A (default 127.0.0.1)\n"
         "  --port N           listen on port N (default 2048; 0 picks a free port)\n"
         "  --fps N            frames per second (default 60)\n"
         "  --speed X          simulated seconds per real second (default 1)\n"
         "  --scenario FILE    run FILE instead of the built-in scenario\n"
         "  --print-scenario   print the built-in scenario and exit\n"
         "  --start-now        start the scenario clock at once, not at the first Open\n"
         "  --trace FILE       write a JSON line per event to FILE\n"
         "  --latency FILE     write when each frame's record went out and was answered\n"
         "  --max-clients N    at most N clients at once (default 64); more are closed\n"
         "  --simulator NAME   the simulator to play: fsx (default), fsx-se, p3d,\n"
         "                     msfs2020 or msfs2024\n"
         "  --no-live          plain log lines even on a terminal\n"
         "  --version          print the version and exit\n"
         "  --help             this text\n";
}

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error,
                  const char* allQueuesKiB) {
  if (allQueuesKiB != nullptr && *allQueuesKiB != '\0') {
    double kib = 0.0;
    if (!ToNumber(allQueuesKiB, 1, kMostAllQueuesKiB, &kib) || kib != std::floor(kib)) {
      *error = std::string("bad ") + kAllQueuesVariable + " '" + allQueuesKiB + "' (1 to " +
               std::to_string(static_cast<long>(kMostAllQueuesKiB)) + ")";
      return false;
    }
    options->allQueuesKiB = static_cast<std::size_t>(kib);
  }
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--start-now") {
      options->startNow = true;
    } else if (name == "--no-live") {
      options->noLive = true;
    } else if (name == "--print-scenario") {
      options->printScenario = true;
    } else if (name == "--help" || name == "-h") {
      options->help = true;
    } else if (name == "--version") {
      options->version = true;
    } else if (name == "--address" || name == "--port" || name == "--fps" || name == "--speed" ||
               name == "--scenario" || name == "--trace" || name == "--latency" ||
               name == "--max-clients" || name == "--simulator") {
      if (i + 1 >= argc) {
        *error = "missing value after " + name;
        return false;
      }
      std::string value = argv[++i];
      double number = 0.0;
      if (name == "--address") {
        options->address = value;
      } else if (name == "--scenario") {
        options->scenarioPath = value;
      } else if (name == "--trace") {
        options->tracePath = value;
      } else if (name == "--latency") {
        options->latencyPath = value;
      } else if (name == "--simulator") {
        if (FindPersona(value) == nullptr) {
          *error = "unknown simulator '" + value + "' (" + PersonaNames() + ")";
          return false;
        }
        options->simulator = value;
      } else if (name == "--port") {
        if (!ToNumber(value, 0, 65535, &number) || number != std::floor(number)) {
          *error = "bad port '" + value + "' (0 to 65535)";
          return false;
        }
        options->port = static_cast<int>(number);
      } else if (name == "--max-clients") {
        if (!ToNumber(value, 1, 1000, &number) || number != std::floor(number)) {
          *error = "bad client limit '" + value + "' (1 to 1000)";
          return false;
        }
        options->maxClients = static_cast<int>(number);
      } else if (name == "--fps") {
        if (!ToNumber(value, 1, 1000, &number)) {
          *error = "bad frame rate '" + value + "' (1 to 1000)";
          return false;
        }
        options->fps = number;
      } else if (!ToNumber(value, 0.01, 1000, &number)) {
        *error = "bad speed '" + value + "' (0.01 to 1000)";
        return false;
      } else {
        options->speed = number;
      }
    } else {
      *error = "unknown option '" + name + "'";
      return false;
    }
  }
  return true;
}

}  // namespace standin
