// Not built yet: the splash comes with the device lifecycle.
#include "ui/dialogs.h"

namespace tarnix {

void ShowSplash() {}

}  // namespace tarnix
