// The live view's text: simulated time, the aircraft, the camera as last
// set, each client with its menu, the latest events and the keys. Pure:
// the terminal draws the lines it returns.
#ifndef VANTILO_STANDIN_LIVE_LIVE_VIEW_H
#define VANTILO_STANDIN_LIVE_LIVE_VIEW_H

#include <string>
#include <vector>

#include "standin/clients/simulator.h"
#include "standin/log/reporter.h"
#include "standin/world/world.h"

namespace standin {

const int kLiveViewLines = 12;

// The menu entries the number keys choose, in order: the first nine distinct
// texts of the clients' sub-items (and of top-level items without sub-items).
std::vector<std::string> MenuChoices(const std::vector<Session*>& sessions);

std::vector<std::string> RenderLiveView(const World& world, const Simulator& simulator,
                                        const Reporter& reporter);

// A plain description of the bank ("25.0 right", "level").
std::string DescribeBank(double degrees);

}  // namespace standin

#endif
