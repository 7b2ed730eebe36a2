// The soak: vantilo against the stand-in at 1000 fps for VANTILO_SOAK_SECONDS
// simulated seconds (default 60, at least 40), the aircraft rolling until menu
// Exit. Every attitude record must be answered by its own camera command, and
// the program's resident memory must stay flat after a warm-up.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <utility>
#include <vector>

#include "runs.h"
#include "tests/support/files.h"
#include "tests/support/rolling_scenario.h"
#include "tests/support/standin_process.h"
#include "tests/support/trace_lines.h"

namespace faults {
namespace {

using namespace support;

const long kMemorySlackKiB = 256;
const std::uint64_t kFramesPerSecond = 1000;

int SoakSeconds() {
  const char* text = std::getenv("VANTILO_SOAK_SECONDS");
  int seconds = text == nullptr ? 0 : std::atoi(text);
  return seconds >= 40 ? seconds : 60;  // past the warm-up
}

// The heading bits vantilo must send for a bank in radians, as the trace
// writes them: the angle in double, narrowed once.
std::string HeadingBits(double bankRadians) {
  float heading = static_cast<float>(bankRadians * -180.0 / static_cast<double>(3.1415f));
  std::uint32_t bits;
  std::memcpy(&bits, &heading, sizeof bits);
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", bits);
  return text;
}

// Data records sent to the program and its camera commands, paired in
// order, as it answers. The stand-in's own count of frames without a command
// is only printed: it counts a command that came after the next frame began,
// which the loop's 1 ms pause makes common at 1000 fps.
struct Pairing {
  std::uint64_t records = 0, recordsBeforeExit = 0, dropped = 0, commands = 0;
  std::uint64_t mismatched = 0;  // a command whose heading is not its record's
  std::uint64_t unasked = 0;     // a command with no record left to answer
};

Pairing PairRecordsWithCommands(const std::string& trace) {
  Pairing pairing;
  bool exitSent = false;
  std::deque<std::string> unanswered;
  ForEachLine(trace, [&](const std::string& line) {
    const std::string kind = Field(line, "kind");
    const std::string record = Field(line, "record");
    if (kind == "record" && record == "SIMOBJECT_DATA") {
      if (Field(line, "dropped") == "true") {
        ++pairing.dropped;
        return;
      }
      ++pairing.records;
      if (!exitSent) {
        ++pairing.recordsBeforeExit;
      }
      unanswered.push_back(HeadingBits(std::strtod(Field(line, "bank").c_str(), nullptr)));
    } else if (kind == "record" && record == "EVENT" && Field(line, "event_id") == "20") {
      exitSent = true;
    } else if (kind == "camera") {
      ++pairing.commands;
      if (unanswered.empty()) {
        ++pairing.unasked;
        return;
      }
      if (Field(line, "heading_bits") != unanswered.front()) {
        ++pairing.mismatched;
      }
      unanswered.pop_front();
    }
  });
  return pairing;
}

TEST(Soak, EveryFrameIsAnsweredAndMemoryStaysFlat) {
  const int seconds = SoakSeconds();
  StandinOptions traced;
  traced.trace = true;
  StandinProcess standin(
      {"--fps", std::to_string(kFramesPerSecond), "--scenario", RollingScenarioFile(seconds)},
      traced);
  ASSERT_NE(standin.port(), 0) << standin.error();
  WorkDir dir;
  dir.WriteCfgForPort(standin.port());
  std::unique_ptr<ChildProcess> program = StartProgram({kSmallQuarantine});

  // Resident memory every quarter second after a warm-up of a tenth of the
  // run, at least 25 seconds: a sanitizer build's 1 MiB quarantine takes a
  // camera command's packet as one small chunk, and was seen to fill in
  // about 17 s at 1000 commands a second (the run keeps at least 900).
  // The last seconds before the exit are left out: the leak checker of a
  // sanitizer build runs there and was seen to add up to 6 MiB.
  const Clock::time_point start = Clock::now();
  const Clock::time_point warmedUp = start + std::chrono::seconds(std::max(25, seconds / 10));
  const Clock::time_point safetyBound = start + std::chrono::seconds(seconds + 60);
  std::vector<std::pair<Clock::time_point, long>> samples;
  while (program->WaitForExit(250) == -1 && Clock::now() < safetyBound) {
    const long now = ResidentKiB(program->pid());
    if (Clock::now() >= warmedUp && now >= 0) {
      samples.emplace_back(Clock::now(), now);
    }
  }
  const Clock::time_point exitingFrom = Clock::now() - std::chrono::seconds(5);
  ExpectCleanProgramEnd(*program);
  EXPECT_EQ(standin.WaitForExit(15000), 0);
  ExpectNoSanitizerReport(standin, "stand-in");
  ASSERT_FALSE(samples.empty());
  const long baseline = samples.front().second;
  long highest = baseline;
  for (const auto& [when, kib] : samples) {
    highest = when < exitingFrom ? std::max(highest, kib) : highest;
  }
  EXPECT_LE(highest - baseline, kMemorySlackKiB)
      << "VmRSS " << baseline << " KiB after warm-up, at most " << highest;

  const Pairing pairing = PairRecordsWithCommands(standin.trace());
  const std::uint64_t frames = kFramesPerSecond * static_cast<std::uint64_t>(seconds);
  EXPECT_EQ(pairing.dropped, 0u);
  EXPECT_GE(pairing.recordsBeforeExit, frames * 9 / 10);   // it followed the whole run
  EXPECT_GE(pairing.commands, pairing.recordsBeforeExit);  // each of them answered
  EXPECT_EQ(pairing.mismatched, 0u);
  EXPECT_EQ(pairing.unasked, 0u);
  const std::string standinOutput = standin.Stdout();
  const std::size_t summary = standinOutput.find("Stand-in summary");
  std::cout << "soak: " << seconds << " s at " << kFramesPerSecond << " fps; " << pairing.records
            << " data records (" << pairing.recordsBeforeExit << " before Exit), "
            << pairing.commands << " commands; VmRSS " << baseline << " KiB after warm-up, at most "
            << highest << " KiB\n"
            << (summary == std::string::npos ? "" : standinOutput.substr(summary));
}

}  // namespace
}  // namespace faults
