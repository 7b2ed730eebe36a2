// vantilo-latency-bench: end-to-end latency of vantilo and of the
// node-simconnect baseline against the stand-in at several frame rates.
// Prints tab-separated rows (figure, Vantilo, baseline) for scripts/bench.sh.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/latency_run.h"
#include "tests/support/standin_process.h"

namespace {

struct Options {
  bench::RunSetup setup;
  std::vector<int> rates = {60, 240, 1000};
  bool apart = false;  // each client against its own stand-in run
};

const char kUsage[] =
    "usage: vantilo-latency-bench [--seconds N] [--rates 60,240,1000] [--apart]\n"
    "         [--work DIR] [--standin PATH] [--vantilo PATH] [--node PATH] [--node-client PATH]\n"
    "  --apart   run vantilo and the baseline one after the other, not side by side\n";

bool ParseRates(const std::string& text, std::vector<int>* rates) {
  rates->clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string item = text.substr(start, comma - start);
    int rate = std::atoi(item.c_str());
    if (rate < 1 || rate > 1000 || std::to_string(rate) != item) {
      return false;
    }
    rates->push_back(rate);
    if (comma == std::string::npos) {
      break;
    }
    start = comma + 1;
  }
  return !rates->empty();
}

bool ParseOptions(int argc, char** argv, Options* options) {
  options->setup.standin = support::kStandinBinary;
  options->setup.vantilo = support::kVantiloBinary;
  options->setup.nodeClient = BENCH_NODE_CLIENT;
  options->setup.node = "node";
  options->setup.folder = "bench-latency";
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--apart") {
      options->apart = true;
      continue;
    }
    if (i + 1 >= argc) {
      return false;
    }
    std::string value = argv[++i];
    if (name == "--seconds") {
      options->setup.seconds = std::atoi(value.c_str());
      if (options->setup.seconds < 1 || options->setup.seconds > 3600) {
        return false;
      }
    } else if (name == "--rates") {
      if (!ParseRates(value, &options->rates)) {
        return false;
      }
    } else if (name == "--work") {
      options->setup.folder = value;
    } else if (name == "--standin") {
      options->setup.standin = value;
    } else if (name == "--vantilo") {
      options->setup.vantilo = value;
    } else if (name == "--node") {
      options->setup.node = value;
    } else if (name == "--node-client") {
      options->setup.nodeClient = value;
    } else {
      return false;
    }
  }
  return true;
}

std::string Ms(std::int64_t ns) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(ns) / 1e6);
  return text;
}

std::string Number(double value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void PrintRow(const std::string& label, const std::string& vantilo, const std::string& node) {
  std::printf("%s\t%s\t%s\n", label.c_str(), vantilo.c_str(), node.c_str());
}

// The rows of one rate; a client that failed shows "failed" and why on stderr.
void PrintRate(int fps, const bench::RunFigures& figures) {
  const bench::ClientFigures* both[2] = {&figures.vantilo, &figures.node};
  std::string cells[5][2];
  for (int i = 0; i < 2; ++i) {
    const bench::ClientFigures& f = *both[i];
    if (!f.ok) {
      std::fprintf(stderr, "vantilo-latency-bench: %d fps: %s\n", fps, f.problem.c_str());
      for (auto& row : cells) {
        row[i] = "failed";
      }
      continue;
    }
    std::string frames = std::to_string(f.withoutCommand + f.answered);
    cells[0][i] = Ms(f.p50Ns) + " / " + Ms(f.p99Ns) + " / " + Ms(f.maxNs);
    cells[1][i] = std::to_string(f.withoutCommand) + " of " + frames;
    cells[2][i] = std::to_string(f.closeRecords) + " of " + frames;
    cells[3][i] = Number(f.cpuPercent, "%.2f");
    cells[4][i] = Number(f.peakRssMib, "%.2f");
  }
  std::string rate = std::to_string(fps) + " fps: ";
  PrintRow(rate + "latency p50 / p99 / max (ms)", cells[0][0], cells[0][1]);
  PrintRow(rate + "frames without command", cells[1][0], cells[1][1]);
  PrintRow(rate + "records < half a frame after the last", cells[2][0], cells[2][1]);
  PrintRow(rate + "CPU (% of one core)", cells[3][0], cells[3][1]);
  PrintRow(rate + "peak resident memory (MiB)", cells[4][0], cells[4][1]);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  mkdir(options.setup.folder.c_str(), 0755);
  bool allOk = true;
  for (int fps : options.rates) {
    bench::RunFigures figures;
    bench::RunSetup setup = options.setup;
    setup.fps = fps;
    std::string base = options.setup.folder + "/fps-" + std::to_string(fps);
    std::string error;
    bool ran = true;
    std::fprintf(stderr, "vantilo-latency-bench: %d fps for %d s...\n", fps, setup.seconds);
    if (options.apart) {
      bench::RunFigures alone;
      setup.withNode = false;
      setup.folder = base + "-vantilo";
      ran = bench::RunLatency(setup, &figures, &error);
      setup.withNode = true;
      setup.withVantilo = false;
      setup.folder = base + "-node";
      ran = ran && bench::RunLatency(setup, &alone, &error);
      figures.node = alone.node;
    } else {
      setup.folder = base;
      ran = bench::RunLatency(setup, &figures, &error);
    }
    if (!ran) {
      std::fprintf(stderr, "vantilo-latency-bench: %d fps: %s\n", fps, error.c_str());
      allOk = false;
      continue;
    }
    allOk = allOk && figures.vantilo.ok && figures.node.ok;
    PrintRate(fps, figures);
  }
  return allOk ? 0 : 1;
}
