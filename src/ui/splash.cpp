// The start-up splash: shown modally by DRV_InitDevice, it closes itself on
// its own timer; the user cannot close it.
#include <cstdint>

#include "core/driver_state.h"
#include "platform/platform.h"
#include "ui/dialogs.h"
#include "ui/resources.h"

namespace tarnix {

namespace {

constexpr uintptr_t kSplashTimerId = 2;
constexpr uint32_t kSplashMilliseconds = 2000;

intptr_t TARNIX_WINAPI SplashDialogProc(platform::WindowHandle dialog, uint32_t message, uintptr_t,
                                        intptr_t) {
  switch (message) {
    case platform::kMsgInitDialog:
      // No callback: the timer's messages come to this procedure.
      platform::StartTimer(dialog, kSplashTimerId, kSplashMilliseconds);
      return 1;
    case platform::kMsgTimer:
      // The first tick, whichever timer it is, ends the splash.
      platform::StopTimer(dialog, kSplashTimerId);
      platform::EndDialog(dialog, 1);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

void ShowSplash() {
  // The result tells nothing: the splash always ends itself with 1, and a
  // splash that cannot be created must not keep the device from opening.
  platform::RunDialog(g_state.moduleHandle, IDD_SPLASH, platform::ActiveWindow(), SplashDialogProc);
}

}  // namespace tarnix
