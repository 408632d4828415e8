// Every channel of a recording against time, in one SVG picture that a
// browser opens: axes with ticks in seconds and volts, a grid, one coloured
// trace per channel and a legend.
#pragma once

#include <string>

#include "signal_stats.h"

namespace host {

// Writes the picture to `path`; answers false (reason in *error) when the
// file cannot be written.
bool WriteSvgPlot(const std::string& path, const Recording& recording, const std::string& title,
                  std::string* error);

}  // namespace host
