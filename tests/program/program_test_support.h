// Helpers shared by the program's tests: a fresh program and fake host per
// test, records handed straight to CameraDispatch, the camera commands the
// fake host received, and whole runs of the program's entry.
#ifndef VANTILO_TESTS_PROGRAM_TEST_SUPPORT_H
#define VANTILO_TESTS_PROGRAM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "control/camera_controller.h"
#include "control/identifiers.h"
#include "run/main_routine.h"
#include "tests/fakes/fake_host.h"

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    controllerState = ControllerState{true, false, false, 0};
    hSimConnect = fake::Handle();
  }

  // Hands the first cbData bytes of a record to CameraDispatch from a heap
  // block that ends right after them, misalign bytes past an 8-byte
  // boundary, so a read past the count or a misaligned read shows.
  static void Dispatch(const fake::Bytes& bytes, DWORD cbData, std::size_t misalign = 0) {
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[misalign + cbData]);
    std::uint8_t* start = block.get() + misalign;
    std::memcpy(start, bytes.data(), std::min<std::size_t>(cbData, bytes.size()));
    CameraDispatch(reinterpret_cast<SIMCONNECT_RECV*>(start), cbData, nullptr);
  }
  static void Dispatch(const fake::Bytes& bytes) {
    Dispatch(bytes, static_cast<DWORD>(bytes.size()));
  }

  // Dispatches and returns what the controller printed meanwhile.
  static std::string Printed(const fake::Bytes& bytes, DWORD cbData) {
    fake::CaptureConsole();
    Dispatch(bytes, cbData);
    return fake::ReleaseConsole();
  }
  static std::string Printed(const fake::Bytes& bytes) {
    return Printed(bytes, static_cast<DWORD>(bytes.size()));
  }

  // States unlike the initial one in every field a handler could wrongly
  // touch: records that must change nothing are checked from them. Held and
  // paused; and following the bank, so that a stray command would show.
  static constexpr ControllerState kAltered = {false, true, false, 2};
  static constexpr ControllerState kFollowing = {true, false, false, 2};
  static bool StateIs(const ControllerState& wanted) {
    return controllerState.active == wanted.active && controllerState.paused == wanted.paused &&
           controllerState.quitRequested == wanted.quitRequested &&
           controllerState.secondsSinceHat == wanted.secondsSinceHat;
  }

  static void Frame(double bank) { Dispatch(fake::DataRecord(REQUEST_ATTITUDE, 0.1, bank)); }
  static void Tick(int times = 1) {
    for (int i = 0; i < times; ++i) {
      Dispatch(fake::EventRecord(EVENT_1SEC));
    }
  }
  static void Hat() { Dispatch(fake::EventRecord(EVENT_POV, 0)); }
  static void View(DWORD kind) { Dispatch(fake::EventRecord(EVENT_VIEW, kind)); }
  static void MenuPause() { Dispatch(fake::EventRecord(EVENT_MENU_PAUSE, 0)); }

  static std::vector<fake::Call> Commands() { return fake::CallsNamed("CameraSetRelative6DOF"); }
  static std::size_t CommandCount() { return Commands().size(); }

  // Whether one attitude record now brings a camera command.
  static bool FrameSendsCommand() {
    std::size_t before = CommandCount();
    Frame(0.2);
    return CommandCount() == before + 1;
  }
};

// The program's entry as a process starts it, with no connection held.
class ProgramRun : public ProgramTest {
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
};

#endif
