// The latency log (--latency FILE): for each client that follows the frames,
// when each frame's attitude record went out and when the camera command
// answering it was applied, as tab-separated rows for the benchmarks.
#ifndef VANTILO_STANDIN_LOG_LATENCY_H
#define VANTILO_STANDIN_LOG_LATENCY_H

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "standin/log/log_file.h"

namespace standin {

// Monotonic clock (CLOCK_MONOTONIC through steady_clock) in nanoseconds.
std::int64_t MonotonicNanoseconds();

// Rows, after one header line starting with '#':
//   open  CLIENT NAME                       a client opened, with its name
//   frame CLIENT FRAME SENT_NS APPLIED_NS   a frame's record and its command
//   frame CLIENT FRAME SENT_NS -            no command came for it
// A client that follows answers every record, in order, so the commands
// pair with the records first in, first out: a command answers the oldest
// record not yet answered, however many frames have gone out since (that
// shows as latency). A command with no record waiting writes nothing;
// records still unanswered when the log closes, or when their client
// leaves, are written with "-". At most 4096 records a client wait for an
// answer: the oldest past that is written with "-", so that a client that
// never answers costs bounded memory.
class LatencyLog {
 public:
  ~LatencyLog() { Close(); }

  bool Open(const std::string& path);
  bool open() const { return file_.open(); }
  void Close();
  // The reason the first write that failed gave (a full disk, say), or
  // empty. Rows are buffered, so a failure may show only when the buffer is
  // written out, at the latest by Close.
  const std::string& failure() const { return file_.failure(); }

  void ClientOpened(int client, const std::string& name);
  // A per-frame attitude record queued for the client.
  void RecordSent(int client, std::uint64_t frame, std::int64_t nowNs);
  // A camera command from the client applied.
  void CommandApplied(int client, std::int64_t nowNs);
  // The client has gone: its records still unanswered are written with "-".
  void ClientLeft(int client);

 private:
  struct Unanswered {
    std::uint64_t frame;
    std::int64_t sentNs;
  };
  void WriteUnanswered(int client, const Unanswered& record);

  LogFile file_;
  std::map<int, std::deque<Unanswered>> unanswered_;  // by client, oldest first
};

}  // namespace standin

#endif
