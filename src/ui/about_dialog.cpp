// Dialog procedure of the about box.
#include "describe/fill_info.h"
#include "platform/platform.h"
#include "ui/setup_dialog.h"

namespace tarnix {

intptr_t TARNIX_WINAPI AboutDialogProc(platform::WindowHandle dialog, uint32_t message,
                                       uintptr_t wparam, intptr_t) {
  if (message == platform::kMsgInitDialog) return 1;
  if (message != platform::kMsgCommand) return 0;
  if (wparam == platform::kIdOk) {
    // The box goes first; the host then finds a fresh board description.
    platform::EndDialog(dialog, 1);
    FillInfoStruct();
    return 1;
  }
  if (wparam == platform::kIdCancel) {
    // Cancel, the Escape key and the close box only close the box: it has
    // nothing to undo, and the description is not refilled.
    platform::EndDialog(dialog, 2);
    return 1;
  }
  return 1;  // any other command: nothing to do, but handled
}

}  // namespace tarnix
