// The benchmark's scenario, read back by the stand-in's own parser: rolls
// that follow each other without a pause up to the menu's Exit, then the end.
#include "tests/support/rolling_scenario.h"

#include <gtest/gtest.h>

#include <cmath>

#include "standin/world/scenario.h"

namespace support {
namespace {

std::vector<standin::Action> Parse(int seconds) {
  std::vector<standin::Action> actions;
  std::string error;
  EXPECT_TRUE(standin::ParseScenario(RollingScenario(seconds), &actions, &error)) << error;
  return actions;
}

TEST(RollingScenario, RollsWithoutAPauseUntilExit) {
  std::vector<standin::Action> actions = Parse(20);
  ASSERT_EQ(actions.size(), 8u);  // rolls at 0, 2, 6, 10, 14, 18; Exit; end
  double bank = 0.0;
  double rollEnds = 0.0;
  for (std::size_t i = 0; i + 2 < actions.size(); ++i) {
    EXPECT_EQ(actions[i].kind, standin::ActionKind::kRoll) << i;
    EXPECT_EQ(actions[i].time, rollEnds) << i;  // starts as the last one ends
    EXPECT_NE(actions[i].degrees, bank) << i;   // and moves the aircraft
    EXPECT_EQ(std::abs(actions[i].degrees), 30.0) << i;
    bank = actions[i].degrees;
    rollEnds = actions[i].time + actions[i].seconds;
  }
  EXPECT_GE(rollEnds, 20.0);  // still rolling at the Exit
  EXPECT_EQ(actions[6].kind, standin::ActionKind::kMenu);
  EXPECT_EQ(actions[6].text, "Exit");
  EXPECT_EQ(actions[6].time, 20.0);
  EXPECT_EQ(actions[7].kind, standin::ActionKind::kEnd);
  EXPECT_EQ(actions[7].time, 21.0);
}

TEST(RollingScenario, ShortestRunStillRolls) {
  EXPECT_EQ(RollingScenario(1),
            "# latency benchmark: rolling without a pause, then the menu's Exit\n"
            "0 roll left 30 over 2\n"
            "1 menu Exit\n"
            "2 end\n");
  EXPECT_EQ(Parse(1).size(), 3u);
}

}  // namespace
}  // namespace support
