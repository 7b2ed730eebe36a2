// The Windows build's timer request around the dispatch loop: winmm's
// timeBeginPeriod and timeEndPeriod, taken over through their import
// pointers (as the fake host takes over Sleep), must be called with 1 ms,
// once each, right before the first dispatch and right after the last pause.
#include <windows.h>

#include <algorithm>

#include "tests/program/program_test_support.h"

namespace {

struct TimerCall {
  std::string line;             // "timeBeginPeriod 1"
  std::size_t hostCallsBefore;  // fake host calls made before this one
};

std::vector<TimerCall>& TimerCalls() {
  static std::vector<TimerCall> calls;
  return calls;
}

MMRESULT Recorded(const std::string& name, UINT period) {
  TimerCalls().push_back({name + " " + std::to_string(period), fake::Calls().size()});
  return TIMERR_NOERROR;
}
MMRESULT WINAPI RecordBegin(UINT period) { return Recorded("timeBeginPeriod", period); }
MMRESULT WINAPI RecordEnd(UINT period) { return Recorded("timeEndPeriod", period); }

}  // namespace

extern "C" {
extern MMRESULT(WINAPI* beginPeriodImport)(UINT) __asm__("__imp__timeBeginPeriod@4");
extern MMRESULT(WINAPI* endPeriodImport)(UINT) __asm__("__imp__timeEndPeriod@4");
MMRESULT(WINAPI* beginPeriodImport)(UINT) = RecordBegin;
MMRESULT(WINAPI* endPeriodImport)(UINT) = RecordEnd;
}

namespace {

class FineTimer : public ProgramRun {
 protected:
  void SetUp() override {
    ProgramRun::SetUp();
    TimerCalls().clear();
  }
  // The position of the first call with this line in the fake's record.
  static std::size_t IndexOf(const std::string& line) {
    const std::vector<std::string> lines = fake::CallLines();
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
  }
};

TEST_F(FineTimer, OneMillisecondAroundTheLoop) {
  fake::OnDispatch([](int pass) {
    if (pass == 2) {
      fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
    }
  });
  Run();
  ASSERT_EQ(TimerCalls().size(), 2u);
  EXPECT_EQ(TimerCalls()[0].line, "timeBeginPeriod 1");
  EXPECT_EQ(TimerCalls()[1].line, "timeEndPeriod 1");

  // Begun after the data request, before the first dispatch.
  std::size_t firstDispatch = IndexOf("CallDispatch proc null");
  EXPECT_EQ(TimerCalls()[0].hostCallsBefore, firstDispatch);
  EXPECT_EQ(fake::CallLines().at(firstDispatch - 1), "RequestDataOnSimObject 1 0 0 2 0 0 0 0");
  // Ended after the third pass's pause, before the tear-down.
  std::size_t tearDown = IndexOf("MenuDeleteSubItem 19 21");
  EXPECT_EQ(TimerCalls()[1].hostCallsBefore, tearDown);
  EXPECT_EQ(fake::CallLines().at(tearDown - 1), "Sleep 1");
  EXPECT_EQ(fake::CallsNamed("CallDispatch").size(), 3u);
}

TEST_F(FineTimer, NotRequestedWhenTheOpenFails) {
  fake::FailOpen(static_cast<HRESULT>(0x80004005u));
  Run();
  EXPECT_TRUE(TimerCalls().empty());
  EXPECT_EQ(fake::CallLines().back(), "Sleep 2000");
}

}  // namespace
