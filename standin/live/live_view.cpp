// Live view layout, kLiveViewLines lines: status, aircraft, camera, three
// client lines, four recent events, the keys and a rule above the scroll region.
#include "standin/live/live_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "standin/wire/bytes.h"

namespace standin {

namespace {

const std::size_t kClientLines = 3;
const std::size_t kEventLines = 4;
const std::size_t kMenuKeys = 9;       // the number keys 1-9
const std::size_t kEntriesShown = 12;  // menu entries on one client's line

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

const char* ViewName(View view) {
  switch (view) {
    case View::kVirtualCockpit:
      return "virtual cockpit";
    case View::kCockpit2D:
      return "2D cockpit";
    case View::kExternal:
      return "external";
  }
  std::abort();  // not a View: only a cast makes one, and none does
}

std::string ClientLine(const Session& session, const std::vector<std::string>& choices) {
  std::string line = "  #" + std::to_string(session.id()) + " ";
  if (!session.opened()) {
    return line + "connected, not opened";
  }
  line += Printable(session.name()) + " (protocol " + std::to_string(session.protocol()) + ")";
  line += session.Following() ? ", following" : "";
  // A bounded number of entries, so that a client's thousand entries cost
  // no more to draw than a screen line shows.
  std::size_t shown = 0;
  std::size_t hidden = 0;
  for (const MenuItem& menu : session.menus()) {
    if (shown == kEntriesShown) {
      hidden += 1 + menu.subItems.size();
      continue;
    }
    ++shown;
    line += " | menu " + Printable(menu.text) + ":";
    for (const MenuSubItem& sub : menu.subItems) {
      if (shown == kEntriesShown) {
        ++hidden;
        continue;
      }
      ++shown;
      auto at = std::find(choices.begin(), choices.end(), sub.text);
      line += at == choices.end() ? " " : " [" + std::to_string(at - choices.begin() + 1) + "] ";
      line += Printable(sub.text);
    }
  }
  if (hidden > 0) {
    line += " ... and " + std::to_string(hidden) + " more entries";
  }
  return line;
}

}  // namespace

std::string DescribeBank(double degrees) {
  if (std::fabs(degrees) < 0.05) {
    return "level";
  }
  return Format("%.1f", std::fabs(degrees)) + (degrees > 0 ? " left" : " right");
}

std::vector<std::string> MenuChoices(const std::vector<Session*>& sessions) {
  std::vector<std::string> choices;
  auto add = [&](const std::string& text) {
    if (std::find(choices.begin(), choices.end(), text) == choices.end()) {
      choices.push_back(text);
    }
    return choices.size() == kMenuKeys;
  };
  for (const Session* session : sessions) {
    for (const MenuItem& menu : session->menus()) {
      if (menu.subItems.empty() && add(menu.text)) {
        return choices;
      }
      for (const MenuSubItem& sub : menu.subItems) {
        if (add(sub.text)) {
          return choices;
        }
      }
    }
  }
  return choices;
}

std::vector<std::string> RenderLiveView(const World& world, const Simulator& simulator,
                                        const Reporter& reporter) {
  std::vector<std::string> lines;
  std::string state = !world.started ? "waiting for a client" : world.paused ? "PAUSED" : "running";
  std::string title =
      "Vantilo stand-in" + (reporter.persona.empty() ? "" : " (" + reporter.persona + ")");
  lines.push_back(
      title +
      Format("   t %7.1f s   %.0f fps x%g   ", world.time, simulator.fps(), simulator.speed()) +
      "view: " + ViewName(world.view) + "   " + state);
  lines.push_back("aircraft  bank " + DescribeBank(world.bankDegrees()) +
                  Format("   pitch %.1f ", std::fabs(world.pitchDegrees())) +
                  (world.pitchDegrees() <= 0 ? "up" : "down"));
  const CameraState& camera = world.camera();
  if (camera.set) {
    lines.push_back(Format("camera    heading %8.2f  pitch %6.2f  bank %6.2f", camera.values[5],
                           camera.values[3], camera.values[4]) +
                    "   (client " + std::to_string(camera.client) +
                    Format(", at %.1f s)", camera.time));
  } else {
    lines.push_back("camera    not set yet");
  }
  const IgnoredCameraCommands& ignored = world.ignoredCamera();
  if (ignored.count > 0) {
    lines.back() += "; " + std::to_string(ignored.count) + " commands ignored (last client " +
                    std::to_string(ignored.client) + Format(", at %.1f s)", ignored.time);
  }
  const std::vector<Session*>& sessions = simulator.sessions();
  std::vector<std::string> choices = MenuChoices(sessions);
  for (std::size_t i = 0; i < kClientLines; ++i) {
    if (i + 1 == kClientLines && sessions.size() > kClientLines) {
      lines.push_back("  ... and " + std::to_string(sessions.size() - i) + " more clients");
    } else if (i < sessions.size()) {
      lines.push_back(ClientLine(*sessions[i], choices));
    } else {
      lines.push_back(i == 0 ? "  no clients" : "");
    }
  }
  const auto& recent = reporter.recent();
  for (std::size_t i = 0; i < kEventLines; ++i) {
    lines.push_back(i < recent.size() ? "  " + recent[i] : "");
  }
  lines.push_back("keys: h hat   v next view   1-9 menu entry   p pause   q quit");
  lines.push_back(std::string(60, '-'));
  return lines;
}

}  // namespace standin
