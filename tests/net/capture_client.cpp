// Our client's half of the node-simconnect byte comparison: the program's
// calls from open to close through vantilo_hostlink_net, against the server
// named in SimConnect.cfg. tests/peer/capture_compare.js runs it.
#include <chrono>
#include <cstdio>
#include <thread>

#include "hostlink/simconnect.h"

namespace {

struct Seen {
  bool open = false;
  bool quit = false;
};

void Note(SIMCONNECT_RECV* data, DWORD size, void* context) {
  Seen* seen = static_cast<Seen*>(context);
  if (size >= sizeof(SIMCONNECT_RECV)) {
    seen->open = seen->open || data->dwID == SIMCONNECT_RECV_ID_OPEN;
    seen->quit = seen->quit || data->dwID == SIMCONNECT_RECV_ID_QUIT;
  }
}

// Dispatches until *flag is set; false after 10 s.
bool DispatchUntil(HANDLE handle, Seen* seen, const bool* flag) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!*flag && std::chrono::steady_clock::now() < deadline) {
    SimConnect_CallDispatch(handle, Note, seen);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return *flag;
}

}  // namespace

int main() {
  HANDLE handle = nullptr;
  Seen seen;
  if (SimConnect_Open(&handle, "Vantilo", nullptr, 0, nullptr, 0) < 0 ||
      !DispatchUntil(handle, &seen, &seen.open)) {
    std::fprintf(stderr, "capture_client: no connection\n");
    return 1;
  }
  SimConnect_MenuAddItem(handle, "Vantilo", 19, 12345);
  SimConnect_MenuAddSubItem(handle, 19, "Pause", 21, 12345);
  SimConnect_MenuAddSubItem(handle, 19, "Exit", 20, 12345);
  SimConnect_MapClientEventToSimEvent(handle, 21, "");
  SimConnect_MapClientEventToSimEvent(handle, 20, "");
  SimConnect_MapClientEventToSimEvent(handle, 18, "");
  SimConnect_MapInputEventToClientEvent(handle, 0, "joystick:0:POV", 18, 0, SIMCONNECT_UNUSED, 0,
                                        0);
  SimConnect_AddClientEventToNotificationGroup(handle, 0, 18, 0);
  SimConnect_AddClientEventToNotificationGroup(handle, 0, 21, 0);
  SimConnect_AddClientEventToNotificationGroup(handle, 0, 20, 0);
  SimConnect_SetInputGroupState(handle, 0, SIMCONNECT_STATE_ON);
  SimConnect_SubscribeToSystemEvent(handle, 0, "Pause");
  SimConnect_SubscribeToSystemEvent(handle, 1, "View");
  SimConnect_SubscribeToSystemEvent(handle, 2, "1sec");
  SimConnect_SubscribeToSystemEvent(handle, 3, "Frame");
  SimConnect_AddToDataDefinition(handle, 0, "PLANE PITCH DEGREES", "Radians",
                                 SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(handle, 0, "PLANE BANK DEGREES", "Radians",
                                 SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
  SimConnect_RequestDataOnSimObject(handle, 1, 0, SIMCONNECT_OBJECT_ID_USER,
                                    SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0, 0, 0);
  const double bank = 0.5;
  SimConnect_CameraSetRelative6DOF(
      handle, 0.0f, 0.0f, 0.0f, 8.0f, 0.0f,
      static_cast<float>(bank * -180.0 / static_cast<double>(3.1415f)));
  SimConnect_MenuDeleteSubItem(handle, 19, 21);
  SimConnect_MenuDeleteSubItem(handle, 19, 20);
  SimConnect_MenuDeleteItem(handle, 19);
  // The server answers the last packet with a quit record once it has all.
  const bool quit = DispatchUntil(handle, &seen, &seen.quit);
  SimConnect_Close(handle);
  return quit ? 0 : 1;
}
