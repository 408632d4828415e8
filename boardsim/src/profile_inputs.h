// What a profile says about a board's inputs: the signal each analog input
// carries (generators, recordings, or a wire from an analog output) and the
// wires between digital ports. Part of the profile loader.
#pragma once

#include <string>

#include "board_model.h"
#include "profile_fields.h"

namespace velqsim::profile {

// Reads a board's "signals" into board.signals, which holds the default mix
// for board.inputs channels. Relative replay files are taken from
// `baseDirectory`. The board's analog outputs must be known already.
void ReadSignals(const json& value, const std::string& path, const std::string& baseDirectory,
                 BoardDescription& board);

// Reads a board's "portWires"; the board's digital ports must be known
// already.
void ReadPortWires(const json& value, const std::string& path, BoardDescription& board);

}  // namespace velqsim::profile
