// The scenario the latency benchmark, soak and fault tests fly: rolling left
// and right without a pause (every frame a new bank) until the menu's "Exit"
// at a whole second; it ends a second later.
#ifndef VANTILO_TESTS_SUPPORT_ROLLING_SCENARIO_H
#define VANTILO_TESTS_SUPPORT_ROLLING_SCENARIO_H

#include <string>

namespace support {

// Scenario text for a run of `seconds` (at least 1) simulated seconds.
std::string RollingScenario(int seconds);
// The same in a temporary file (see TempFile): its path.
std::string RollingScenarioFile(int seconds);

}  // namespace support

#endif
