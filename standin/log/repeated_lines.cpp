// Counts kept per (client, kind) for the second that began with its first
// line; a line after that second starts the next one.
#include "standin/log/repeated_lines.h"

namespace standin {

namespace {

const auto kHoldSpan = std::chrono::seconds(1);
// Lines of one client's kind written a second before the rest are counted.
const std::uint64_t kLinesShown = 5;

// 19000 as "19,000".
std::string Grouped(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) {
    digits.insert(at - 3, ",");
  }
  return digits;
}

}  // namespace

std::string ClientPrefix(int client) {
  return client < 0 ? std::string() : "client " + std::to_string(client) + ": ";
}

bool RepeatedLines::SecondOver(int client, const std::string& kind, Clock::time_point now) const {
  auto found = held_.find({client, kind});
  return found != held_.end() && now - found->second.since >= kHoldSpan;
}

bool RepeatedLines::Admit(int client, const std::string& kind, Clock::time_point now) {
  auto found = held_.find({client, kind});
  if (found == held_.end()) {
    found = held_.emplace(std::make_pair(client, kind), Held{now}).first;
  }
  Held& held = found->second;
  if (held.shown < kLinesShown) {
    held.shown++;
    return true;
  }
  held.more++;
  return false;
}

std::vector<std::string> RepeatedLines::Settle(bool force, const std::function<bool(int)>& ofClient,
                                               Clock::time_point now) {
  std::vector<std::string> lines;
  for (auto it = held_.begin(); it != held_.end();) {
    if (!ofClient(it->first.first) || (!force && now - it->second.since < kHoldSpan)) {
      ++it;
      continue;
    }
    if (it->second.more > 0) {
      lines.push_back(ClientPrefix(it->first.first) + Grouped(it->second.more) + " more " +
                      it->first.second + " in the last second");
    }
    it = held_.erase(it);
  }
  return lines;
}

}  // namespace standin
