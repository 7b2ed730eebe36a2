// The main routine against the fake host: the banner, the failed open, the
// registration calls with every argument, the loop, the tear-down and the
// final pause, with console text and host calls on one timeline.
#include "run/main_routine.h"

#include "tests/program/program_test_support.h"

namespace {

const char kBanner[] =
    "Welcome to Vantilo ver 1.0\n\n"
    "=====================================================================\n\n"
    "By the Vantilo developers.\n"
    "Contact: the Vantilo project's issue tracker.\n"
    "=====================================================================\n\n";

const std::vector<std::string> kRegistration = {
    "SimConnect_Open(&h, \"Vantilo\", null, 0, null, 0)",
    "SimConnect_MenuAddItem(H, \"Vantilo\", 19, 12345)",
    "SimConnect_MenuAddSubItem(H, 19, \"Pause\", 21, 12345)",
    "SimConnect_MenuAddSubItem(H, 19, \"Exit\", 20, 12345)",
    "SimConnect_MapClientEventToSimEvent(H, 21, \"\")",
    "SimConnect_MapClientEventToSimEvent(H, 20, \"\")",
    "SimConnect_MapClientEventToSimEvent(H, 18, \"\")",
    "SimConnect_MapInputEventToClientEvent(H, 0, \"joystick:0:POV\", 18, 0, 4294967295, 0, 0)",
    "SimConnect_AddClientEventToNotificationGroup(H, 0, 18, 0)",
    "SimConnect_AddClientEventToNotificationGroup(H, 0, 21, 0)",
    "SimConnect_AddClientEventToNotificationGroup(H, 0, 20, 0)",
    "SimConnect_SetInputGroupState(H, 0, 1)",
    "SimConnect_SubscribeToSystemEvent(H, 0, \"Pause\")",
    "SimConnect_SubscribeToSystemEvent(H, 1, \"View\")",
    "SimConnect_SubscribeToSystemEvent(H, 2, \"1sec\")",
    "SimConnect_SubscribeToSystemEvent(H, 3, \"Frame\")",
    "SimConnect_AddToDataDefinition(H, 0, \"PLANE PITCH DEGREES\", \"Radians\", 4, 0x00000000f, "
    "4294967295)",
    "SimConnect_AddToDataDefinition(H, 0, \"PLANE BANK DEGREES\", \"Radians\", 4, 0x00000000f, "
    "4294967295)",
    "SimConnect_RequestDataOnSimObject(H, 1, 0, 0, 2, 0, 0, 0, 0)",
};

const std::vector<std::string> kTearDown = {
    "SimConnect_MenuDeleteSubItem(H, 19, 21)",
    "SimConnect_MenuDeleteSubItem(H, 19, 20)",
    "SimConnect_MenuDeleteItem(H, 19)",
    "SimConnect_Close(H)",
    "Sleep(2000)",
};

class MainRoutine : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    hSimConnect = nullptr;
  }
  // Runs the program entry with these arguments; returns what it printed.
  static std::string Run(std::vector<std::string> args, int* status) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
      argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);
    fake::CaptureConsole();
    *status = ProgramEntry(static_cast<int>(args.size()), argv.data());
    return fake::ReleaseConsole();
  }
  static std::string Run() {
    int status = -1;
    std::string out = Run({"vantilo"}, &status);
    EXPECT_EQ(status, 0);
    return out;
  }
  static std::vector<std::string> Expected(std::vector<std::string> middle) {
    std::vector<std::string> calls = kRegistration;
    calls.insert(calls.end(), middle.begin(), middle.end());
    calls.insert(calls.end(), kTearDown.begin(), kTearDown.end());
    return calls;
  }
  // The same, as the timeline shows it: the banner before everything.
  static std::vector<std::string> ExpectedTimeline(std::vector<std::string> middle) {
    std::vector<std::string> timeline = Expected(std::move(middle));
    timeline.insert(timeline.begin(), std::string("stdout: ") + kBanner);
    return timeline;
  }
};

TEST_F(MainRoutine, FailedOpenPrintsTheMessagePausesAndCallsNothingElse) {
  fake::FailOpen(static_cast<HRESULT>(0x80004005u));
  int status = -1;
  std::string out = Run({"vantilo"}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, std::string(kBanner) + "You must start Flight Simulator first!");
  EXPECT_EQ(
      fake::Timeline(),
      (std::vector<std::string>{std::string("stdout: ") + kBanner, kRegistration[0],
                                "stdout: You must start Flight Simulator first!", "Sleep(2000)"}));
  EXPECT_EQ(fake::NowMs(), 2000u);
}

