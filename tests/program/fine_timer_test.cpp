// The Windows build's timer request around the dispatch loop: winmm's
// timeBeginPeriod and timeEndPeriod, taken over through their import
// pointers (as the fake host takes over Sleep), must be called with 1 ms,
// once each, right before the first dispatch and right after the last pause.
#include <windows.h>

#include "run/main_routine.h"
#include "tests/program/program_test_support.h"

namespace {

struct TimerCall {
  std::string name;
  UINT period;
  std::size_t hostCallsBefore;  // fake host calls made before this one
};

std::vector<TimerCall>& TimerCalls() {
  static std::vector<TimerCall> calls;
  return calls;
}

MMRESULT WINAPI RecordBegin(UINT period) {
  TimerCalls().push_back({"timeBeginPeriod", period, fake::Calls().size()});
  return TIMERR_NOERROR;
}

MMRESULT WINAPI RecordEnd(UINT period) {
  TimerCalls().push_back({"timeEndPeriod", period, fake::Calls().size()});
  return TIMERR_NOERROR;
}

}  // namespace

extern "C" {
extern MMRESULT(WINAPI* beginPeriodImport)(UINT) __asm__("__imp__timeBeginPeriod@4");
extern MMRESULT(WINAPI* endPeriodImport)(UINT) __asm__("__imp__timeEndPeriod@4");
MMRESULT(WINAPI* beginPeriodImport)(UINT) = RecordBegin;
MMRESULT(WINAPI* endPeriodImport)(UINT) = RecordEnd;
}

namespace {

class FineTimer : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    hSimConnect = nullptr;
    TimerCalls().clear();
  }
  static void RunProgram() {
    char name[] = "vantilo";
    char* argv[] = {name, nullptr};
    fake::CaptureConsole();
    EXPECT_EQ(ProgramEntry(1, argv), 0);
    fake::ReleaseConsole();
  }
  // The position of the first call with this line in the fake's record.
  static std::size_t IndexOf(const std::string& line, std::size_t from = 0) {
    std::vector<std::string> lines = fake::CallLines();
    for (std::size_t i = from; i < lines.size(); ++i) {
      if (lines[i] == line) {
        return i;
      }
    }
    return lines.size();
  }
};

TEST_F(FineTimer, OneMillisecondAroundTheLoop) {
  fake::OnDispatch([](int pass) {
    if (pass == 2) {
      fake::QueueRecord(fake::EventRecord(EVENT_MENU_EXIT));
    }
  });
  RunProgram();
  ASSERT_EQ(TimerCalls().size(), 2u);
  EXPECT_EQ(TimerCalls()[0].name, "timeBeginPeriod");
  EXPECT_EQ(TimerCalls()[0].period, 1u);
  EXPECT_EQ(TimerCalls()[1].name, "timeEndPeriod");
  EXPECT_EQ(TimerCalls()[1].period, 1u);

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
  RunProgram();
  EXPECT_TRUE(TimerCalls().empty());
  EXPECT_EQ(fake::CallLines().back(), "Sleep 2000");
}

}  // namespace
