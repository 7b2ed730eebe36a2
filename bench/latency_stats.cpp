// Parsing of the latency log's tab-separated rows and the nearest-rank
// percentile. A row naming a client that never opened is an error: the log
// would then not be the stand-in's.
#include "bench/latency_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace bench {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) {
      return fields;
    }
    start = tab + 1;
  }
}

bool ToInt(const std::string& text, std::int64_t* value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0') {
    return false;
  }
  *value = parsed;
  return true;
}

// One "frame" row: CLIENT FRAME SENT_NS APPLIED_NS-or-"-".
bool AddFrame(const std::vector<std::string>& fields, std::uint64_t untilFrame,
              std::map<int, ClientFrames>* clients, std::string* problem) {
  std::int64_t client = 0, frame = 0, sent = 0, applied = 0;
  bool answered = fields.size() == 5 && fields[4] != "-";
  if (fields.size() != 5 || !ToInt(fields[1], &client) || !ToInt(fields[2], &frame) || frame < 0 ||
      !ToInt(fields[3], &sent) || (answered && !ToInt(fields[4], &applied))) {
    *problem = "bad frame row";
    return false;
  }
  auto found = clients->find(static_cast<int>(client));
  if (found == clients->end()) {
    *problem = "frame of client " + fields[1] + ", which never opened";
    return false;
  }
  if (answered && applied < sent) {
    *problem = "command applied before its record was sent";
    return false;
  }
  if (static_cast<std::uint64_t>(frame) >= untilFrame) {
    return true;
  }
  found->second.sentNs.push_back(sent);
  if (answered) {
    found->second.latenciesNs.push_back(applied - sent);
  } else {
    found->second.withoutCommand++;
  }
  return true;
}

}  // namespace

bool ReadLatencyLog(std::istream& in, std::uint64_t untilFrame,
                    std::map<int, ClientFrames>* clients, std::string* error) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::vector<std::string> fields = SplitTabs(line);
    std::string problem;
    std::int64_t client = 0;
    if (fields[0] == "open" && fields.size() == 3 && ToInt(fields[1], &client)) {
      (*clients)[static_cast<int>(client)].name = fields[2];
    } else if (fields[0] == "frame") {
      if (!AddFrame(fields, untilFrame, clients, &problem)) {
        *error = "line " + std::to_string(number) + ": " + problem;
        return false;
      }
    } else {
      *error = "line " + std::to_string(number) + ": unknown row";
      return false;
    }
  }
  return true;
}

const ClientFrames* FindClient(const std::map<int, ClientFrames>& clients,
                               const std::string& name) {
  for (const auto& entry : clients) {
    if (entry.second.name == name) {
      return &entry.second;
    }
  }
  return nullptr;
}

std::uint64_t CloseRecords(const std::vector<std::int64_t>& sentNs, std::int64_t minGapNs) {
  std::uint64_t close = 0;
  for (std::size_t i = 1; i < sentNs.size(); ++i) {
    if (sentNs[i] - sentNs[i - 1] < minGapNs) {
      close++;
    }
  }
  return close;
}

std::int64_t Percentile(std::vector<std::int64_t> values, double percent) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  // percent * size first: exact for whole percents, so 99 of 100 is rank 99.
  double rank = std::ceil(percent * static_cast<double>(values.size()) / 100.0);
  std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
  return values[std::min(index, values.size() - 1)];
}

}  // namespace bench
