// Fuzz target for the stand-in's scenario parser: arbitrary text. Checks the
// actions it accepts against the documented ranges, and that a failure at
// line N leaves exactly the actions of the lines before it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "standin/world/scenario.h"

namespace {

using standin::Action;
using standin::ActionKind;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool SameAction(const Action& a, const Action& b) {
  return a.time == b.time && a.kind == b.kind && a.degrees == b.degrees && a.seconds == b.seconds &&
         a.view == b.view && a.pause == b.pause && a.text == b.text && a.line == b.line;
}

void CheckAction(const Action& action) {
  Check(std::isfinite(action.time) && action.time >= 0.0);
  Check(action.line >= 1);
  if (action.kind == ActionKind::kRoll || action.kind == ActionKind::kPitch) {
    const double limit = action.kind == ActionKind::kRoll ? 180.0 : 90.0;
    Check(std::fabs(action.degrees) <= limit);
    Check(action.seconds >= 0.0 && action.seconds <= 3600.0);
  } else {
    Check(action.degrees == 0.0 && action.seconds == 0.0);
  }
  if (action.kind == ActionKind::kMenu) {
    Check(!action.text.empty() && action.text.find('#') == std::string::npos);
  } else {
    Check(action.text.empty());
  }
}

// The text of the lines before line `number` (1-based), as getline splits it.
std::string LinesBefore(const std::string& text, int number) {
  std::size_t end = 0;
  for (int line = 1; line < number; ++line) {
    end = text.find('\n', end);
    Check(end != std::string::npos);
    ++end;
  }
  return text.substr(0, end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<Action> actions;
  std::string error;
  const bool parsed = standin::ParseScenario(text, &actions, &error);

  Check(parsed == error.empty());
  for (std::size_t i = 0; i < actions.size(); ++i) {
    CheckAction(actions[i]);
    if (i > 0) {
      Check(actions[i].time >= actions[i - 1].time);
      Check(actions[i].line > actions[i - 1].line);
    }
  }
  if (parsed) {
    return 0;
  }

  // "line N: what is wrong", and the lines before N parse to what was kept.
  Check(error.compare(0, 5, "line ") == 0);
  char* end = nullptr;
  const long number = std::strtol(error.c_str() + 5, &end, 10);
  Check(number >= 1 && number <= 1 + static_cast<long>(size) && *end == ':');
  std::vector<Action> before;
  std::string beforeError;
  Check(standin::ParseScenario(LinesBefore(text, static_cast<int>(number)), &before, &beforeError));
  Check(before.size() == actions.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    Check(SameAction(before[i], actions[i]));
  }
  return 0;
}
