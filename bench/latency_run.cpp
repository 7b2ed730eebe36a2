// The run: write the scenario, start the stand-in on a free port (read back
// from its "listening on" line), point vantilo at it with a SimConnect.cfg in
// its working folder, start the clients, wait for all with a deadline, then
// read the latency log and the clients' resource usage.
#include "bench/latency_run.h"

#include <sys/stat.h>

#include <fstream>
#include <map>

#include "bench/latency_stats.h"
#include "tests/support/files.h"
#include "tests/support/rolling_scenario.h"
#include "tests/support/standin_process.h"

namespace bench {

using support::ChildOptions;
using support::ChildProcess;
using support::ChildResult;
using support::Clock;

const char kVantiloName[] = "Vantilo";
const char kNodeClientName[] = "node-simconnect baseline";

namespace {

// Beyond the rolling seconds: start-up, the final second, vantilo's 2 s pause.
const auto kRunSlack = std::chrono::seconds(30);

// Output files NAME.out and NAME.err in the run's folder.
ChildOptions OutputsIn(const std::string& dir, const std::string& name) {
  ChildOptions options;
  options.outPath = dir + name + ".out";
  options.errPath = dir + name + ".err";
  return options;
}

// Starts a client; false with *error when it cannot be started.
bool StartClient(ChildProcess& client, const std::vector<std::string>& argv,
                 const ChildOptions& options, std::string* error) {
  if (!client.Start(argv, options)) {
    *error = client.error();
    return false;
  }
  return true;
}

// Fills a client's figures from its process result and its latency rows.
void Measure(const std::string& name, const ChildResult& result,
             const std::map<int, ClientFrames>& clients, const RunSetup& setup,
             ClientFigures* figures) {
  const ClientFrames* frames = FindClient(clients, name);
  figures->cpuPercent = 100.0 * result.cpuSeconds / setup.seconds;
  figures->peakRssMib = static_cast<double>(result.peakRssKib) / 1024.0;
  if (!result.exited || result.status != 0) {
    figures->problem = name + " ended with " + support::DescribeEnd(result);
  } else if (frames == nullptr || frames->latenciesNs.empty()) {
    figures->problem = name + " answered no frame";
  } else {
    figures->ok = true;
    figures->p50Ns = Percentile(frames->latenciesNs, 50);
    figures->p99Ns = Percentile(frames->latenciesNs, 99);
    figures->maxNs = Percentile(frames->latenciesNs, 100);
    figures->answered = frames->latenciesNs.size();
    figures->withoutCommand = frames->withoutCommand;
    figures->closeRecords = CloseRecords(frames->sentNs, 500000000 / setup.fps);
  }
}

}  // namespace

bool RunLatency(const RunSetup& setup, RunFigures* figures, std::string* error) {
  mkdir(setup.folder.c_str(), 0755);
  const std::string dir = setup.folder + "/";
  if (!support::WriteFile(dir + "scenario.txt", support::RollingScenario(setup.seconds))) {
    *error = "cannot write in " + setup.folder;
    return false;
  }
  support::StandinOptions options;
  options.binary = setup.standin;
  options.latency = dir + "latency.tsv";
  options.child = OutputsIn(dir, "standin");
  support::StandinProcess standin(
      {"--speed", "1", "--fps", std::to_string(setup.fps), "--scenario", dir + "scenario.txt"},
      options);
  if (standin.port() == 0) {
    *error = standin.error();
    return false;
  }
  const std::string port = std::to_string(standin.port());
  support::WriteCfgForPort(setup.folder, standin.port());

  ChildProcess vantilo;
  ChildProcess node;
  ChildOptions inFolder = OutputsIn(dir, "vantilo");
  inFolder.folder = setup.folder;
  if (setup.withVantilo && !StartClient(vantilo, {setup.vantilo}, inFolder, error)) {
    return false;
  }
  if (setup.withNode && !StartClient(node, {setup.node, setup.nodeClient, port, kNodeClientName},
                                     OutputsIn(dir, "node"), error)) {
    return false;
  }
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(setup.seconds) + kRunSlack;
  ChildResult vantiloEnd = vantilo.WaitOrKill(deadline);
  ChildResult nodeEnd = node.WaitOrKill(deadline);
  ChildResult standinEnd = standin.WaitOrKill(deadline);
  if (!standinEnd.exited || standinEnd.status != 0) {
    *error =
        "the stand-in ended with " + support::DescribeEnd(standinEnd) + "; see " + setup.folder;
    return false;
  }

  std::ifstream log(dir + "latency.tsv");
  std::map<int, ClientFrames> clients;
  // The menu's Exit comes in the frame at `seconds`: frames from there on are not followed.
  std::uint64_t exitFrame = static_cast<std::uint64_t>(setup.seconds) * setup.fps;
  if (!ReadLatencyLog(log, exitFrame, &clients, error)) {
    *error = dir + "latency.tsv: " + *error;
    return false;
  }
  if (setup.withVantilo) {
    Measure(kVantiloName, vantiloEnd, clients, setup, &figures->vantilo);
  }
  if (setup.withNode) {
    Measure(kNodeClientName, nodeEnd, clients, setup, &figures->node);
  }
  return true;
}

}  // namespace bench
