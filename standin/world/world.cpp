// Motion easing, the aircraft's attitude and the camera's state.
#include "standin/world/world.h"

#include <cfloat>
#include <cmath>

namespace standin {

namespace {
const double kPi = 3.14159265358979323846;
const double kShortestMotion = 0.5;  // seconds, so that even a tiny change eases
}  // namespace

void Motion::Start(double target, double seconds) {
  from_ = value_;
  to_ = target;
  if (seconds <= 0.0) {
    seconds = std::fabs(target - value_) / kStandardRate;
  }
  duration_ = seconds < kShortestMotion ? kShortestMotion : seconds;
  elapsed_ = 0.0;
}

void Motion::Advance(double seconds) {
  if (elapsed_ >= duration_) {
    value_ = to_;
    return;
  }
  elapsed_ += seconds;
  if (elapsed_ >= duration_) {
    value_ = to_;  // exactly the target, not from + (to - from)
    return;
  }
  value_ = from_ + (to_ - from_) * (1.0 - std::cos(kPi * elapsed_ / duration_)) / 2.0;
}

void World::Roll(double degrees, double seconds) { bank_.Start(degrees, seconds); }

void World::Pitch(double degrees, double seconds) { pitch_.Start(degrees, seconds); }

void World::Advance(double seconds) {
  if (paused) {
    return;
  }
  bank_.Advance(seconds);
  pitch_.Advance(seconds);
}

void World::ApplyCamera(int client, const float values[6]) {
  for (int i = 0; i < 6; ++i) {
    if (values[i] != FLT_MAX) {
      camera_.values[i] = values[i];
    }
  }
  camera_.set = true;
  camera_.client = client;
  camera_.time = time;
}

void World::IgnoreCamera(int client) {
  ignoredCamera_.count++;
  ignoredCamera_.client = client;
  ignoredCamera_.time = time;
}

}  // namespace standin
