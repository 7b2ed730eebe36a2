// One end-to-end latency run: the stand-in at a frame rate with the rolling
// scenario and its latency log, the clients (vantilo, the node-simconnect
// baseline, or both at once) against it, and each client's figures.
#ifndef VANTILO_BENCH_LATENCY_RUN_H
#define VANTILO_BENCH_LATENCY_RUN_H

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct RunSetup {
  std::string standin;     // vantilo-standin
  std::string vantilo;     // the Linux vantilo
  std::string node;        // the node executable
  std::string nodeClient;  // bench/node_client.js
  std::string folder;      // where the run's files go (made if missing)
  int fps = 60;
  int seconds = 20;  // simulated (and, at speed 1, real) seconds of rolling
  bool withVantilo = true;
  bool withNode = true;
};

struct ClientFigures {
  bool ok = false;
  std::string problem;  // when not ok: what went wrong
  std::int64_t p50Ns = 0;
  std::int64_t p99Ns = 0;
  std::int64_t maxNs = 0;
  std::uint64_t answered = 0;
  std::uint64_t withoutCommand = 0;
  std::uint64_t closeRecords = 0;  // records sent under half a frame after the one before
  double cpuPercent = 0.0;         // CPU time over the rolling seconds, % of one core
  double peakRssMib = 0.0;
};

struct RunFigures {
  ClientFigures vantilo;
  ClientFigures node;
};

// The names the clients open with.
extern const char kVantiloName[];
extern const char kNodeClientName[];

// Runs the stand-in and the chosen clients; bounded in time. False with an
// error when the stand-in could not be run or its log not read.
bool RunLatency(const RunSetup& setup, RunFigures* figures, std::string* error);

}  // namespace bench

#endif
