// Google Benchmark of CameraDispatch, the program's per-record work: an
// attitude record (which sends a camera command) and an event record. The
// host is a stub here: the camera command lands in a volatile sink.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "control/camera_controller.h"
#include "control/identifiers.h"

// The program's main routine defines the handle; this benchmark links the
// controller alone, so it defines its own.
HANDLE hSimConnect = nullptr;

namespace {

volatile float headingSink = 0.0f;
std::uint64_t commandsSent = 0;

// Enough distinct records that the branch predictor sees varied data.
const std::size_t kRecordCount = 256;
const DWORD kProtocol = 2;
const DWORD kOneSecondEvent = EVENT_1SEC;

// A SIMOBJECT_DATA record for the attitude request, as hostlink/net hands
// it over: 8-byte aligned, header through dwoutof, then pitch and bank.
struct AttitudeWire {
  alignas(8) unsigned char bytes[56];
};

AttitudeWire MakeAttitude(double pitch, double bank) {
  AttitudeWire wire{};
  SIMCONNECT_RECV_SIMOBJECT_DATA header{};
  header.dwSize = sizeof wire.bytes;
  header.dwVersion = kProtocol;
  header.dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
  header.dwRequestID = REQUEST_ATTITUDE;
  header.dwObjectID = 1;
  header.dwDefineID = DEFINITION_ATTITUDE;
  header.dwentrynumber = 1;
  header.dwoutof = 1;
  header.dwDefineCount = 2;
  std::memcpy(wire.bytes, &header, 40);
  std::memcpy(wire.bytes + 40, &pitch, sizeof pitch);
  std::memcpy(wire.bytes + 48, &bank, sizeof bank);
  return wire;
}

SIMCONNECT_RECV_EVENT MakeEvent(DWORD eventId, DWORD data) {
  SIMCONNECT_RECV_EVENT event{};
  event.dwSize = sizeof event;
  event.dwVersion = kProtocol;
  event.dwID = SIMCONNECT_RECV_ID_EVENT;
  event.uGroupID = SIMCONNECT_UNUSED;
  event.uEventID = eventId;
  event.dwData = data;
  return event;
}

void ResetController() { controllerState = {true, false, false, 0}; }

void BM_AttitudeRecord(benchmark::State& state) {
  std::vector<AttitudeWire> records;
  for (std::size_t i = 0; i < kRecordCount; ++i) {
    double bank = -1.0 + 2.0 * static_cast<double>(i) / kRecordCount;  // radians
    records.push_back(MakeAttitude(-0.05, bank));
  }
  ResetController();
  commandsSent = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    AttitudeWire& wire = records[next];
    CameraDispatch(reinterpret_cast<SIMCONNECT_RECV*>(wire.bytes), sizeof wire.bytes, nullptr);
    next = (next + 1) % kRecordCount;
  }
  // Every record must have taken the full path, camera command included.
  if (commandsSent != static_cast<std::uint64_t>(state.iterations())) {
    state.SkipWithError("an attitude record sent no camera command");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AttitudeRecord);

void BM_EventRecord(benchmark::State& state) {
  // "1sec" ticks: the most frequent event record besides the frame's own.
  std::vector<SIMCONNECT_RECV_EVENT> records(kRecordCount, MakeEvent(kOneSecondEvent, 0));
  ResetController();
  std::size_t next = 0;
  for (auto _ : state) {
    CameraDispatch(&records[next], sizeof records[next], nullptr);
    next = (next + 1) % kRecordCount;
  }
  if (controllerState.secondsSinceHat != static_cast<std::int32_t>(state.iterations())) {
    state.SkipWithError("a 1sec event was not counted");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EventRecord);

}  // namespace

// The stub host: keeps the heading where the compiler must store it.
extern "C" HRESULT SIMCONNECT_CALL SimConnect_CameraSetRelative6DOF(HANDLE, float, float, float,
                                                                    float, float, float heading) {
  headingSink = heading;
  ++commandsSent;
  return 0;
}
