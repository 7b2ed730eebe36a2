// The event loop: one thread, one poll() over the listening socket, every
// client and (on a terminal) the keyboard. Frames come at their real-time
// deadlines; client input takes at most a quarter of each frame's period; a
// loop that falls far behind skips ahead instead of bursting.
#include "standin/process/app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "standin/clients/server.h"
#include "standin/live/live_view.h"
#include "standin/live/terminal.h"
#include "standin/wire/persona.h"

namespace standin {

namespace {

using Clock = std::chrono::steady_clock;
const auto kRedrawEvery = std::chrono::milliseconds(100);
const auto kFinishWait = std::chrono::seconds(3);
const auto kMostBehind = std::chrono::milliseconds(250);
// How long the summary may wait at exit for a stalled standard output.
const auto kSummaryWait = std::chrono::milliseconds(2000);
// Client input may take this part of each frame's period, as a simulator's
// frame loop bounds its work: the rest is the frames' and the clients' own.
const int kInputPartOfFrame = 4;

bool LoadScenario(const Options& options, std::vector<Action>* actions, std::string* error) {
  std::string text = DefaultScenarioText();
  if (!options.scenarioPath.empty()) {
    // A folder opens as a stream that reads nothing: name it, rather than
    // run an empty scenario forever.
    struct stat info;
    if (stat(options.scenarioPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      *error = "scenario " + options.scenarioPath + ": is a directory";
      return false;
    }
    std::ifstream file(options.scenarioPath);
    if (!file) {
      *error = "cannot read scenario " + options.scenarioPath + ": " + std::strerror(errno);
      return false;
    }
    std::stringstream content;
    content << file.rdbuf();
    if (file.bad()) {
      *error = "cannot read scenario " + options.scenarioPath;
      return false;
    }
    text = content.str();
  }
  if (ParseScenario(text, actions, error)) {
    return true;
  }
  *error = "scenario " + (options.scenarioPath.empty() ? "(built-in)" : options.scenarioPath) +
           ": " + *error;
  return false;
}

// The key's action, as the user at the simulator would do it.
bool KeyAction(int key, const World& world, const Simulator& simulator, Action* action) {
  switch (key) {
    case 'h':
      action->kind = ActionKind::kHat;
      return true;
    case 'v': {
      action->kind = ActionKind::kView;
      View next[] = {View::kCockpit2D, View::kExternal, View::kVirtualCockpit};
      action->view = next[static_cast<int>(world.view)];
      return true;
    }
    case 'p':
      action->kind = ActionKind::kPause;
      return true;
    case 'q':
      action->kind = ActionKind::kQuit;
      return true;
    default: {
      std::vector<std::string> choices = MenuChoices(simulator.sessions());
      std::size_t index = static_cast<std::size_t>(key - '1');
      if (key < '1' || key > '9' || index >= choices.size()) {
        return false;
      }
      action->kind = ActionKind::kMenu;
      action->text = choices[index];
      return true;
    }
  }
}

std::chrono::nanoseconds TimeUntil(Clock::time_point when) {
  auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(when - Clock::now());
  return left.count() <= 0 ? std::chrono::nanoseconds(0) : left;
}

}  // namespace

int RunStandin(const Options& options) {
  std::vector<Action> actions;
  std::string error;
  if (!LoadScenario(options, &actions, &error)) {
    // The message may quote a line of a file that is not text at all.
    std::fprintf(stderr, "vantilo-standin: %s\n", Printable(error).c_str());
    return 2;
  }
  TraceFile trace;
  if (!options.tracePath.empty() && !trace.Open(options.tracePath)) {
    std::fprintf(stderr, "vantilo-standin: cannot write trace %s\n", options.tracePath.c_str());
    return 2;
  }
  LatencyLog latency;
  if (!options.latencyPath.empty() && !latency.Open(options.latencyPath)) {
    std::fprintf(stderr, "vantilo-standin: cannot write latency log %s\n",
                 options.latencyPath.c_str());
    return 2;
  }
  bool live = OutputIsTerminal() && !options.noLive;
  Console console;
  console.Begin();
  Reporter reporter(trace.open() ? &trace : nullptr, nullptr);
  if (!live) {
    reporter.console = &console;
  }
  if (latency.open()) {
    reporter.latency = &latency;
  }
  const Persona& persona = *FindPersona(options.simulator);
  if (persona.name != DefaultPersona().name) {
    reporter.persona = persona.name;
  }
  World world;
  Simulator simulator(actions, options.fps, options.speed, world, reporter);
  Server server(world, reporter, simulator, options.maxClients, persona,
                options.allQueuesKiB * 1024);
  if (!server.Listen(options.address, options.port, &error)) {
    std::fprintf(stderr, "vantilo-standin: %s\n", error.c_str());
    return 1;
  }

  InstallSignalHandlers();
  Terminal terminal;
  if (live) {
    terminal.BeginLive(kLiveViewLines, &console);
  }
  bool keys = terminal.BeginKeys();
  std::fprintf(stderr, "listening on %s:%d\n", options.address.c_str(), server.port());
  std::fflush(stderr);
  if (options.startNow) {
    simulator.Start();
  }

  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / options.fps));
  const auto inputBudget =
      std::chrono::duration_cast<std::chrono::nanoseconds>(period) / kInputPartOfFrame;
  server.NewFrame(inputBudget);
  Clock::time_point nextFrame = Clock::now() + period;
  Clock::time_point nextDraw = Clock::now();
  Clock::time_point finishBy = Clock::time_point::max();
  while (PendingSignal() == 0) {
    Clock::time_point now = Clock::now();
    if (now >= nextFrame) {
      simulator.Frame();
      reporter.Tick();
      server.FlushAll();
      server.NewFrame(inputBudget);
      nextFrame += period;
      if (now - nextFrame > kMostBehind) {
        nextFrame = now + period;
      }
    }
    if (simulator.finished()) {
      if (finishBy == Clock::time_point::max()) {
        finishBy = now + kFinishWait;
      }
      if (server.clientCount() == 0 || now >= finishBy) {
        break;
      }
    }
    if (live && now >= nextDraw) {
      terminal.Draw(RenderLiveView(world, simulator, reporter));
      nextDraw = now + kRedrawEvery;
    }
    Clock::time_point wake = live ? std::min(nextFrame, nextDraw) : nextFrame;
    if (server.Poll(TimeUntil(std::min(wake, finishBy)), keys ? STDIN_FILENO : -1)) {
      int key = terminal.ReadKey();
      Action action;
      if (key < 0) {
        keys = false;  // the terminal has gone away
      }
      if (key >= 0 && KeyAction(key, world, simulator, &action)) {
        simulator.Perform(action);
      }
    }
    server.FlushAll();
    console.Flush();
    if (!trace.failure().empty() || !latency.failure().empty()) {
      break;  // a log with holes in it is worse than none: stop and say so
    }
  }

  server.CloseAll();
  reporter.Tick(true);
  trace.Close();
  latency.Close();
  terminal.Restore();
  console.Finish(reporter.Summary(), kSummaryWait);
  bool written = true;
  if (!trace.failure().empty()) {
    std::fprintf(stderr, "vantilo-standin: cannot write trace %s: %s\n",
                 Printable(options.tracePath).c_str(), trace.failure().c_str());
    written = false;
  }
  if (!latency.failure().empty()) {
    std::fprintf(stderr, "vantilo-standin: cannot write latency log %s: %s\n",
                 Printable(options.latencyPath).c_str(), latency.failure().c_str());
    written = false;
  }
  if (!written) {
    return 1;
  }
  int signal = PendingSignal();
  return signal == 0 ? 0 : 128 + signal;
}

}  // namespace standin
