// The latency log's pairing of records and commands, and its row text. Rows
// are written through stdio's buffer, not flushed one by one, so that
// logging adds next to nothing to the frame loop it measures.
#include "standin/log/latency.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstring>

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

LatencyLog::~LatencyLog() { Close(); }

bool LatencyLog::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) {
    return false;
  }
  Wrote(
      std::fputs("# vantilo-standin latency log: open CLIENT NAME | frame CLIENT FRAME SENT_NS "
                 "APPLIED_NS (- when the next frame came first)\n",
                 file_));
  return true;
}

void LatencyLog::Wrote(int result) {
  if (result < 0 && failure_.empty()) {
    failure_ = std::strerror(errno);
  }
}

void LatencyLog::Close() {
  if (file_ != nullptr) {
    for (const auto& client : unanswered_) {
      for (const Unanswered& record : client.second) {
        WriteUnanswered(client.first, record);
      }
    }
    Wrote(std::fclose(file_) == 0 ? 0 : -1);
    file_ = nullptr;
  }
  unanswered_.clear();
}

void LatencyLog::ClientOpened(int client, const std::string& name) {
  if (file_ == nullptr) {
    return;
  }
  Wrote(std::fprintf(file_, "open\t%d\t%s\n", client, Printable(name).c_str()));
}

void LatencyLog::RecordSent(int client, std::uint64_t frame, std::int64_t nowNs) {
  if (file_ == nullptr) {
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
  Wrote(std::fprintf(file_, "frame\t%d\t%" PRIu64 "\t%" PRId64 "\t-\n", client, record.frame,
                     record.sentNs));
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
  Wrote(std::fprintf(file_, "frame\t%d\t%" PRIu64 "\t%" PRId64 "\t%" PRId64 "\n", client,
                     record.frame, record.sentNs, nowNs));
}

}  // namespace standin
