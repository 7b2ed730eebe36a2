// The camera controller: the process-wide controller state and the dispatch
// procedure that the main routine hands to SimConnect_CallDispatch.
#ifndef VANTILO_CONTROL_CAMERA_CONTROLLER_H
#define VANTILO_CONTROL_CAMERA_CONTROLLER_H

#include <cstdint>

#include "hostlink/simconnect.h"

struct ControllerState {
  bool active;                   // the camera follows the bank
  bool paused;                   // paused from the menu
  bool quitRequested;            // the program is to end; never cleared
  std::int32_t secondsSinceHat;  // "1sec" ticks since start or the last hat input
};

// Written only by CameraDispatch; the main routine reads quitRequested.
extern ControllerState controllerState;

// The connection handle, defined and owned by the main routine; the
// controller sends camera commands through it. A target that links the
// controller without the main routine (a benchmark, a fuzz target) defines
// its own.
extern HANDLE hSimConnect;

// Reacts to one host record: prints reports, keeps the state, sends the
// camera command. Reads no byte past cbData.
void SIMCONNECT_CALL CameraDispatch(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

#endif
