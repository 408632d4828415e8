// The setup dialog, the about box and the splash.
#pragma once

#include <cstdint>

namespace tarnix {

// Opens the setup dialog (1), the about box (99) or nothing.
int32_t ShowDialog(int32_t selector);
// Shows the splash modally; returns when it has closed itself.
void ShowSplash();

}  // namespace tarnix
