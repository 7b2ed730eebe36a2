#include "tests/support/standin_process.h"

#include <cstdlib>
#include <thread>

#include "tests/support/files.h"

namespace support {

const char kStandinBinary[] = STANDIN_BINARY;
const char kVantiloBinary[] = VANTILO_BINARY;

namespace {
const auto kStartLimit = std::chrono::seconds(10);
const char kListening[] = "listening on 127.0.0.1:";
}  // namespace

StandinProcess::StandinProcess(const std::vector<std::string>& arguments,
                               const StandinOptions& options)
    : latency_(options.latency) {
  std::vector<std::string> argv = {options.binary, "--no-live", "--port",
                                   std::to_string(options.port)};
  if (options.trace) {
    trace_ = TempFile("trace.jsonl", "");
    argv.insert(argv.end(), {"--trace", trace_});
  }
  if (!options.latency.empty()) {
    argv.insert(argv.end(), {"--latency", options.latency});
  }
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  if (options.maxDescriptors > 0) {
    const std::string limit = std::to_string(options.maxDescriptors);
    argv.insert(argv.begin(), {"prlimit", "--nofile=" + limit + ":" + limit});
  }
  if (!Start(argv, options.child)) {
    return;
  }
  const Clock::time_point giveUp = Clock::now() + kStartLimit;
  for (;;) {
    const std::string text = Stderr();
    std::size_t at = text.find(kListening);
    if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
      port_ = std::atoi(text.c_str() + at + sizeof kListening - 1);
      return;
    }
    if (WaitUntil(Clock::now()) || Clock::now() >= giveUp) {
      error_ = "the stand-in did not start listening: " + text;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string StandinProcess::StderrAfterListening() const {
  const std::string text = Stderr();
  const std::size_t at = text.find(kListening);
  return at == std::string::npos ? text : text.substr(text.find('\n', at) + 1);
}

}  // namespace support
