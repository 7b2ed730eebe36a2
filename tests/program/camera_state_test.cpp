// Controller state: suspension by the hat and re-engagement on the fourth
// tick, view changes, the menu's pause, and the quit requests.
#include "tests/program/program_test_support.h"

namespace {

using Suspension = ProgramTest;

TEST_F(Suspension, ActiveFromTheStart) { EXPECT_TRUE(FrameSendsCommand()); }

TEST_F(Suspension, FourthTickAfterHatReengages) {
  Hat();
  EXPECT_FALSE(controllerState.active);
  EXPECT_EQ(controllerState.secondsSinceHat, 0);
  EXPECT_FALSE(FrameSendsCommand());
  for (int tick = 1; tick <= 3; ++tick) {
    Tick();
    EXPECT_EQ(controllerState.secondsSinceHat, tick);
    EXPECT_FALSE(controllerState.active) << "tick " << tick;
    EXPECT_FALSE(FrameSendsCommand()) << "tick " << tick;
  }
  Tick();
  EXPECT_EQ(controllerState.secondsSinceHat, 4);
  EXPECT_TRUE(controllerState.active);
  EXPECT_TRUE(FrameSendsCommand());
}

TEST_F(Suspension, VirtualCockpitViewReengagesAtOnceAndLeavesTheCount) {
  Hat();
  Tick();
  View(SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_VIRTUAL);
  EXPECT_TRUE(controllerState.active);
  EXPECT_EQ(controllerState.secondsSinceHat, 1);
  EXPECT_TRUE(FrameSendsCommand());
  Tick();
  EXPECT_EQ(controllerState.secondsSinceHat, 2);
}

TEST_F(Suspension, SecondHatInputRestartsTheCount) {
  Hat();
  Tick(2);
  Hat();
  EXPECT_EQ(controllerState.secondsSinceHat, 0);
  Hat();
  EXPECT_EQ(controllerState.secondsSinceHat, 0);
  Tick(3);
  EXPECT_FALSE(controllerState.active);
  Tick();
  EXPECT_TRUE(controllerState.active);
}

TEST_F(Suspension, ViewsOtherThanVirtualCockpitSuspend) {
  const DWORD others[] = {0,
                          SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_2D,
                          SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_ORTHOGONAL,
                          3,
                          6,
                          0xFFFFFFFFu};
  for (DWORD kind : others) {
    SCOPED_TRACE(kind);
    View(SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_VIRTUAL);
    EXPECT_TRUE(controllerState.active);
    View(kind);
    EXPECT_FALSE(controllerState.active);
    EXPECT_FALSE(FrameSendsCommand());
  }
}

TEST_F(Suspension, PastTheThresholdEveryTickReengages) {
  Tick(4);
  View(SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_2D);
  EXPECT_FALSE(FrameSendsCommand());
  Tick();
  EXPECT_TRUE(controllerState.active);
  EXPECT_TRUE(FrameSendsCommand());
  EXPECT_EQ(controllerState.secondsSinceHat, 5);
}

TEST_F(Suspension, TicksWithoutHatCountFromStart) {
  View(SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_ORTHOGONAL);
  Tick(3);
  EXPECT_FALSE(controllerState.active);
  Tick();
  EXPECT_TRUE(controllerState.active);
}

using Pause = ProgramTest;

TEST_F(Pause, MenuPauseToggles) {
  MenuPause();
  EXPECT_TRUE(controllerState.paused);
  EXPECT_TRUE(controllerState.active);
  EXPECT_FALSE(FrameSendsCommand());
  MenuPause();
  EXPECT_FALSE(controllerState.paused);
  EXPECT_TRUE(FrameSendsCommand());
}

TEST_F(Pause, WhilePausedHatViewAndTicksStillChangeTheState) {
  MenuPause();
  Hat();
  EXPECT_FALSE(controllerState.active);
  EXPECT_EQ(controllerState.secondsSinceHat, 0);
  Tick();
  EXPECT_EQ(controllerState.secondsSinceHat, 1);
  View(SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_VIRTUAL);
  EXPECT_TRUE(controllerState.active);
  View(SIMCONNECT_VIEW_SYSTEM_EVENT_DATA_COCKPIT_2D);
  EXPECT_FALSE(controllerState.active);
  Tick(3);
  EXPECT_TRUE(controllerState.active);
  EXPECT_TRUE(controllerState.paused);
  EXPECT_FALSE(FrameSendsCommand());
  MenuPause();
  EXPECT_TRUE(FrameSendsCommand());
}

// From a held, menu-paused state: "Pause" with value 1 leaves paused at 1,
// value 0 does not clear it, and neither touches active or the count.
TEST_F(Pause, SimulatorPauseChangesNothing) {
  for (const ControllerState& start : {kAltered, kFollowing}) {
    for (DWORD value : {1u, 0u, 1u}) {
      SCOPED_TRACE(value);
      controllerState = start;
      EXPECT_EQ(Printed(fake::EventRecord(EVENT_SIM_PAUSE, value)), "");
      EXPECT_TRUE(StateIs(start));
    }
  }
  EXPECT_TRUE(FrameSendsCommand());
}

using Quit = ProgramTest;

TEST_F(Quit, QuitRecordSetsTheFlagRepeatably) {
  Dispatch(fake::QuitRecord());
  EXPECT_TRUE(controllerState.quitRequested);
  Dispatch(fake::QuitRecord());
  EXPECT_TRUE(controllerState.quitRequested);
  EXPECT_TRUE(controllerState.active);
  EXPECT_FALSE(controllerState.paused);
}

TEST_F(Quit, MenuExitSetsTheFlagRepeatably) {
  Dispatch(fake::EventRecord(EVENT_MENU_EXIT));
  EXPECT_TRUE(controllerState.quitRequested);
  Dispatch(fake::EventRecord(EVENT_MENU_EXIT));
  Dispatch(fake::QuitRecord());
  EXPECT_TRUE(controllerState.quitRequested);
  EXPECT_EQ(fake::Calls().size(), 0u);
}

}  // namespace
