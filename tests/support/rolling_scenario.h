// The scenario the latency benchmark, soak and fault tests fly: rolling left
// and right without a pause (every frame a new bank) until the menu's "Exit"
// at a whole second; it ends a second later.
#ifndef VANTILO_TESTS_SUPPORT_ROLLING_SCENARIO_H
#define VANTILO_TESTS_SUPPORT_ROLLING_SCENARIO_H

#include <string>

#include "tests/support/files.h"

namespace support {

// Scenario text for a run of `seconds` (at least 1) simulated seconds: rolls
// of 30 degrees each side, the first from level over 2 s, then 4 s each.
inline std::string RollingScenario(int seconds) {
  std::string text = "# latency benchmark: rolling without a pause, then the menu's Exit\n";
  text += "0 roll left 30 over 2\n";
  bool left = false;
  for (int start = 2; start < seconds; start += 4) {
    text += std::to_string(start) + (left ? " roll left 30 over 4\n" : " roll right 30 over 4\n");
    left = !left;
  }
  text += std::to_string(seconds) + " menu Exit\n";
  text += std::to_string(seconds + 1) + " end\n";
  return text;
}

// The same in a temporary file (see TempFile): its path.
inline std::string RollingScenarioFile(int seconds) {
  return TempFile("rolling.txt", RollingScenario(seconds));
}

}  // namespace support

#endif
