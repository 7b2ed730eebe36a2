// The run: write the scenario, start the stand-in on a free port (read back
// from its "listening on" line), point vantilo at it with a SimConnect.cfg in
// its working folder, start the clients, wait for all with a deadline, then
// read the latency log and the clients' resource usage.
#include "bench/latency_run.h"

#include <sys/stat.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "bench/child_process.h"
#include "bench/latency_stats.h"
#include "bench/rolling_scenario.h"

namespace bench {

const char kVantiloName[] = "Vantilo";
const char kNodeClientName[] = "node-simconnect baseline";

namespace {

using Clock = std::chrono::steady_clock;
const auto kStartupLimit = std::chrono::seconds(10);
// Beyond the rolling seconds: start-up, the final second, vantilo's 2 s pause.
const auto kRunSlack = std::chrono::seconds(30);

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path);
  file << text;
  return static_cast<bool>(file);
}

// Waits for "listening on 127.0.0.1:PORT" in the stand-in's standard error.
int WaitForPort(const std::string& errPath, std::string* error) {
  const std::string marker = "listening on 127.0.0.1:";
  Clock::time_point giveUp = Clock::now() + kStartupLimit;
  while (Clock::now() < giveUp) {
    std::string text = ReadFile(errPath);
    std::size_t at = text.find(marker);
    std::size_t end = at == std::string::npos ? at : text.find('\n', at);
    if (end != std::string::npos) {
      return std::stoi(text.substr(at + marker.size()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  *error = "the stand-in did not start listening: " + ReadFile(errPath);
  return -1;
}

// Fills a client's figures from its process result and its latency rows.
void Measure(const std::string& name, const ChildResult& result,
             const std::map<int, ClientFrames>& clients, const RunSetup& setup,
             ClientFigures* figures) {
  const ClientFrames* frames = FindClient(clients, name);
  figures->cpuPercent = 100.0 * result.cpuSeconds / setup.seconds;
  figures->peakRssMib = static_cast<double>(result.peakRssKib) / 1024.0;
  if (!result.exited || result.status != 0) {
    figures->problem = name + " ended with " + DescribeEnd(result);
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
  if (!WriteFile(dir + "scenario.txt", RollingScenario(setup.seconds))) {
    *error = "cannot write in " + setup.folder;
    return false;
  }
  ChildProcess standin;
  std::vector<std::string> standinArgs = {setup.standin, "--port", "0",
                                          "--speed",     "1",      "--no-live"};
  standinArgs.insert(standinArgs.end(), {"--fps", std::to_string(setup.fps), "--scenario",
                                         dir + "scenario.txt", "--latency", dir + "latency.tsv"});
  if (!standin.Start(standinArgs, "", dir + "standin.out", dir + "standin.err", error)) {
    return false;
  }
  int port = WaitForPort(dir + "standin.err", error);
  if (port <= 0) {
    return false;
  }
  WriteFile(dir + "SimConnect.cfg",
            "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(port) + "\n");

  ChildProcess vantilo;
  ChildProcess node;
  if (setup.withVantilo && !vantilo.Start({setup.vantilo}, setup.folder, dir + "vantilo.out",
                                          dir + "vantilo.err", error)) {
    return false;
  }
  if (setup.withNode &&
      !node.Start({setup.node, setup.nodeClient, std::to_string(port), kNodeClientName}, "",
                  dir + "node.out", dir + "node.err", error)) {
    return false;
  }
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(setup.seconds) + kRunSlack;
  ChildResult vantiloEnd = vantilo.Wait(deadline);
  ChildResult nodeEnd = node.Wait(deadline);
  ChildResult standinEnd = standin.Wait(deadline);
  if (!standinEnd.exited || standinEnd.status != 0) {
    *error = "the stand-in ended with " + DescribeEnd(standinEnd) + "; see " + setup.folder;
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
