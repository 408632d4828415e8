// DRV_ShowDialog: the setup dialog (selector 1), the about box (99) or nothing.
#include "ui/dialogs.h"

#include "core/driver_state.h"
#include "platform/platform.h"
#include "ui/resources.h"
#include "ui/setup_dialog.h"

namespace tarnix {

namespace {

constexpr int32_t kSelectorSetup = 1;
constexpr int32_t kSelectorAbout = 99;
constexpr int32_t kErrorNotInitialized = 5;

}  // namespace

int32_t ShowDialog(int32_t selector) {
  platform::WindowHandle owner = platform::ActiveWindow();
  if (g_state.initialized == 0) {
    // Without a record (no DRV_InitDevice yet) the code has nowhere to go;
    // SetErrorCode writes only through a record the host handed over.
    SetErrorCode(kErrorNotInitialized);
    return 0;
  }
  // The dialog's own result is of no interest: its effects are in g_state
  // and the record.
  if (selector == kSelectorSetup) {
    platform::RunDialog(g_state.moduleHandle, IDD_SETUP, owner, SetupDialogProc);
  } else if (selector == kSelectorAbout) {
    platform::RunDialog(g_state.moduleHandle, IDD_ABOUT, owner, AboutDialogProc);
  }
  return 1;
}

}  // namespace tarnix
