// Scenarios: what the simulated pilot and aircraft do, as timed actions.
// One action per line: a time in simulated seconds, an action word and its
// arguments (see standin/README.md); '#' starts a comment.
#ifndef VANTILO_STANDIN_WORLD_SCENARIO_H
#define VANTILO_STANDIN_WORLD_SCENARIO_H

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

enum class View { kVirtualCockpit, kCockpit2D, kExternal };

// The "View" system event's data for a view (1 = 2D, 2 = virtual, 4 = external).
std::uint32_t ViewFlag(View view);
// "virtual", "2d", "external": the scenario's words for the views.
const char* ViewWord(View view);

enum class ActionKind { kRoll, kPitch, kHat, kView, kMenu, kPause, kQuit, kEnd };
enum class PauseMode { kToggle, kOn, kOff };

struct Action {
  double time = 0.0;  // simulated seconds from the scenario's start
  ActionKind kind = ActionKind::kEnd;
  // kRoll, kPitch: the target in the simulator's own sign convention (bank:
  // left wing down positive; pitch: nose up negative), in degrees, and the
  // duration; 0 seconds means "at the standard rate".
  double degrees = 0.0;
  double seconds = 0.0;
  View view = View::kVirtualCockpit;     // kView
  PauseMode pause = PauseMode::kToggle;  // kPause
  std::string text;                      // kMenu: the menu entry's text
  int line = 0;                          // where it came from; 0 for keys
};

// "roll", "hat", ...
const char* ActionWord(ActionKind kind);

// Parses a whole scenario. On failure returns false and sets error to
// "line N: what is wrong"; actions then holds what came before.
bool ParseScenario(const std::string& text, std::vector<Action>* actions, std::string* error);

// The built-in scenario, as scenario text.
const std::string& DefaultScenarioText();

}  // namespace standin

#endif
