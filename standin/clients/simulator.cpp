// Frame order: advance the clock, run due actions, move the aircraft, tick
// "1sec" for each simulated second passed, then the "Frame" events and the
// per-frame data. Camera commands arrive between frames.
#include "standin/clients/simulator.h"

#include <algorithm>

namespace standin {

namespace {
const double kTimeSlack = 1e-9;  // so that 60 frames of 1/60 s reach exactly 1 s
// Each client's records in one round of a frame: a follower's "Frame"
// event and data record, and two more.
const std::size_t kRecordsPerRound = 4;
// The part of a frame's period its records may take: an eighth (client
// input takes a quarter; the rest is for sending them and the loop). Under
// AddressSanitizer with a core busy a 1000 fps follower keeps 94 % or more
// of its frames beside twenty clients with 999 "Frame" subscriptions each
// (measured: 94, 100 and 100 % in three runs).
const int kRecordsPartOfFrame = 8;
}  // namespace

Simulator::Simulator(std::vector<Action> scenario, double fps, double speed, World& world,
                     Reporter& reporter)
    : scenario_(std::move(scenario)),
      fps_(fps),
      recordTime_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::duration<double>(1.0 / fps / kRecordsPartOfFrame))),
      speed_(speed),
      world_(world),
      reporter_(reporter) {}

void Simulator::AddSession(Session* session) { sessions_.push_back(session); }

void Simulator::RemoveSession(Session* session) {
  sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), session), sessions_.end());
}

void Simulator::Start() {
  if (world_.started) {
    return;
  }
  world_.started = true;
  reporter_.Trace(reporter_.Line("start"));
  reporter_.Note("scenario clock started");
}

void Simulator::Frame() {
  if (!world_.started) {
    return;
  }
  ++frame_;
  double step = speed_ / fps_;
  world_.time = static_cast<double>(frame_) * step;
  reporter_.SetClock(world_.time, frame_);
  reporter_.stats.frames++;
  for (Session* session : sessions_) {
    if (session->LastFrameUnanswered()) {
      reporter_.FrameUnanswered(session->id());
    }
  }

  while (!finished_ && next_ < scenario_.size() &&
         scenario_[next_].time <= world_.time + kTimeSlack) {
    Perform(scenario_[next_++]);
  }
  world_.Advance(step);
  while (nextTick_ <= world_.time + kTimeSlack) {
    for (Session* session : sessions_) {
      session->SecondPassed();
    }
    nextTick_ += 1.0;
  }
  FrameRecords();
}

// The frame's records, built in rounds of a few per client, as long as the
// frame's time for them lasts: a client with a thousand "Frame"
// subscriptions takes its share, and one with two records gets them in the
// first round. The first round always runs whole.
void Simulator::FrameRecords() {
  const auto deadline = std::chrono::steady_clock::now() + recordTime_;
  for (Session* session : sessions_) {
    session->BeginFrame(static_cast<float>(fps_), static_cast<float>(speed_));
    if (session->Following()) {
      reporter_.Followed(session->id());
    }
  }
  for (bool more = true; more;) {
    more = false;
    for (Session* session : sessions_) {
      more = session->FrameRecords(kRecordsPerRound) || more;
    }
    more = more && std::chrono::steady_clock::now() < deadline;
  }
  for (Session* session : sessions_) {
    session->EndFrame();
  }
}

void Simulator::Perform(const Action& action) {
  JsonLine line = reporter_.Line("action");
  line.Str("action", ActionWord(action.kind));
  switch (action.kind) {
    case ActionKind::kRoll:
    case ActionKind::kPitch:
      line.Num("degrees", action.degrees).Num("seconds", action.seconds);
      TraceAction(action, line);
      if (action.kind == ActionKind::kRoll) {
        world_.Roll(action.degrees, action.seconds);
      } else {
        world_.Pitch(action.degrees, action.seconds);
      }
      break;
    case ActionKind::kHat:
      TraceAction(action, line);
      reporter_.Note("hat: joystick 0 POV");
      for (Session* session : sessions_) {
        session->Hat();
      }
      break;
    case ActionKind::kView:
      TraceAction(action, line.Str("view", ViewWord(action.view)));
      ChangeView(action);
      break;
    case ActionKind::kMenu:
      TraceAction(action, line.Str("text", action.text));
      ChooseMenu(action);
      break;
    case ActionKind::kPause:
      ChangePause(action, line);
      break;
    case ActionKind::kQuit:
      TraceAction(action, line);
      reporter_.Note("the simulator quits");
      for (Session* session : sessions_) {
        session->Quit();
      }
      finished_ = true;
      break;
    case ActionKind::kEnd:
      TraceAction(action, line);
      reporter_.Note("end of the scenario");
      finished_ = true;
      break;
  }
}

void Simulator::TraceAction(const Action& action, JsonLine line) {
  line.Str("source", action.line > 0 ? "scenario" : "key");
  if (action.line > 0) {
    line.Int("line", action.line);
  }
  reporter_.Trace(line);
}

void Simulator::ChangeView(const Action& action) {
  if (world_.view == action.view) {
    reporter_.Note(std::string("view: already ") + ViewWord(action.view));
    return;
  }
  world_.view = action.view;
  reporter_.Note(std::string("view: ") + ViewWord(action.view));
  for (Session* session : sessions_) {
    session->SystemEventOccurred(SystemEvent::kView, ViewFlag(action.view));
  }
}

void Simulator::ChangePause(const Action& action, JsonLine line) {
  bool paused =
      action.pause == PauseMode::kToggle ? !world_.paused : action.pause == PauseMode::kOn;
  TraceAction(action, line.Bool("paused", paused));
  if (paused == world_.paused) {
    return;
  }
  world_.paused = paused;
  reporter_.Note(paused ? "simulator paused" : "simulator running");
  for (Session* session : sessions_) {
    session->SystemEventOccurred(SystemEvent::kPause, paused ? 1 : 0);
  }
}

void Simulator::ChooseMenu(const Action& action) {
  bool chosen = false;
  for (Session* session : sessions_) {
    chosen = session->ChooseMenu(action.text) || chosen;
  }
  reporter_.Note("menu: '" + action.text + "'" + (chosen ? "" : " (no client has it)"));
}

}  // namespace standin
