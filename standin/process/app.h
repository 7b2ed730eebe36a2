// The stand-in as a whole: wires the scenario, world, simulator, server,
// trace and terminal together and runs the event loop until the scenario
// ends (or the simulator quits, or a signal comes), then prints the summary.
#ifndef VANTILO_STANDIN_PROCESS_APP_H
#define VANTILO_STANDIN_PROCESS_APP_H

#include "standin/process/options.h"

namespace standin {

// Returns the process's exit status.
int RunStandin(const Options& options);

}  // namespace standin

#endif
