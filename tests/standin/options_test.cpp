// The stand-in's command line, in-process: each row an argument list and
// what it gives, a value or the error text.
#include "standin/process/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace standin {
namespace {

struct OptionsCase {
  std::vector<const char*> arguments;  // after the program's name
  const char* simulator;               // the persona chosen, when parsing succeeds
  const char* error;                   // empty when parsing succeeds
  const char* allQueuesKiB = nullptr;  // the environment variable's value
  double fps = 60.0;                   // when parsing succeeds
  const char* latencyPath = "";        // empty also when parsing fails
};

TEST(StandinOptions, EachRowParsesOrFailsWithItsMessage) {
  const std::vector<OptionsCase> rows = {
      {{}, "fsx", ""},
      {{"--simulator", "p3d", "--fps", "30"}, "p3d", "", nullptr, 30},
      {{"--simulator", "p3d", "--simulator", "msfs2024"}, "msfs2024", ""},
      {{"--simulator", "MSFS2020"},
       "",
       "unknown simulator 'MSFS2020' (fsx, fsx-se, p3d, msfs2020 or msfs2024)"},
      {{"--simulator", ""}, "", "unknown simulator '' (fsx, fsx-se, p3d, msfs2020 or msfs2024)"},
      {{"--simulator"}, "", "missing value after --simulator"},
      {{"--simulator=p3d"}, "", "unknown option '--simulator=p3d'"},
      {{"--latency", "out.tsv", "--fps", "240"}, "fsx", "", nullptr, 240, "out.tsv"},
      {{"--latency"}, "", "missing value after --latency"},
      // The bound of all queues, from the environment: 2^54 KiB once
      // wrapped to a bound of 0 bytes.
      {{}, "fsx", "", "2048"},
      {{},
       "",
       "bad VANTILO_STANDIN_ALL_QUEUES_KIB '18014398509481984' (1 to 4194304)",
       "18014398509481984"},
      {{}, "", "bad VANTILO_STANDIN_ALL_QUEUES_KIB '0' (1 to 4194304)", "0"},
      {{}, "", "bad VANTILO_STANDIN_ALL_QUEUES_KIB '64k' (1 to 4194304)", "64k"},
  };
  for (const OptionsCase& row : rows) {
    const std::vector<std::string> words(row.arguments.begin(), row.arguments.end());
    SCOPED_TRACE(::testing::PrintToString(words) + ", VANTILO_STANDIN_ALL_QUEUES_KIB " +
                 (row.allQueuesKiB != nullptr ? row.allQueuesKiB : "unset"));
    std::vector<const char*> argv = {"vantilo-standin"};
    argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
    Options options;
    std::string error;
    bool parsed = ParseOptions(static_cast<int>(argv.size()), argv.data(), &options, &error,
                               row.allQueuesKiB);
    EXPECT_EQ(parsed, std::string(row.error).empty());
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(options.latencyPath, row.latencyPath);
    if (parsed) {
      EXPECT_EQ(options.simulator, row.simulator);
      EXPECT_EQ(options.fps, row.fps);
      EXPECT_EQ(options.allQueuesKiB, row.allQueuesKiB != nullptr ? 2048u : 65536u);
    }
  }
}

}  // namespace
}  // namespace standin
