// Helpers of the dialog tests under Wine: the real tarnix.dll, a stand-in
// user in a second thread that finds the module's dialog window by caption
// and drives it with window messages, and a reader of every control.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace uiwine {

// The module's exports used here (standard calling convention).
struct Driver {
  HMODULE module = nullptr;
  int32_t(__stdcall* InitDevice)(void*) = nullptr;
  int32_t(__stdcall* ShowDialog)(int32_t, int32_t) = nullptr;
  int32_t(__stdcall* LoadWorksheet)(const char*) = nullptr;
  int32_t(__stdcall* SaveWorksheet)(const char*) = nullptr;
};
// Loads tarnix.dll from the test's own directory; module is null on failure.
Driver LoadDriver();

// One control as the user sees it.
struct ControlView {
  std::string className;  // "Button", "Edit", "ComboBox", "Static"
  std::string text;       // window text (a combo box: its edit field)
  bool enabled = false;
  int selected = -1;  // combo boxes: CB_GETCURSEL
  std::vector<std::string> entries;
};
// Every child control with an id, by id.
using DialogView = std::map<int, ControlView>;
DialogView ReadDialog(HWND dialog);

// The top-level dialog (class #32770) of thread `thread` with `caption`
// (nullptr: a dialog without a caption), or nullptr.
HWND FindThreadDialog(DWORD thread, const char* caption);

// Runs `call` on this thread; while it waits in a modal loop, a stand-in
// user (a timer of this same thread) finds the dialog with `caption`
// (nullptr: one without a caption) and runs `user` on it once. If the dialog
// is still there once the messages `user`'s actions queued are handled, it
// is cancelled and `stuck` is set. `shown` tells whether the dialog appeared
// at all.
struct UserOutcome {
  int32_t result = 0;
  bool shown = false;
  bool stuck = false;
};
UserOutcome WithUser(const std::function<int32_t()>& call, const char* caption,
                     const std::function<void(HWND)>& user);

// User actions through window messages.
void PickEntry(HWND dialog, int comboId, int index);    // CB_SETCURSEL + CBN_SELENDOK
void SelectEntry(HWND dialog, int comboId, int index);  // CB_SETCURSEL only
void Press(HWND dialog, int buttonId);                  // WM_COMMAND with the button's id
void Click(HWND dialog, int buttonId);                  // BM_CLICK on the button itself

// Screenshots, only when TARNIX_SCREENSHOTS names a directory: writes
// "<name>.request" there and waits up to 20 s for it to disappear. Whoever
// watches the directory (scripts outside Wine, e.g. ImageMagick's import on
// the X display) takes the picture of the screen and deletes the request.
// Answers false when no picture was asked for or none was taken in time.
bool RequestScreenshot(const char* name);

// The record handed to the module: a zeroed DeviceRecord of version 17.
std::vector<uint8_t> NewRecord();
int32_t RecordInt(const std::vector<uint8_t>& record, size_t offset);
std::string RecordText(const std::vector<uint8_t>& record, size_t offset, size_t width);

}  // namespace uiwine
