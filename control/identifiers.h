// The numbers the program registers with the host and recognises in the
// records it gets back, and the layout of the per-frame attitude data.
#ifndef VANTILO_CONTROL_IDENTIFIERS_H
#define VANTILO_CONTROL_IDENTIFIERS_H

#include "hostlink/simconnect.h"

// Client events: one numbering space; 4 to 17 are not used.
enum EVENT_ID {
  EVENT_SIM_PAUSE = 0,   // system event "Pause"
  EVENT_VIEW = 1,        // system event "View"
  EVENT_1SEC = 2,        // system event "1sec"
  EVENT_FRAME = 3,       // system event "Frame"
  EVENT_POV = 18,        // input "joystick:0:POV"
  EVENT_MENU = 19,       // the top-level add-on menu item
  EVENT_MENU_EXIT = 20,  // menu sub-item "Exit"
  EVENT_MENU_PAUSE = 21  // menu sub-item "Pause"
};

enum GROUP_ID { GROUP_MAIN = 0 };  // input group and notification group
enum DEFINITION_ID { DEFINITION_ATTITUDE = 0 };
enum REQUEST_ID { REQUEST_ATTITUDE = 1 };
enum { MENU_DATA = 12345 };  // data value of the menu item and both sub-items

// The data block of a REQUEST_ATTITUDE record, datums in the order added.
struct AttitudeRecord {
  double pitch;  // "PLANE PITCH DEGREES" in "Radians"; delivered, never read
  double bank;   // "PLANE BANK DEGREES" in "Radians"
};

static_assert(sizeof(AttitudeRecord) == 16, "two doubles, nothing between");
static_assert(offsetof(AttitudeRecord, bank) == 8, "bank at byte 8");

#endif
