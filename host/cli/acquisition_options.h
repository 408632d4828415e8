// The measurement options `acquire` and `monitor` share: which inputs, how
// fast, in what blocks, how long to wait for one, how slow a host to play
// and which worksheet to load first. Both commands bind them to one
// AcquireSettings, so each setting is declared and parsed once. A command
// registers each option where its help lists it, in its own words where the
// option means something of its own there (the live view says rather than
// gives up on a timeout).
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "acquisition.h"

namespace host {

struct AcquisitionOptions {
  std::string channels = "0-3";  // as typed, parsed by Resolve
  std::string worksheet;         // empty: none
  AcquireSettings settings;      // everything else, with its defaults

  // `settings` with the channel list parsed into *out; on a bad list prints
  // why and answers kExitUsage.
  int Resolve(AcquireSettings* out) const;
};

// --channels, --rate (explained by `rateHelp`), --block-size, --buffer-size.
void AddScanOptions(CLI::App& command, AcquisitionOptions* options, const char* rateHelp);
void AddTimeoutOption(CLI::App& command, AcquisitionOptions* options, const char* help);
void AddWorksheetOption(CLI::App& command, AcquisitionOptions* options, const char* help);
// Whole milliseconds from 0 to `maxMs`.
void AddHostDelayOption(CLI::App& command, AcquisitionOptions* options, const char* help,
                        int maxMs);

}  // namespace host
