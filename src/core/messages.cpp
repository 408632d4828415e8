#include "core/messages.h"

#include <cstdio>

#include "core/driver_state.h"
#include "platform/platform.h"
#include "ui/resources.h"

namespace tarnix {

void ShowMessage(unsigned stringId) {
  DriverState& s = g_state;
  platform::LoadText(s.moduleHandle, IDS_DRIVER_NAME, s.loadBuffer, sizeof s.loadBuffer);
  std::snprintf(s.captionBuffer, sizeof s.captionBuffer, "%s", s.loadBuffer);
  platform::LoadText(s.moduleHandle, stringId, s.loadBuffer, sizeof s.loadBuffer);
  std::snprintf(s.textBuffer, sizeof s.textBuffer, "%s", s.loadBuffer);
  platform::ErrorBox(platform::ActiveWindow(), s.textBuffer, s.captionBuffer);
}

}  // namespace tarnix
