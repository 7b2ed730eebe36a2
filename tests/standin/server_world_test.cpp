// The stand-in's world as clients see it: data records per frame in radians
// and degrees, the ONCE and SECOND periods, the scenario's hat, view, pause,
// menu and quit as records, the trace of a camera command, and frame data
// dropped only for a client that does not read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tests/support/client_packets.h"
#include "tests/support/files.h"
#include "tests/support/sockets.h"
#include "tests/support/standin_process.h"
#include "tests/support/trace_lines.h"

namespace support {
namespace {

const double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

std::uint32_t Kind(const Bytes& record) { return Word(record, 8); }

TEST(StandinData, BankComesPerFrameInRadiansAndDegreesAndEasesIn) {
  StandinProcess standin({"--scenario", TempFile("s.txt", "0.3 roll left 30 over 0.5\n60 end\n")});
  RawClient client(standin.port());
  ASSERT_EQ(client.Open().size(), 308u);
  client.Send(AddDatum(2, 4, "PLANE BANK DEGREES", "Radians"));
  client.Send(AddDatum(3, 4, "plane bank degrees", "degrees"));
  client.Send(AddDatum(4, 4, "PLANE PITCH DEGREES", "Degrees"));
  client.Send(RequestData(5, 7, 4, 2));

  int between = 0;  // records caught mid-roll: the bank never steps
  double previous = 0.0;
  Bytes record;
  for (int frame = 0; frame < 600; ++frame) {  // 10 s of frames; the roll ends at 0.8 s
    record = client.NextRecord();
    ASSERT_EQ(record.size(), 64u);
    double degrees = Double(record, 48);
    EXPECT_LE(std::fabs(degrees - previous), 2.0) << "a step from " << previous;
    EXPECT_EQ(Double(record, 40), degrees * kRadiansPerDegree);
    previous = degrees;
    between += degrees > 0.0 && degrees < 30.0 ? 1 : 0;
    if (degrees == 30.0) {
      break;
    }
  }
  ASSERT_EQ(Double(record, 48), 30.0) << "the roll ends on its target";
  EXPECT_GE(between, 10);
  EXPECT_EQ(Bytes(record.begin(), record.begin() + 40),
            Words({64u, 2u, 8u, 7u, 1u, 4u, 0u, 1u, 1u, 3u}));
  EXPECT_EQ(Double(record, 40), 30.0 * kRadiansPerDegree);
  EXPECT_EQ(Double(record, 56), 0.0);
}

TEST(StandinData, OnceSendsOneRecordAndSecondOnePerTick) {
  StandinProcess standin({"--speed", "10", "--scenario", TempFile("s.txt", "60 end\n")});
  RawClient client(standin.port());
  ASSERT_EQ(client.Open().size(), 308u);
  client.Send(Subscribe(2, 2, "1sec"));
  client.Send(AddDatum(3, 0, "PLANE BANK DEGREES", "Radians"));
  client.Send(RequestData(4, 10, 0, 1));  // ONCE
  client.Send(RequestData(5, 11, 0, 4));  // SECOND
  int ticks = 0;
  int once = 0;
  int perSecond = 0;
  while (ticks < 3) {
    Bytes record = client.NextRecord();
    ASSERT_FALSE(record.empty());
    if (Kind(record) == 4) {
      EXPECT_EQ(Word(record, 12), 0xFFFFFFFFu) << "system events belong to no group";
      EXPECT_EQ(Word(record, 16), 2u);
      ++ticks;
    } else if (Kind(record) == 8) {
      Word(record, 12) == 10 ? ++once : ++perSecond;
    }
  }
  EXPECT_EQ(once, 1);
  EXPECT_EQ(perSecond, 2) << "each tick's record follows its event";
}

TEST(StandinEvents, ScenarioHappeningsArriveAsRegistered) {
  StandinProcess standin({"--speed", "4", "--scenario",
                          TempFile("s.txt",
                                   "0.4 hat\n0.8 view 2d\n0.8 view 2d\n1.2 pause on\n"
                                   "1.6 menu Exit\n2.0 quit\n")});
  RawClient program(standin.port());
  RawClient inputOff(standin.port());
  ASSERT_EQ(program.Open().size(), 308u);
  ASSERT_EQ(inputOff.Open().size(), 308u);
  program.Send(ProgramRegistration(true));
  inputOff.Send(ProgramRegistration(false));

  auto happenings = [](RawClient& client) {
    std::vector<std::vector<std::uint32_t>> seen;
    for (Bytes record = client.NextRecord(); !record.empty(); record = client.NextRecord()) {
      if (Kind(record) == 3) {
        seen.push_back({3});
        break;
      }
      if (Kind(record) == 4 && Word(record, 16) != 2) {  // not 1sec
        seen.push_back({Word(record, 12), Word(record, 16), Word(record, 20)});
      }
    }
    return seen;
  };
  const std::uint32_t none = 0xFFFFFFFFu;
  std::vector<std::vector<std::uint32_t>> expected = {
      {0, 18, 0}, {none, 1, 1}, {none, 0, 1}, {0, 20, 12345}, {3}};
  EXPECT_EQ(happenings(program), expected);
  expected.erase(expected.begin());  // its input group is off: no hat
  EXPECT_EQ(happenings(inputOff), expected);
}

TEST(StandinTrace, CameraCommandIsAppliedAndTraced) {
  StandinOptions traced;
  traced.trace = true;
  StandinProcess standin({"--scenario", TempFile("s.txt", "0.2 end\n")}, traced);
  {
    RawClient client(standin.port());
    ASSERT_EQ(client.Open().size(), 308u);
    client.Send(Camera(2, 8.0f, 0.0f, -28.648735f));
    client.Send(MenuAddItem(3, "Vantilo", 19));
  }  // the stand-in reads what was sent before it sees the close
  EXPECT_EQ(standin.WaitForExit(5000), 0);
  std::string text = FileText(standin.trace());
  EXPECT_NE(text.find("\"kind\":\"camera\",\"client\":1,\"delta_x\":0,\"delta_y\":0,"
                      "\"delta_z\":0,\"pitch\":8,\"bank\":0,\"heading\":-28.648735,"
                      "\"heading_bits\":\"0xc1e5309c\"}"),
            std::string::npos);
  EXPECT_NE(text.find("\"client\":1,\"send_id\":3,\"protocol\":2,\"size\":280,"
                      "\"type\":\"MenuAddItem\",\"args\":{\"text\":\"Vantilo\","
                      "\"menu_event_id\":19,\"data\":12345}}"),
            std::string::npos);
  EXPECT_NE(standin.Stdout().find("camera commands       1\n"), std::string::npos);
}

// Frames without a command are counted for each following client: a
// client that follows nothing and sends a command every frame must not hide
// a follower that answers none of its frames.
TEST(StandinSummary, FramesWithoutCommandAreCountedPerFollower) {
  StandinProcess standin({"--scenario", TempFile("s.txt", "0.5 end\n")});
  RawClient commander(standin.port());
  ASSERT_EQ(commander.Open().size(), 308u);
  RawClient follower(standin.port());
  ASSERT_EQ(follower.Open().size(), 308u);
  follower.Send(AddDatum(2, 0, "PLANE BANK DEGREES", "Radians"));
  follower.Send(RequestData(3, 1, 0, 2));
  std::uint64_t frames = 0;
  // Until the end of the scenario brings its QUIT record (or nothing).
  for (Bytes record = follower.NextRecord(); record.size() >= 12 && Kind(record) == 8;
       record = follower.NextRecord()) {
    commander.Send(Camera(static_cast<std::uint32_t>(2 + frames++), 8.0f, 0.0f, 1.0f));
  }
  ASSERT_EQ(standin.WaitForExit(5000), 0);
  const std::string output = standin.Stdout();
  const std::string label = "frames without command while a client followed: ";
  const std::size_t at = output.find(label);
  ASSERT_NE(at, std::string::npos) << output;
  // Only the follower is listed: the commander followed nothing.
  const std::string rest = output.substr(at + label.size());
  const std::uint64_t unanswered = std::strtoull(rest.c_str(), nullptr, 10);
  EXPECT_EQ(rest.substr(0, rest.find('\n')), std::to_string(unanswered) + " (client 2)");
  // Every frame it followed but the last, which the end leaves uncounted.
  EXPECT_GE(unanswered + 1, frames);
  EXPECT_LE(unanswered, frames);
}

TEST(StandinQueue, ClientThatDoesNotReadLosesFramesAndOthersGoOn) {
  StandinOptions traced;
  traced.trace = true;
  StandinProcess standin({"--fps", "1000", "--scenario", TempFile("s", "60 end")}, traced);
  RawClient lazy(standin.port());
  ASSERT_EQ(lazy.Open().size(), 308u);
  for (std::uint32_t i = 0; i < 200; ++i) {
    lazy.Send(AddDatum(2 + i, 0, "PLANE BANK DEGREES", "Radians"));
  }
  lazy.Send(RequestData(300, 1, 0, 2));  // 1640-byte records, 1000 a second, never read

  RawClient steady(standin.port());
  ASSERT_EQ(steady.Open().size(), 308u);
  steady.Send(AddDatum(2, 0, "PLANE BANK DEGREES", "Radians"));
  steady.Send(RequestData(3, 1, 0, 2));
  const std::string dropped = "\"dropped\":true";
  std::size_t drops = 0;
  // Safety bound only: drops start after a few hundred kilobytes, well under a second.
  for (int records = 0; drops == 0 && records < 30000;) {
    ASSERT_EQ(steady.NextRecord().size(), 48u) << "after " << records << " records";
    if (++records % 100 == 0) {
      drops = CountLines(standin.trace(), dropped);
    }
  }
  EXPECT_GT(drops, 0u);
  // Only the client that does not read loses frames.
  ForEachLine(standin.trace(), [&](const std::string& line) {
    if (line.find(dropped) != std::string::npos) {
      EXPECT_NE(line.find("\"client\":1,\"record\":\"SIMOBJECT_DATA\""), std::string::npos) << line;
    }
  });
}

}  // namespace
}  // namespace support
