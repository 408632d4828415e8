// Board description: writes what the selected board can do into the record.
#pragma once

namespace tarnix {

// Describes the board in serialNo, or the state without a board.
void FillInfoStruct();
// Describes the board named by serialNo, whatever it holds.
void FillInfoBoard();
// Describes the state without a board.
void FillInfoNone();

}  // namespace tarnix
