// The page's single-point panels and trace settings: the board as the
// module described it, analog and digital outputs, digital inputs and
// counters, each through the module's own entry on the acquisition thread,
// and the length of the traces' window.
#pragma once

#include <httplib.h>

#include "monitor_engine.h"

namespace host {

void AddPanelRoutes(httplib::Server& server, MonitorEngine& engine);

}  // namespace host
