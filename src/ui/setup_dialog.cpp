// Dialog procedure of the hardware setup dialog.
//
// Opening the dialog and every confirmed board pick take effect at once
// (boardIndex, serialNo, boardType, the record's boardVersionText); the four
// settings are taken over, and the record's board description refilled, only
// on OK. Cancel leaves the settings as they were but keeps the board pick.
#include "ui/setup_dialog.h"

#include "core/driver_state.h"
#include "core/trace.h"
#include "describe/fill_info.h"
#include "platform/platform.h"

namespace tarnix {

intptr_t TARNIX_WINAPI SetupDialogProc(platform::WindowHandle dialog, uint32_t message,
                                       uintptr_t wparam, intptr_t) {
  if (message == platform::kMsgInitDialog) {
    ShowApiInfo(dialog);
    FillBoardList(dialog);
    ShowBoardInfo(dialog);
    return 1;  // the system focuses the first tab stop, the OK button
  }
  if (message != platform::kMsgCommand) return 0;

  Trace("TARNIX - WM_COMMAND\n");
  // The whole first parameter is compared: notification code and control id
  // together, so a notification from the OK button is not a press of it.
  if (wparam == platform::kIdOk) {
    Trace("TARNIX - IDOK\n");
    ReadDialogSettings(dialog);
    FillInfoStruct();
    platform::EndDialog(dialog, 1);
    return 1;
  }
  if (wparam == platform::kIdCancel) {
    platform::EndDialog(dialog, 1);
    return 1;
  }
  if (wparam == kBoardListPicked) {
    Trace("TARNIX - 590829\n");
    ShowBoardInfo(dialog);
    return 0;
  }
  return 0;
}

}  // namespace tarnix
