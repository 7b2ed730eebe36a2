// Where everything noteworthy goes: trace lines (each stamped with the
// simulated time and frame), plain log lines, the live view's list of
// recent events, and the counts printed in the summary at exit.
#ifndef VANTILO_STANDIN_REPORTER_H
#define VANTILO_STANDIN_REPORTER_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

#include "standin/latency.h"
#include "standin/packets.h"
#include "standin/trace.h"

namespace standin {

struct Stats {
  std::uint64_t frames = 0;                // rendered since the scenario started
  std::uint64_t dataRecords = 0;           // data records queued for clients
  std::uint64_t dataDropped = 0;           // frame records dropped for a client that lags
  std::uint64_t cameraCommands = 0;        // camera commands applied
  std::uint64_t framesWithoutCommand = 0;  // frames a client followed without a command
  std::uint64_t exceptions = 0;            // exception records sent
  std::uint64_t clients = 0;               // connections accepted
  std::uint64_t refused = 0;               // connections closed at once (over the limits)
};

class Reporter {
 public:
  // trace and log may be null: no trace file, no log lines.
  Reporter(TraceFile* trace, std::FILE* log);

  void SetClock(double simTime, std::uint64_t frame);
  double simTime() const { return simTime_; }
  std::uint64_t frame() const { return frame_; }

  // A trace line that already holds "t", "frame" and "kind".
  JsonLine Line(const char* kind) const;
  // Whether trace lines are written at all (else building them is wasted).
  bool tracing() const { return trace_ != nullptr; }
  void Trace(const JsonLine& line);
  // A packet received, with its decoded arguments.
  void TracePacket(int client, const Packet& packet);
  // A log line and an entry in the recent events.
  void Note(const std::string& text);

  const std::deque<std::string>& recent() const { return recent_; }
  std::string Summary() const;

  Stats stats;
  // The latency log (--latency), or null.
  LatencyLog* latency = nullptr;

 private:
  TraceFile* trace_;
  std::FILE* log_;
  double simTime_ = 0.0;
  std::uint64_t frame_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::deque<std::string> recent_;
};

}  // namespace standin

#endif
