// The built-in scenario: every behaviour of Vantilo in about 30 simulated
// seconds. The stand-in starts level, in the virtual cockpit view.
#include "standin/world/scenario.h"

namespace standin {

const std::string& DefaultScenarioText() {
  static const std::string text =
      "# Vantilo's behaviours in about 30 seconds.\n"
      " 0.0  pitch up 3 over 2\n"
      " 1.0  roll right 25 over 3     # into a right turn: the camera looks right\n"
      " 6.0  roll level over 3        # and out of it\n"
      " 9.0  roll left 20 over 3      # a left turn\n"
      "10.5  hat                      # the pilot works the hat while banked: camera held\n"
      "13.0  roll level over 3        # the 4th 1sec tick after the hat (at 14) re-engages\n"
      "16.2  view 2d                  # away from the virtual cockpit: camera held\n"
      "                                # (until Vantilo's next 1sec tick re-engages it)\n"
      "17.0  roll right 15 over 2\n"
      "18.5  view virtual             # back in the virtual cockpit: camera follows again\n"
      "20.0  menu Pause               # Vantilo's menu: pause the camera\n"
      "21.0  roll left 15 over 3\n"
      "23.0  menu Pause               # and resume it\n"
      "24.5  pause on                 # the simulator's own pause freezes the aircraft\n"
      "25.5  pause off\n"
      "26.0  roll level over 2\n"
      "28.0  menu Exit                # Vantilo's menu: the program ends\n"
      "29.0  end\n";
  return text;
}

}  // namespace standin
