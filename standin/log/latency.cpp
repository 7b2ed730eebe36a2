// The latency log's pairing of records and commands, and its row text. Rows
// are written through stdio's buffer, not flushed one by one, so that
// logging adds next to nothing to the frame loop it measures.
#include "standin/log/latency.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

#include "standin/wire/bytes.h"

namespace standin {

namespace {
const std::size_t kMostUnanswered = 4096;  // records a client has not answered yet
}

std::int64_t MonotonicNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool LatencyLog::Open(const std::string& path) {
  if (!file_.Open(path)) {
    return false;
  }
  file_.Wrote(
      std::fputs("# vantilo-standin latency log: open CLIENT NAME | frame CLIENT FRAME SENT_NS "
                 "APPLIED_NS (- when the next frame came first)\n",
                 file_.get()) >= 0);
  return true;
}

void LatencyLog::Close() {
  if (file_.open()) {
    for (const auto& client : unanswered_) {
      for (const Unanswered& record : client.second) {
        WriteUnanswered(client.first, record);
      }
    }
    file_.Close();
  }
  unanswered_.clear();
}

void LatencyLog::ClientOpened(int client, const std::string& name) {
  if (!file_.open()) {
    return;
  }
  file_.Wrote(std::fprintf(file_.get(), "open\t%d\t%s\n", client, Printable(name).c_str()) >= 0);
}

void LatencyLog::RecordSent(int client, std::uint64_t frame, std::int64_t nowNs) {
  if (!file_.open()) {
    return;
  }
  std::deque<Unanswered>& waiting = unanswered_[client];
  if (waiting.size() == kMostUnanswered) {
    WriteUnanswered(client, waiting.front());
    waiting.pop_front();
  }
  waiting.push_back({frame, nowNs});
}

void LatencyLog::ClientLeft(int client) {
  auto waiting = unanswered_.find(client);
  if (waiting == unanswered_.end()) {
    return;
  }
  for (const Unanswered& record : waiting->second) {
    WriteUnanswered(client, record);
  }
  unanswered_.erase(waiting);
}

void LatencyLog::WriteUnanswered(int client, const Unanswered& record) {
  file_.Wrote(std::fprintf(file_.get(), "frame\t%d\t%" PRIu64 "\t%" PRId64 "\t-\n", client,
                           record.frame, record.sentNs) >= 0);
}

void LatencyLog::CommandApplied(int client, std::int64_t nowNs) {
  if (!file_.open()) {
    return;
  }
  auto waiting = unanswered_.find(client);
  if (waiting == unanswered_.end() || waiting->second.empty()) {
    return;
  }
  const Unanswered record = waiting->second.front();
  waiting->second.pop_front();
  file_.Wrote(std::fprintf(file_.get(), "frame\t%d\t%" PRIu64 "\t%" PRId64 "\t%" PRId64 "\n",
                           client, record.frame, record.sentNs, nowNs) >= 0);
}

}  // namespace standin