TEST_F(MainRoutine, OnlyANegativeOpenResultFails) {
  fake::FailOpen(1);  // S_FALSE is a success code
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  Run();
  EXPECT_EQ(fake::CallsNamed("SimConnect_Close").size(), 1u);
}

TEST_F(MainRoutine, ExitAtOnceRegistersLoopsOnceAndTearsDown) {
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  EXPECT_EQ(Run(), kBanner);
  EXPECT_EQ(fake::Timeline(),
            ExpectedTimeline({"SimConnect_CallDispatch(H, proc, null)", "Sleep(1)"}));
  EXPECT_EQ(fake::NowMs(), 2001u);
}

TEST_F(MainRoutine, QuitDuringADispatchEndsTheLoopAfterThatPassesPause) {
  fake::OnDispatch([](int pass) {
    if (pass == 2) {
      fake::QueueRecord(fake::QuitRecord());
    }
  });
  Run();
  EXPECT_EQ(fake::CallTexts(), Expected({"SimConnect_CallDispatch(H, proc, null)", "Sleep(1)",
                                         "SimConnect_CallDispatch(H, proc, null)", "Sleep(1)",
                                         "SimConnect_CallDispatch(H, proc, null)", "Sleep(1)"}));
}

// Reports are printed where their records fall among the host calls; the
// hat, view, tick, frame and the two pauses print nothing.
TEST_F(MainRoutine, SessionPrintsReportsAndSendsCommandsInOrder) {
  const std::string command =
      "SimConnect_CameraSetRelative6DOF(H, 0x00000000f, 0x00000000f, 0x00000000f, 0x41000000f, "
      "0x00000000f, ";
  fake::SetDelivery(fake::Delivery::AllPerCall);
  fake::QueueRecord(fake::OpenRecord("Microsoft Flight Simulator X", 10));
  fake::QueueRecord(fake::DataRecord(REQUEST_ATTITUDE, 0.0, 0.5));
  fake::QueueRecord(fake::EventRecord(EVENT_1SEC));
  fake::QueueRecord(fake::FrameRecord(60.0f, 1.0f));
  fake::QueueRecord(fake::EventRecord(EVENT_SIM_PAUSE, 1));
  fake::QueueRecord(
      fake::EventRecord(EVENT_VIEW, SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_VIRTUAL));
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_PAUSE));
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_PAUSE));
  fake::QueueRecord(fake::ExceptionRecord(7));
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  // Records after the exit in the same dispatch are still handled.
  fake::QueueRecord(fake::DataRecord(REQUEST_ATTITUDE, 0.0, -1.0));
  fake::QueueRecord(fake::EventRecord(EVENT_POV));
  std::string out = Run();
  EXPECT_EQ(out, std::string(kBanner) +
                     "Now connected to Microsoft Flight Simulator X Version 10\n"
                     "Note - you must be in 'Virtual Cockpit View' to enable.\n\n"
                     "Vantilo is ready!\n"
                     "A SimConnect Exception occurred: Exception ID 7\n");
  EXPECT_EQ(fake::Timeline(),
            ExpectedTimeline({"SimConnect_CallDispatch(H, proc, null)",
                              "stdout: Now connected to Microsoft Flight Simulator X Version 10\n"
                              "Note - you must be in 'Virtual Cockpit View' to enable.\n\n"
                              "Vantilo is ready!\n",
                              command + "0xc1e5309cf)",
                              "stdout: A SimConnect Exception occurred: Exception ID 7\n",
                              command + "0x4265309cf)", "Sleep(1)"}));
  EXPECT_EQ(fake::CallsNamed("SimConnect_CallDispatch").size(), 1u);
}

TEST_F(MainRoutine, OneRecordPerDispatchKeepsPolling) {
  fake::SetDelivery(fake::Delivery::OnePerCall);
  for (int i = 0; i < 3; ++i) {
    fake::QueueRecord(fake::DataRecord(REQUEST_ATTITUDE, 0.0, 0.5));
  }
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  Run();
  EXPECT_EQ(fake::CallsNamed("SimConnect_CallDispatch").size(), 4u);
  EXPECT_EQ(fake::CallsNamed("SimConnect_CameraSetRelative6DOF").size(), 3u);
  EXPECT_EQ(fake::CallsNamed("Sleep").size(), 5u);
}

TEST_F(MainRoutine, CommandLineArgumentsChangeNothing) {
  fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
  std::string plain = Run();
  std::vector<std::string> plainCalls = fake::CallTexts();

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
    EXPECT_EQ(fake::CallTexts(), plainCalls);
  }
}

}  // namespace
