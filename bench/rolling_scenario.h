// The stand-in scenario the latency benchmark flies: the aircraft rolls left
// and right without a pause, so every frame carries a new bank, until the
// menu's "Exit" at a whole second; the scenario ends a second later.
#ifndef VANTILO_BENCH_ROLLING_SCENARIO_H
#define VANTILO_BENCH_ROLLING_SCENARIO_H

#include <string>

namespace bench {

// Scenario text for a run of `seconds` (at least 1) simulated seconds.
std::string RollingScenario(int seconds);

}  // namespace bench

#endif
