// The module's one way to tell the user of a failure.
#pragma once

namespace tarnix {

// Loads string 1 as the caption and string `stringId` as the text, and shows
// them in a modal message box with the error icon, owned by the active
// window. Returns when the user has dismissed it.
void ShowMessage(unsigned stringId);

}  // namespace tarnix
