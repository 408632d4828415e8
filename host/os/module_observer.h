// Watching and answering what the module shows: its trace lines, its message
// boxes and its dialogs. Natively the portable backend's hooks are resolved
// from the loaded module; with the DLL the debug output is caught in-process
// and a watcher thread reads and answers the module's windows.
// One implementation per platform (module_observer_posix.cpp, _win32.cpp).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "abi/resource_ids.h"
#include "os.h"

namespace host {

struct BoxSeen {
  std::string caption;
  std::string text;
};

using TraceSink = std::function<void(const std::string& text)>;

struct ObserverOptions {
  TraceSink trace;  // receives each trace text as it comes; empty = drop them
};

// The setup dialog's controls the host reads (ids from abi/resource_ids.h):
// its text fields, and its lists.
inline constexpr int kSetupEditControls[] = {
    IDC_API_VERSION, IDC_OPERATING_SYSTEM, IDC_BOARD_COUNT,   IDC_BOARD_NAME,
    IDC_BOARD_TYPE,  IDC_BOARD_DATE,       IDC_BOARD_REVISION};
inline constexpr int kSetupListControls[] = {IDC_BOARD_LIST, IDC_CLOCK_LIST, IDC_RANGE_LIST,
                                             IDC_GAIN_LIST, IDC_MODE_LIST};

// What the simulated user does in the setup dialog: pick positions in the
// lists (unset = leave as shown), then press OK or Cancel.
struct SetupChoice {
  std::optional<int> board;
  std::optional<int> clock;
  std::optional<int> range;
  std::optional<int> gain;
  bool cancel = false;
};

// What the dialog showed when the user pressed the button.
struct SetupView {
  bool seen = false;
  std::map<int, std::string> edits;               // by control id
  std::map<int, std::vector<std::string>> lists;  // entries by control id
  std::map<int, int> selected;                    // position, -1 = none
  std::string note;                               // why it was not seen
};

// Starts observing before the module is loaded, so that the lines it writes
// while being loaded are caught too.
void BeginObserving(const ObserverOptions& options);
// Hooks into the loaded module. Call before its first DRV_ entry.
void AttachModule(const LoadedLibrary& module);
// Stops the watcher and removes the hooks; call before unloading the module
// (also after a failed load).
void StopObserving();

// Message boxes seen since the last call, oldest first.
std::vector<BoxSeen> TakeBoxes();

// Arms the simulated user for the next setup dialog the module opens; the
// view is filled in by the time DRV_ShowDialog returns.
void ScriptSetupDialog(const SetupChoice& choice, SetupView* view);
// Arms the simulated user to press OK in the next about box.
void ScriptAboutBox(bool* seen);
// Called once DRV_ShowDialog has returned: completes the armed views and
// disarms both scripts.
void FinishDialogScripts();

}  // namespace host
