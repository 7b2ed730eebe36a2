// Fuzz target for the program's dispatch procedure: the input is a run of
// records, each handed to CameraDispatch in its own buffer of exactly the
// byte count given (the record's size word, cut short by the input's end),
// so any read past that count is caught. The camera call is a recording stub.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "control/camera_controller.h"
#include "control/identifiers.h"
#include "fuzz/fuzz_input.h"

// The handle the controller sends its commands through. The program's main
// routine defines it; this target links the controller alone, so it defines
// its own, which the stub checks.
HANDLE hSimConnect = nullptr;

namespace {

int handleTag = 0;  // its address is the handle

struct Command {
  HANDLE handle;
  float values[6];
};
std::vector<Command> commands;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

std::uint32_t Bits(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

bool SameState(const ControllerState& a, const ControllerState& b) {
  return a.active == b.active && a.paused == b.paused && a.quitRequested == b.quitRequested &&
         a.secondsSinceHat == b.secondsSinceHat;
}

// Hands one record to the controller and checks what it did.
void DispatchOne(const std::uint8_t* bytes, std::uint32_t count) {
  std::vector<std::uint8_t> record(bytes, bytes + count);  // nothing beyond count
  const std::uint32_t id = count >= 12 ? vantilo_fuzz::ReadU32(bytes + 8) : 0;
  const bool attitude = count >= 56 && id == SIMCONNECT_RECV_ID_SIMOBJECT_DATA &&
                        vantilo_fuzz::ReadU32(bytes + 12) == REQUEST_ATTITUDE;
  const ControllerState before = controllerState;
  commands.clear();

  CameraDispatch(reinterpret_cast<SIMCONNECT_RECV*>(record.data()), count, nullptr);

  const ControllerState after = controllerState;
  Check(!before.quitRequested || after.quitRequested);  // never cleared
  if (count < 12 || (id != SIMCONNECT_RECV_ID_EVENT && id != SIMCONNECT_RECV_ID_QUIT)) {
    Check(SameState(before, after));  // only events and quit change the state
  }
  if (count < 24 && id == SIMCONNECT_RECV_ID_EVENT) {
    Check(SameState(before, after));  // an event too short to hold its data
  }
  if (count >= 12 && id == SIMCONNECT_RECV_ID_QUIT) {
    Check(after.quitRequested);
  }

  // One command for an attitude record while following, unless its angle
  // is NaN or would narrow to no finite float (from 2^128 - 2^103 up in
  // magnitude); none otherwise.
  double bank = 0.0;
  if (attitude) {
    std::memcpy(&bank, bytes + 48, sizeof bank);
  }
  const double angle = (bank * -180.0) / static_cast<double>(3.1415f);
  if (!attitude || !before.active || before.paused || !(std::fabs(angle) < 0x1.ffffffp+127)) {
    Check(commands.empty());
    return;
  }
  Check(commands.size() == 1);
  const float heading = static_cast<float>(angle);
  Check(std::isfinite(heading));
  const Command& command = commands.front();
  Check(command.handle == hSimConnect);
  Check(Bits(command.values[0]) == 0 && Bits(command.values[1]) == 0);
  Check(Bits(command.values[2]) == 0 && Bits(command.values[4]) == 0);
  Check(Bits(command.values[3]) == Bits(8.0f));
  Check(Bits(command.values[5]) == Bits(heading));
}

}  // namespace

extern "C" HRESULT SIMCONNECT_CALL SimConnect_CameraSetRelative6DOF(HANDLE handle, float deltaX,
                                                                    float deltaY, float deltaZ,
                                                                    float pitch, float bank,
                                                                    float heading) {
  commands.push_back({handle, {deltaX, deltaY, deltaZ, pitch, bank, heading}});
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  hSimConnect = &handleTag;
  // The connection reports go nowhere; libFuzzer reports on stderr.
  Check(std::freopen("/dev/null", "w", stdout) != nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  controllerState = ControllerState{true, false, false, 0};  // as at program start
  if (size == 0) {
    CameraDispatch(nullptr, 0, nullptr);
    Check(SameState(controllerState, ControllerState{true, false, false, 0}));
    return 0;
  }
  std::size_t at = 0;
  while (at < size) {
    const std::size_t left = size - at;
    std::size_t count = left;
    if (left >= 4) {
      const std::uint32_t declared = vantilo_fuzz::ReadU32(data + at);
      count = declared == 0 ? 1 : (declared < left ? declared : left);
    }
    DispatchOne(data + at, static_cast<std::uint32_t>(count));
    at += count;
  }
  return 0;
}
