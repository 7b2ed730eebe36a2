// Figures from the stand-in's latency log (--latency): per client, the
// latencies of the answered frames and the frames without a command, over
// the frames before a cut-off (the frame at which the client stops following).
#ifndef VANTILO_BENCH_LATENCY_STATS_H
#define VANTILO_BENCH_LATENCY_STATS_H

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct ClientFrames {
  std::string name;                       // from the client's Open
  std::vector<std::int64_t> latenciesNs;  // answered frames, in log order
  std::uint64_t withoutCommand = 0;       // frames whose record was never answered
  std::vector<std::int64_t> sentNs;       // every frame's record, in frame order
};

// Reads the whole log; frames numbered at or after untilFrame are left out.
// False with "line N: ..." in error for a row it cannot read.
bool ReadLatencyLog(std::istream& in, std::uint64_t untilFrame,
                    std::map<int, ClientFrames>* clients, std::string* error);

// The client with this name (the first one opened), or null.
const ClientFrames* FindClient(const std::map<int, ClientFrames>& clients, const std::string& name);

// Records sent less than minGapNs after the one before: the stand-in's frame
// pacing, since two records that close together are often answered together.
std::uint64_t CloseRecords(const std::vector<std::int64_t>& sentNs, std::int64_t minGapNs);

// Nearest-rank percentile (0 < percent <= 100) of values; 0 when empty.
std::int64_t Percentile(std::vector<std::int64_t> values, double percent);

}  // namespace bench

#endif
