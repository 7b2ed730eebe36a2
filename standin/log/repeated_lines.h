// The bound on log lines that a client can make repeat without end: of
// each client's kind of line (an exception, a refusal, a menu added or
// removed, a client come or gone), the first few of a second are written
// and the rest counted, told in one line once that second is over.
#ifndef VANTILO_STANDIN_LOG_REPEATED_LINES_H
#define VANTILO_STANDIN_LOG_REPEATED_LINES_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace standin {

// "client 7: ", or nothing for none (a negative client).
std::string ClientPrefix(int client);

class RepeatedLines {
 public:
  using Clock = std::chrono::steady_clock;

  // Whether the second of client's kind began a second or more before now:
  // its count is to be told first.
  bool SecondOver(int client, const std::string& kind, Clock::time_point now) const;
  // Whether a line of client's kind is written now; if not, it is counted.
  bool Admit(int client, const std::string& kind, Clock::time_point now);
  // The lines telling the counts of the clients ofClient picks whose second
  // is over at now (or all of them: force), e.g. "client 7: 19,000 more
  // TOO_MANY_REQUESTS exceptions in the last second"; those are forgotten.
  std::vector<std::string> Settle(bool force, const std::function<bool(int)>& ofClient,
                                  Clock::time_point now);

 private:
  struct Held {
    Clock::time_point since;  // the second's start
    std::uint64_t shown = 0;  // lines written in it
    std::uint64_t more = 0;   // lines counted
  };
  std::map<std::pair<int, std::string>, Held> held_;
};

}  // namespace standin

#endif
