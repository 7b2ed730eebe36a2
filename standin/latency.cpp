// The latency log's pairing of records and commands, and its row text. Rows
// are written through stdio's buffer, not flushed one by one, so that
// logging adds next to nothing to the frame loop it measures.
#include "standin/latency.h"

#include <chrono>
#include <cinttypes>

#include "standin/bytes.h"

namespace standin {

std::int64_t MonotonicNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

LatencyLog::~LatencyLog() { Close(); }

bool LatencyLog::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) {
    return false;
  }
  std::fputs(
      "# vantilo-standin latency log: open CLIENT NAME | frame CLIENT FRAME SENT_NS "
      "APPLIED_NS (- when the next frame came first)\n",
      file_);
  return true;
}

void LatencyLog::Close() {
  if (file_ != nullptr) {
    for (const auto& client : unanswered_) {
      for (const Unanswered& record : client.second) {
        std::fprintf(file_, "frame\t%d\t%" PRIu64 "\t%" PRId64 "\t-\n", client.first, record.frame,
                     record.sentNs);
      }
    }
    std::fclose(file_);
    file_ = nullptr;
  }
  unanswered_.clear();
}

void LatencyLog::ClientOpened(int client, const std::string& name) {
  if (file_ == nullptr) {
    return;
  }
  std::fprintf(file_, "open\t%d\t%s\n", client, Printable(name).c_str());
}

void LatencyLog::RecordSent(int client, std::uint64_t frame, std::int64_t nowNs) {
  if (file_ == nullptr) {
    return;
  }
  unanswered_[client].push_back({frame, nowNs});
}

void LatencyLog::CommandApplied(int client, std::int64_t nowNs) {
  if (file_ == nullptr) {
    return;
  }
  auto waiting = unanswered_.find(client);
  if (waiting == unanswered_.end() || waiting->second.empty()) {
    return;
  }
  const Unanswered record = waiting->second.front();
  waiting->second.pop_front();
  std::fprintf(file_, "frame\t%d\t%" PRIu64 "\t%" PRId64 "\t%" PRId64 "\n", client, record.frame,
               record.sentNs, nowNs);
}

}  // namespace standin
