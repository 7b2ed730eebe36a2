// The scenario parser: splits each line into words, checks the time and the
// action's arguments, and turns turn directions into signed degrees.
#include "standin/world/scenario.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace standin {

std::uint32_t ViewFlag(View view) {
  switch (view) {
    case View::kCockpit2D:
      return 1;
    case View::kVirtualCockpit:
      return 2;
    case View::kExternal:
      return 4;
  }
  std::abort();  // not a View: only a cast makes one, and none does
}

const char* ViewWord(View view) {
  switch (view) {
    case View::kCockpit2D:
      return "2d";
    case View::kVirtualCockpit:
      return "virtual";
    case View::kExternal:
      return "external";
  }
  std::abort();  // not a View
}

const char* ActionWord(ActionKind kind) {
  switch (kind) {
    case ActionKind::kRoll:
      return "roll";
    case ActionKind::kPitch:
      return "pitch";
    case ActionKind::kHat:
      return "hat";
    case ActionKind::kView:
      return "view";
    case ActionKind::kMenu:
      return "menu";
    case ActionKind::kPause:
      return "pause";
    case ActionKind::kQuit:
      return "quit";
    case ActionKind::kEnd:
      return "end";
  }
  std::abort();  // not an ActionKind: only a cast makes one, and none does
}

namespace {

const double kLongestDuration = 3600.0;

bool ParseNumber(const std::string& word, double* value) {
  if (word.empty()) {
    return false;
  }
  char* end = nullptr;
  *value = std::strtod(word.c_str(), &end);
  return *end == '\0' && std::isfinite(*value);
}

// Parses one line's words after the time; returns an error text or "".
class LineParser {
 public:
  LineParser(std::vector<std::string> words, std::string rest)
      : words_(std::move(words)), rest_(std::move(rest)) {}

  std::string Parse(Action* action) {
    const std::string& word = words_[1];
    if (word == "roll") {
      return ParseMotion(action, ActionKind::kRoll, "left", "right", 180.0);
    }
    if (word == "pitch") {
      return ParseMotion(action, ActionKind::kPitch, "down", "up", 90.0);
    }
    if (word == "hat") {
      return Bare(action, ActionKind::kHat);
    }
    if (word == "quit") {
      return Bare(action, ActionKind::kQuit);
    }
    if (word == "end") {
      return Bare(action, ActionKind::kEnd);
    }
    if (word == "view") {
      return ParseView(action);
    }
    if (word == "pause") {
      return ParsePause(action);
    }
    if (word == "menu") {
      return ParseMenu(action);
    }
    return "unknown action '" + word + "'";
  }

 private:
  std::string Bare(Action* action, ActionKind kind) {
    action->kind = kind;
    return words_.size() > 2 ? Unexpected(2) : "";
  }

  std::string Unexpected(std::size_t at) {
    return "unexpected '" + words_[at] + "' after " + words_[1];
  }

  // "roll left 20 [over 3]", "roll level [over 3]"; positive is the word given first.
  std::string ParseMotion(Action* action, ActionKind kind, const char* positive,
                          const char* negative, double limit) {
    action->kind = kind;
    std::size_t at = 2;
    if (words_.size() <= at) {
      return std::string("missing direction after ") + words_[1];
    }
    const std::string& direction = words_[at++];
    if (direction == "level") {
      action->degrees = 0.0;
    } else if (direction == positive || direction == negative) {
      double degrees = 0.0;
      if (words_.size() <= at) {
        return "missing angle after " + direction;
      }
      if (!ParseNumber(words_[at], &degrees) || degrees < 0.0 || degrees > limit) {
        return "bad angle '" + words_[at] + "' (0 to " + std::to_string(int(limit)) + " degrees)";
      }
      ++at;
      action->degrees = direction == positive ? degrees : -degrees;
    } else {
      return "bad direction '" + direction + "' (" + positive + ", " + negative + " or level)";
    }
    if (words_.size() > at) {
      if (words_[at] != "over") {
        return Unexpected(at);
      }
      if (words_.size() <= at + 1) {
        return "missing seconds after over";
      }
      double seconds = 0.0;
      if (!ParseNumber(words_[at + 1], &seconds) || seconds <= 0.0 || seconds > kLongestDuration) {
        return "bad duration '" + words_[at + 1] + "' (more than 0, at most 3600 seconds)";
      }
      action->seconds = seconds;
      if (words_.size() > at + 2) {
        return Unexpected(at + 2);
      }
    }
    return "";
  }

  std::string ParseView(Action* action) {
    action->kind = ActionKind::kView;
    if (words_.size() < 3) {
      return "missing view after view";
    }
    const std::string& name = words_[2];
    if (name == "virtual") {
      action->view = View::kVirtualCockpit;
    } else if (name == "2d") {
      action->view = View::kCockpit2D;
    } else if (name == "external") {
      action->view = View::kExternal;
    } else {
      return "unknown view '" + name + "' (virtual, 2d or external)";
    }
    return words_.size() > 3 ? Unexpected(3) : "";
  }

  std::string ParsePause(Action* action) {
    action->kind = ActionKind::kPause;
    if (words_.size() == 2) {
      return "";
    }
    if (words_[2] == "on") {
      action->pause = PauseMode::kOn;
    } else if (words_[2] == "off") {
      action->pause = PauseMode::kOff;
    } else {
      return "bad pause '" + words_[2] + "' (on, off or nothing to toggle)";
    }
    return words_.size() > 3 ? Unexpected(3) : "";
  }

  std::string ParseMenu(Action* action) {
    action->kind = ActionKind::kMenu;
    if (words_.size() < 3) {
      return "missing menu text after menu";
    }
    action->text = rest_;
    return "";
  }

  std::vector<std::string> words_;
  std::string rest_;  // the line after the action word, trimmed
};

// The blanks that separate words: the same set as the word splitter (isspace),
// so a menu's text starts where its third word does.
const char kBlanks[] = " \t\n\v\f\r";

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) {
    return "";
  }
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The text after the first two words of a trimmed line.
std::string AfterTwoWords(const std::string& line) {
  std::size_t at = 0;
  for (int word = 0; word < 2; ++word) {
    at = line.find_first_not_of(kBlanks, at);
    at = line.find_first_of(kBlanks, at);
    if (at == std::string::npos) {
      return "";
    }
  }
  return Trim(line.substr(at));
}

}  // namespace

bool ParseScenario(const std::string& text, std::vector<Action>* actions, std::string* error) {
  actions->clear();
  std::istringstream lines(text);
  std::string raw;
  int number = 0;
  double previous = 0.0;
  while (std::getline(lines, raw)) {
    ++number;
    std::string line = Trim(raw.substr(0, raw.find('#')));
    std::istringstream wordStream(line);
    std::vector<std::string> words;
    for (std::string word; wordStream >> word;) {
      words.push_back(word);
    }
    if (words.empty()) {
      continue;
    }

    auto fail = [&](const std::string& message) {
      *error = "line " + std::to_string(number) + ": " + message;
      return false;
    };
    Action action;
    action.line = number;
    if (!ParseNumber(words[0], &action.time) || action.time < 0.0) {
      return fail("bad time '" + words[0] + "' (seconds, 0 or more)");
    }
    if (action.time < previous) {
      return fail("time " + words[0] + " is before the line above");
    }
    if (words.size() < 2) {
      return fail("missing action after the time");
    }
    std::string problem = LineParser(words, AfterTwoWords(line)).Parse(&action);
    if (!problem.empty()) {
      return fail(problem);
    }
    previous = action.time;
    actions->push_back(action);
  }
  return true;
}

}  // namespace standin
