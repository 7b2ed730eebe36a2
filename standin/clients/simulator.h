// The simulator's course of time: renders frames, runs the scenario's
// actions when their time comes, ticks "1sec" once per simulated second and
// hands each happening to every connected session.
#ifndef VANTILO_STANDIN_CLIENTS_SIMULATOR_H
#define VANTILO_STANDIN_CLIENTS_SIMULATOR_H

#include <chrono>
#include <cstdint>
#include <vector>

#include "standin/clients/session.h"
#include "standin/log/reporter.h"
#include "standin/world/scenario.h"
#include "standin/world/world.h"

namespace standin {

class Simulator {
 public:
  // fps frames per real second; each frame advances simulated time by speed / fps.
  Simulator(std::vector<Action> scenario, double fps, double speed, World& world,
            Reporter& reporter);

  void AddSession(Session* session);
  void RemoveSession(Session* session);
  const std::vector<Session*>& sessions() const { return sessions_; }

  // Starts the scenario clock; later calls do nothing.
  void Start();
  // One visual frame. Nothing happens before the clock has started.
  void Frame();
  // Does an action now, whether it comes from the scenario or a key.
  void Perform(const Action& action);
  // The scenario has ended or the simulator has quit.
  bool finished() const { return finished_; }
  double fps() const { return fps_; }
  double speed() const { return speed_; }

 private:
  void FrameRecords();
  void TraceAction(const Action& action, JsonLine line);
  void ChangeView(const Action& action);
  void ChangePause(const Action& action, JsonLine line);
  void ChooseMenu(const Action& action);

  std::vector<Action> scenario_;
  std::size_t next_ = 0;
  double fps_;
  std::chrono::steady_clock::duration recordTime_;  // a frame's time for its records
  double speed_;
  World& world_;
  Reporter& reporter_;
  std::vector<Session*> sessions_;
  std::uint64_t frame_ = 0;
  double nextTick_ = 1.0;
  bool finished_ = false;
};

}  // namespace standin

#endif
