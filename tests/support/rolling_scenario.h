// The stand-in scenario the latency benchmark, the soak and the fault tests
// fly: the aircraft rolls left and right without a pause, so every frame
// carries a new bank, until the menu's "Exit" at a whole second; the
// scenario ends a second later.
#ifndef VANTILO_TESTS_SUPPORT_ROLLING_SCENARIO_H
#define VANTILO_TESTS_SUPPORT_ROLLING_SCENARIO_H

#include <string>

namespace support {

// Scenario text for a run of `seconds` (at least 1) simulated seconds.
std::string RollingScenario(int seconds);
// The same written to a temporary file (see TempFile); returns its path.
std::string RollingScenarioFile(int seconds);

}  // namespace support

#endif
