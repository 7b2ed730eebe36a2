// The scenario parser: every action with its arguments, comments and blank
// lines, the errors with their line numbers, and the built-in scenario.
#include "standin/world/scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace standin {
namespace {

std::vector<Action> Parse(const std::string& text) {
  std::vector<Action> actions;
  std::string error;
  EXPECT_TRUE(ParseScenario(text, &actions, &error)) << error;
  return actions;
}

std::string ErrorOf(const std::string& text) {
  std::vector<Action> actions;
  std::string error;
  EXPECT_FALSE(ParseScenario(text, &actions, &error)) << text;
  return error;
}

TEST(ScenarioParse, RollsAndPitchesCarrySignedDegreesAndDuration) {
  std::vector<Action> actions = Parse(
      "1 roll right 25 over 3\n"
      "2.5 roll left 20\n"
      "4 roll level over 1.5\n"
      "5 pitch up 3 over 2\n"
      "6 pitch down 4.5\n");
  ASSERT_EQ(actions.size(), 5u);
  const double expected[][3] = {{1, -25, 3}, {2.5, 20, 0}, {4, 0, 1.5}, {5, -3, 2}, {6, 4.5, 0}};
  for (std::size_t i = 0; i < actions.size(); ++i) {
    EXPECT_EQ(actions[i].time, expected[i][0]) << i;
    EXPECT_EQ(actions[i].degrees, expected[i][1]) << i;
    EXPECT_EQ(actions[i].seconds, expected[i][2]) << i;
    EXPECT_EQ(actions[i].kind, i < 3 ? ActionKind::kRoll : ActionKind::kPitch);
    EXPECT_EQ(actions[i].line, static_cast<int>(i) + 1);
  }
}

TEST(ScenarioParse, OtherActionsCommentsAndBlankLines) {
  std::vector<Action> actions = Parse(
      "# a comment line\n"
      "\n"
      "  0   hat   # trailing comment\n"
      "1 view 2d\n"
      "1 view external\n"
      "2 view virtual\r\n"
      "3 menu  Toggle  the camera \n"
      "4 pause\n"
      "5 pause on\n"
      "6 pause off\n"
      "7 quit\n"
      "8 end\n");
  ASSERT_EQ(actions.size(), 10u);
  EXPECT_EQ(actions[0].kind, ActionKind::kHat);
  EXPECT_EQ(actions[0].line, 3);
  EXPECT_EQ(actions[1].view, View::kCockpit2D);
  EXPECT_EQ(actions[2].view, View::kExternal);
  EXPECT_EQ(actions[3].view, View::kVirtualCockpit);
  EXPECT_EQ(actions[4].kind, ActionKind::kMenu);
  EXPECT_EQ(actions[4].text, "Toggle  the camera");
  EXPECT_EQ(actions[5].pause, PauseMode::kToggle);
  EXPECT_EQ(actions[6].pause, PauseMode::kOn);
  EXPECT_EQ(actions[7].pause, PauseMode::kOff);
  EXPECT_EQ(actions[8].kind, ActionKind::kQuit);
  EXPECT_EQ(actions[9].kind, ActionKind::kEnd);
  EXPECT_EQ(actions[9].time, 8.0);
}

// Any blank separates words, so the menu text starts at the third word
// whatever blank precedes it.
TEST(ScenarioParse, MenuTextAfterAnyBlank) {
  std::vector<Action> actions = Parse("0\tmenu\vExit now\n1 menu\fPause\n");
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].text, "Exit now");
  EXPECT_EQ(actions[1].text, "Pause");
}

TEST(ScenarioParse, BadLinesNameTheirLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"1 hat\nsoon hat\n", "line 2: bad time 'soon' (seconds, 0 or more)"},
      {"-1 hat\n", "line 1: bad time '-1' (seconds, 0 or more)"},
      {"nan hat\n", "line 1: bad time 'nan' (seconds, 0 or more)"},
      {"5 hat\n\n# x\n4 hat\n", "line 4: time 4 is before the line above"},
      {"1\n", "line 1: missing action after the time"},
      {"1 fly\n", "line 1: unknown action 'fly'"},
      {"1 hat now\n", "line 1: unexpected 'now' after hat"},
      {"1 roll\n", "line 1: missing direction after roll"},
      {"1 roll up 10\n", "line 1: bad direction 'up' (left, right or level)"},
      {"1 pitch left 10\n", "line 1: bad direction 'left' (down, up or level)"},
      {"1 roll left\n", "line 1: missing angle after left"},
      {"1 roll left 181\n", "line 1: bad angle '181' (0 to 180 degrees)"},
      {"1 pitch up 91\n", "line 1: bad angle '91' (0 to 90 degrees)"},
      {"1 roll left 10 during 3\n", "line 1: unexpected 'during' after roll"},
      {"1 roll left 10 over\n", "line 1: missing seconds after over"},
      {"1 roll left 10 over 0\n", "line 1: bad duration '0' (more than 0, at most 3600 seconds)"},
      {"1 roll level over 2 now\n", "line 1: unexpected 'now' after roll"},
      {"1 view cabin\n", "line 1: unknown view 'cabin' (virtual, 2d or external)"},
      {"1 view\n", "line 1: missing view after view"},
      {"1 pause maybe\n", "line 1: bad pause 'maybe' (on, off or nothing to toggle)"},
      {"1 menu\n", "line 1: missing menu text after menu"},
      {"1 menu # Exit\n", "line 1: missing menu text after menu"},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(ErrorOf(entry.first), entry.second) << entry.first;
  }
}

TEST(ScenarioDefault, ShowsEveryBehaviourAndEndsWithExit) {
  std::vector<Action> actions = Parse(DefaultScenarioText());
  auto first = [&](ActionKind kind) {
    return std::find_if(actions.begin(), actions.end(),
                        [kind](const Action& action) { return action.kind == kind; });
  };
  const auto hat = first(ActionKind::kHat);
  const auto view = first(ActionKind::kView);
  ASSERT_TRUE(hat != actions.end()) << "no hat action";
  ASSERT_TRUE(view != actions.end()) << "no view action";
  // The fourth "1sec" tick after the hat comes before the view changes.
  EXPECT_GT(view->time, std::floor(hat->time) + 4);
  EXPECT_EQ(view->view, View::kCockpit2D);
  auto count = [&](ActionKind kind, auto also) {
    return std::count_if(actions.begin(), actions.end(),
                         [&](const Action& action) { return action.kind == kind && also(action); });
  };
  EXPECT_EQ(count(ActionKind::kMenu, [](const Action& a) { return a.text == "Pause"; }), 2);
  EXPECT_GT(count(ActionKind::kRoll, [](const Action& a) { return a.degrees < 0; }), 0) << "right";
  EXPECT_GT(count(ActionKind::kRoll, [](const Action& a) { return a.degrees > 0; }), 0) << "left";
  ASSERT_GE(actions.size(), 2u);
  EXPECT_EQ(actions[actions.size() - 2].text, "Exit");
  EXPECT_EQ(actions.back().kind, ActionKind::kEnd);
  EXPECT_LE(actions.back().time, 35.0);
}

}  // namespace
}  // namespace standin
