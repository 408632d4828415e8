// The misbehaving world under the module: scripted answers and failures of
// the simulated board library, failures of the system (memory, registry,
// dialogs), and the user at the dialogs.
#pragma once

#include <cstdint>

#include "fuzz_input.h"

namespace tarnix::fuzz {

// Runs one scripted step `op` (any value; taken modulo the number of kinds),
// reading its arguments from `in`. Sets `registryUsed` when the step touched
// the registry store.
void RunBoardScriptStep(uint8_t op, FuzzInput& in, bool& registryUsed);

}  // namespace tarnix::fuzz
