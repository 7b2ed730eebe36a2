// RunClient: one straight line from the banner to the final pause. Only the
// open's result is tested; the host reports later faults as exception
// records, which the camera controller prints. Each message is flushed as it
// is printed, so a pipe or a log file sees it while the program runs.
#include "run/main_routine.h"

#include <cstdio>

#include "control/camera_controller.h"
#include "control/identifiers.h"
#include "hostlink/simconnect.h"
#include "platform/platform.h"

HANDLE hSimConnect = nullptr;

namespace {

const char kSeparator[] =
    "=====================================================================\n\n";
const char kClientName[] = "Vantilo";

// Between the separators stand only the author credit and the contact line:
// the banner's third write is empty and prints nothing.
void PrintBanner() {
  std::printf("Welcome to Vantilo ver 1.0\n\n");
  std::printf("%s", kSeparator);
  std::printf("By the Vantilo developers.\n");
  std::printf("Contact: the Vantilo project's issue tracker.\n");
  std::printf("%s", kSeparator);
  std::fflush(stdout);
}

void Register() {
  SimConnect_MenuAddItem(hSimConnect, kClientName, EVENT_MENU, MENU_DATA);
  SimConnect_MenuAddSubItem(hSimConnect, EVENT_MENU, "Pause", EVENT_MENU_PAUSE, MENU_DATA);
  SimConnect_MenuAddSubItem(hSimConnect, EVENT_MENU, "Exit", EVENT_MENU_EXIT, MENU_DATA);

  SimConnect_MapClientEventToSimEvent(hSimConnect, EVENT_MENU_PAUSE, "");
  SimConnect_MapClientEventToSimEvent(hSimConnect, EVENT_MENU_EXIT, "");
  SimConnect_MapClientEventToSimEvent(hSimConnect, EVENT_POV, "");

  SimConnect_MapInputEventToClientEvent(hSimConnect, GROUP_MAIN, "joystick:0:POV", EVENT_POV, 0,
                                        SIMCONNECT_UNUSED, 0, 0);

  SimConnect_AddClientEventToNotificationGroup(hSimConnect, GROUP_MAIN, EVENT_POV, 0);
  SimConnect_AddClientEventToNotificationGroup(hSimConnect, GROUP_MAIN, EVENT_MENU_PAUSE, 0);
  SimConnect_AddClientEventToNotificationGroup(hSimConnect, GROUP_MAIN, EVENT_MENU_EXIT, 0);
  SimConnect_SetInputGroupState(hSimConnect, GROUP_MAIN, SIMCONNECT_STATE_ON);

  SimConnect_SubscribeToSystemEvent(hSimConnect, EVENT_SIM_PAUSE, "Pause");
  SimConnect_SubscribeToSystemEvent(hSimConnect, EVENT_VIEW, "View");
  SimConnect_SubscribeToSystemEvent(hSimConnect, EVENT_1SEC, "1sec");
  SimConnect_SubscribeToSystemEvent(hSimConnect, EVENT_FRAME, "Frame");

  SimConnect_AddToDataDefinition(hSimConnect, DEFINITION_ATTITUDE, "PLANE PITCH DEGREES", "Radians",
                                 SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(hSimConnect, DEFINITION_ATTITUDE, "PLANE BANK DEGREES", "Radians",
                                 SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
  SimConnect_RequestDataOnSimObject(hSimConnect, REQUEST_ATTITUDE, DEFINITION_ATTITUDE,
                                    SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0,
                                    0, 0);
}

void DispatchUntilQuit() {
  BeginFineTimer();
  while (!controllerState.quitRequested) {
    SimConnect_CallDispatch(hSimConnect, CameraDispatch, nullptr);
    Sleep(1);
  }
  EndFineTimer();
}

void TearDown() {
  SimConnect_MenuDeleteSubItem(hSimConnect, EVENT_MENU, EVENT_MENU_PAUSE);
  SimConnect_MenuDeleteSubItem(hSimConnect, EVENT_MENU, EVENT_MENU_EXIT);
  SimConnect_MenuDeleteItem(hSimConnect, EVENT_MENU);
  SimConnect_Close(hSimConnect);
}

}  // namespace

void RunClient() {
  PrintBanner();
  if (SimConnect_Open(&hSimConnect, kClientName, nullptr, 0, nullptr, 0) < 0) {
    std::printf("You must start Flight Simulator first!");
    std::fflush(stdout);
  } else {
    Register();
    DispatchUntilQuit();
    TearDown();
  }
  Sleep(2000);
}

int ProgramEntry(int argc, char* argv[]) {
  (void)argc;
  (void)argv;
  RunClient();
  return 0;
}
