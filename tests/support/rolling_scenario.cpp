// Rolls of 30 degrees each side, each starting as the last one ends: the
// first from level over 2 s, then side to side over 4 s each.
#include "tests/support/rolling_scenario.h"

#include "tests/support/files.h"

namespace support {

std::string RollingScenario(int seconds) {
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

std::string RollingScenarioFile(int seconds) {
  return TempFile("rolling.txt", RollingScenario(seconds));
}

}  // namespace support
