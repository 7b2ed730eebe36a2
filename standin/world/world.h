// The simulated world: the clock, the aircraft's bank and pitch (which move
// smoothly towards their targets), the view, the simulator's own pause and
// the cockpit camera as the clients last set it. No I/O.
#ifndef VANTILO_STANDIN_WORLD_WORLD_H
#define VANTILO_STANDIN_WORLD_WORLD_H

#include <cstdint>

#include "standin/world/scenario.h"

namespace standin {

// A value eased from where it is to a target over a duration (cosine ease:
// no step in value, no step in rate at either end).
class Motion {
 public:
  explicit Motion(double value = 0.0) : from_(value), to_(value), value_(value) {}
  void Start(double target, double seconds);
  void Advance(double seconds);
  double value() const { return value_; }
  double target() const { return to_; }

 private:
  double from_;
  double to_;
  double duration_ = 0.0;
  double elapsed_ = 0.0;
  double value_;
};

// Degrees per second for a roll or pitch given without "over".
const double kStandardRate = 10.0;

struct CameraState {
  float values[6] = {0, 0, 0, 0, 0, 0};  // delta x, y, z, pitch, bank, heading
  bool set = false;
  int client = 0;
  double time = 0.0;  // simulated time of the last command
};

// Camera commands the simulator accepted without moving its camera.
struct IgnoredCameraCommands {
  std::uint64_t count = 0;
  int client = 0;     // of the last one
  double time = 0.0;  // simulated time of the last one
};

class World {
 public:
  // Starts bank (or pitch) moving to degrees; 0 seconds means the standard rate.
  void Roll(double degrees, double seconds);
  void Pitch(double degrees, double seconds);
  // Moves the aircraft by a frame's simulated seconds, unless paused.
  void Advance(double seconds);
  // Applies a camera command; a component equal to FLT_MAX stays as it was.
  void ApplyCamera(int client, const float values[6]);
  // Notes a camera command that leaves the camera as it is.
  void IgnoreCamera(int client);

  double bankDegrees() const { return bank_.value(); }
  double pitchDegrees() const { return pitch_.value(); }
  const CameraState& camera() const { return camera_; }
  const IgnoredCameraCommands& ignoredCamera() const { return ignoredCamera_; }

  double time = 0.0;  // simulated seconds since the scenario started
  bool started = false;
  bool paused = false;  // the simulator's own pause
  View view = View::kVirtualCockpit;

 private:
  Motion bank_;
  Motion pitch_;
  CameraState camera_;
  IgnoredCameraCommands ignoredCamera_;
};

}  // namespace standin

#endif
