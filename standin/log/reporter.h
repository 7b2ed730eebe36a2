// Where everything noteworthy goes: trace lines (each stamped with the
// simulated time and frame), plain log lines, the live view's list of
// recent events, and the counts printed in the summary at exit.
#ifndef VANTILO_STANDIN_LOG_REPORTER_H
#define VANTILO_STANDIN_LOG_REPORTER_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "standin/log/console.h"
#include "standin/log/latency.h"
#include "standin/log/repeated_lines.h"
#include "standin/log/trace.h"
#include "standin/wire/packets.h"

namespace standin {

struct Stats {
  std::uint64_t frames = 0;                // rendered since the scenario started
  std::uint64_t dataRecords = 0;           // data records queued for clients
  std::uint64_t dataDropped = 0;           // frame records dropped for a client that lags
  std::uint64_t recordsLate = 0;           // frame records past the frame's time, dropped
  std::uint64_t cameraCommands = 0;        // camera commands applied
  std::uint64_t cameraIgnored = 0;         // camera commands the persona ignores
  std::uint64_t framesWithoutCommand = 0;  // of all following clients together
  std::uint64_t exceptions = 0;            // exception records sent
  std::uint64_t clients = 0;               // connections accepted
  std::uint64_t refused = 0;               // connections closed at once (over the limits)
  std::uint64_t notesCounted = 0;          // repeated log lines counted instead of written
  std::uint64_t traceLeftOut = 0;          // trace lines over a client's share of a second
  std::uint64_t logLinesDropped = 0;       // log lines the stalled console did not take
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
  // A log line that a client can make repeat without end (an exception, a
  // refusal, a menu added or removed, a client come or gone), of client (or
  // none, when negative) and kind, bounded as RepeatedLines says.
  void NoteRepeated(int client, const std::string& kind, const std::string& text);
  // The trace lines that a client's packet brings about (the packet, the
  // record answering it, the camera) are written while that client has
  // packets traced left in this second; past it they are counted, and one
  // "left_out" line says how many once the second is over.
  void BeginPacket(int client);
  void EndPacket() { leavingOut_ = false; }
  // Tells what the bounds held back over seconds that are over (each frame),
  // and all that they hold back (at exit: force).
  void Tick(bool force = false);
  // Tells what the bounds hold back of a client that has gone, and forgets it.
  void ClientLeft(int client);
  // A client followed a frame; it left one unanswered (no camera command,
  // applied or ignored, before the next frame). Counted per client, for
  // the summary.
  void Followed(int client) { unanswered_.emplace(client, 0); }
  void FrameUnanswered(int client) {
    unanswered_[client]++;
    stats.framesWithoutCommand++;
  }

  const std::deque<std::string>& recent() const { return recent_; }
  std::string Summary() const;
  std::string Unanswered() const;

  Stats stats;
  // The persona played, named in the summary and the live view; empty for
  // the default, whose output names no simulator.
  std::string persona;
  // The latency log (--latency), or null.
  LatencyLog* latency = nullptr;
  // Where log lines go instead of the log file, without waiting, or null.
  Console* console = nullptr;

 private:
  TraceFile* trace_;
  std::FILE* log_;
  double simTime_ = 0.0;
  std::uint64_t frame_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::deque<std::string> recent_;
  // Tells and forgets the held-back counts of the clients ofClient picks,
  // whose second is over (or all of them: force).
  void Settle(bool force, const std::function<bool(int)>& ofClient);
  // Whether a trace line is to be written now; one left out is counted.
  bool Writing();
  struct Held {
    std::chrono::steady_clock::time_point since;  // the second's start
    std::uint64_t shown = 0;                      // packets traced in it
    std::uint64_t more = 0;                       // packets left out
    std::uint64_t lines = 0;                      // trace lines left out
  };
  RepeatedLines repeated_;
  std::map<int, Held> traced_;               // by client
  std::map<int, std::uint64_t> unanswered_;  // frames without command, by following client
  bool leavingOut_ = false;                  // the packet being handled is not traced
  int currentClient_ = 0;                    // whose packet is being handled
};

}  // namespace standin

#endif
