// The main routine against the fake host: the banner, the failed open, the
// registration and tear-down calls with every argument as the golden file
// registration.txt holds them, the loop and the final pause, with console
// text and host calls on one timeline.
#include <cstdlib>
#include <fstream>

#include "tests/program/program_test_support.h"
#include "tests/support/call_sequence.h"
#include "tests/support/console_text.h"

namespace {

const std::string kBanner = support::ConsoleText("banner");

// Writes the golden file from the calls of a run that loops once, under
// the file's own comment lines.
void WriteGolden(const std::vector<std::string>& lines) {
  std::string header;
  std::ifstream old(VANTILO_REGISTRATION_FILE);
  for (std::string line; std::getline(old, line) && line.rfind('#', 0) == 0;) {
    header += line + "\n";
  }
  old.close();
  std::ofstream file(VANTILO_REGISTRATION_FILE, std::ios::binary);
  file << header;
  for (std::size_t i = 0; i < lines.size() && (i == 0 || lines[i - 1] != "Close"); ++i) {
    file << (lines[i] == "Sleep 1"                    ? ""
             : lines[i].rfind("CallDispatch", 0) == 0 ? "Loop\n"
                                                      : lines[i] + "\n");
  }
}

class MainRoutine : public ProgramRun {
 protected:
  // The golden file's calls with middle in place of the Loop line, then the
  // final pause.
  static std::vector<std::string> Expected(const std::vector<std::string>& middle) {
    std::vector<std::string> calls;
    std::ifstream golden(VANTILO_REGISTRATION_FILE);
    for (std::string line; std::getline(golden, line);) {
      if (line == "Loop") {
        calls.insert(calls.end(), middle.begin(), middle.end());
      } else if (!line.empty() && line[0] != '#') {
        calls.push_back(line);
      }
    }
    calls.push_back("Sleep 2000");
    return calls;
  }
  // The same, as the timeline shows it: the banner before everything.
  static std::vector<std::string> ExpectedTimeline(const std::vector<std::string>& middle) {
    std::vector<std::string> timeline = Expected(middle);
    timeline.insert(timeline.begin(), std::string("stdout: ") + kBanner);
    return timeline;
  }
};

TEST_F(MainRoutine, FailedOpenPrintsTheMessagePausesAndCallsNothingElse) {
  fake::FailOpen(static_cast<HRESULT>(0x80004005u));
  std::string out = Run();
  const std::string noSimulator = support::ConsoleText("no simulator");
  EXPECT_EQ(out, kBanner + noSimulator);
  EXPECT_EQ(fake::Timeline(),
            (std::vector<std::string>{std::string("stdout: ") + kBanner, Expected({})[0],
                                      "stdout: " + noSimulator, "Sleep 2000"}));
  EXPECT_EQ(fake::NowMs(), 2000u);
}

TEST_F(MainRoutine, OnlyANegativeOpenResultFails) {
  fake::FailOpen(1);  // S_FALSE is a success code
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  Run();
  EXPECT_EQ(fake::CallsNamed("Close").size(), 1u);
}

// The run the golden file is written from (VANTILO_REGENERATE=1), and the
// one that fails first while it is stale.
TEST_F(MainRoutine, ExitAtOnceRegistersLoopsOnceAndTearsDown) {
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  EXPECT_EQ(Run(), kBanner);
  if (std::getenv("VANTILO_REGENERATE") != nullptr) {
    WriteGolden(fake::CallLines());
  }
  EXPECT_EQ(fake::Timeline(), ExpectedTimeline({"CallDispatch proc null", "Sleep 1"}));
  EXPECT_EQ(fake::NowMs(), 2001u);
}

TEST_F(MainRoutine, QuitDuringADispatchEndsTheLoopAfterThatPassesPause) {
  fake::OnDispatch([](int pass) {
    if (pass == 2) {
      fake::QueueRecord(fake::QuitRecord());
    }
  });
  Run();
  EXPECT_EQ(fake::CallLines(),
            Expected({"CallDispatch proc null", "Sleep 1", "CallDispatch proc null", "Sleep 1",
                      "CallDispatch proc null", "Sleep 1"}));
}

// Reports are printed where their records fall among the host calls; the
// hat, view, tick, frame and the two pauses print nothing.
TEST_F(MainRoutine, SessionPrintsReportsAndSendsCommandsInOrder) {
  const std::string command = "CameraSetRelative6DOF 0 0 0 8 0 ";
  fake::SetDelivery(fake::Delivery::AllPerCall);
  // The last two come after the exit in the same dispatch: they are still handled.
  for (const fake::Bytes& record :
       {fake::OpenRecord("Microsoft Flight Simulator X", 10),
        fake::DataRecord(REQUEST_ATTITUDE, 0.0, 0.5), fake::EventRecord(EVENT_1SEC),
        fake::FrameRecord(60.0f, 1.0f), fake::EventRecord(EVENT_SIM_PAUSE, 1),
        fake::EventRecord(EVENT_VIEW, SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_VIRTUAL),
        fake::EventRecord(EVENT_MENU_PAUSE), fake::EventRecord(EVENT_MENU_PAUSE),
        fake::ExceptionRecord(7), fake::EventRecord(EVENT_MENU_EXIT),
        fake::DataRecord(REQUEST_ATTITUDE, 0.0, -1.0), fake::EventRecord(EVENT_POV)}) {
    fake::QueueRecord(record);
  }
  std::string out = Run();
  const std::string connected = support::ConsoleText(
      "connected", {{"application", "Microsoft Flight Simulator X"}, {"version", "10"}});
  EXPECT_EQ(out, kBanner + connected + "A SimConnect Exception occurred: Exception ID 7\n");
  EXPECT_EQ(
      fake::Timeline(),
      ExpectedTimeline({"CallDispatch proc null", "stdout: " + connected, command + "-28.648735",
                        "stdout: A SimConnect Exception occurred: Exception ID 7\n",
                        command + "57.2974701", "Sleep 1"}));
  EXPECT_EQ(fake::CallsNamed("CallDispatch").size(), 1u);
}

TEST_F(MainRoutine, OneRecordPerDispatchKeepsPolling) {
  fake::SetDelivery(fake::Delivery::OnePerCall);
  for (int i = 0; i < 3; ++i) {
    fake::QueueRecord(fake::DataRecord(REQUEST_ATTITUDE, 0.0, 0.5));
  }
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  Run();
  EXPECT_EQ(fake::CallsNamed("CallDispatch").size(), 4u);
  EXPECT_EQ(fake::CallsNamed("CameraSetRelative6DOF").size(), 3u);
  EXPECT_EQ(fake::CallsNamed("Sleep").size(), 5u);
}

TEST_F(MainRoutine, CommandLineArgumentsChangeNothing) {
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  std::string plain = Run();
  std::vector<std::string> plainCalls = fake::CallLines();

  const std::vector<std::vector<std::string>> argumentLists = {
      {},
      {"vantilo", "--help"},
      {"vantilo", "-x", "7", "SimConnect.cfg", "", "\xff\xfe"},
  };
  for (const std::vector<std::string>& args : argumentLists) {
    SetUp();
    fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
    int status = -1;
    EXPECT_EQ(Run(args, &status), plain);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fake::CallLines(), plainCalls);
  }
}

}  // namespace
