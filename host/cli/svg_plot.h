// Every channel of a measurement against time, in one SVG picture that a
// browser opens: axes with ticks in seconds and volts, a grid, one coloured
// trace per channel and a legend.
#pragma once

#include <string>

#include "plot_columns.h"

namespace host {

// Plot width in pixel columns: what PlotColumns keeps for the picture.
size_t PlotColumnCount();

// Writes the picture of what `plot` kept to `path`; answers false (reason in
// *error) when the file cannot be written.
bool WriteSvgPlot(const std::string& path, const PlotColumns& plot, const std::string& title,
                  std::string* error);

}  // namespace host
