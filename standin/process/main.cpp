// vantilo-standin: a stand-in flight simulator that any SimConnect TCP
// client can connect to. Reads its options and runs; see standin/README.md.
#include <cstdio>
#include <cstdlib>

#include "standin/process/app.h"
#include "standin/process/options.h"
#include "standin/world/scenario.h"

int main(int argc, char** argv) {
  standin::Options options;
  std::string error;
  if (!standin::ParseOptions(argc, argv, &options, &error,
                             std::getenv(standin::kAllQueuesVariable))) {
    std::fprintf(stderr, "vantilo-standin: %s\n%s", error.c_str(), standin::UsageText());
    return 2;
  }
  if (options.help) {
    std::fputs(standin::UsageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vantilo-standin %s\n", VANTILO_VERSION);
    return 0;
  }
  if (options.printScenario) {
    std::fputs(standin::DefaultScenarioText().c_str(), stdout);
    return 0;
  }
  return standin::RunStandin(options);
}
