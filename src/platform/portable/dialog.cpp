// Portable dialog engine: a modal dialog with its controls in memory, driven
// by the module's dialog procedure with the same messages Windows sends.
//
// Minimal form: controls are created on first use, timers are delivered in
// order of their due time (real or virtual clock), and a dialog that has no
// timer and no script is closed as the user's Cancel would close it.
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/portable/portable_control.h"

namespace {

struct Control {
  std::string text;                  // edit text
  std::vector<std::string> entries;  // combo-box list, in order of adding
  int selected = tarnix::platform::kComboNone;
};

struct Timer {
  uint32_t period;
  uint64_t due;  // milliseconds on the dialog's clock
};

struct Dialog {
  int templateId = 0;
  std::map<int, Control> controls;
  std::map<uintptr_t, Timer> timers;
  bool ended = false;
  intptr_t result = 0;
  uint64_t now = 0;  // the dialog's clock, milliseconds since it opened
};

bool g_virtualClock = false;
uint64_t g_virtualMilliseconds = 0;

Dialog* AsDialog(tarnix::platform::WindowHandle handle) {
  return static_cast<Dialog*>(handle);
}

}  // namespace

namespace tarnix::platform {

WindowHandle ActiveWindow() { return nullptr; }

intptr_t RunDialog(ModuleHandle, int templateId, WindowHandle, DialogProc proc) {
  if (portable::ShouldFail("RunDialog") || proc == nullptr) return -1;
  Dialog dialog;
  dialog.templateId = templateId;
  proc(&dialog, kMsgInitDialog, 0, 0);
  while (!dialog.ended) {
    if (dialog.timers.empty()) {
      // Nobody to press a button: leave as Cancel does.
      proc(&dialog, kMsgCommand, kIdCancel, 0);
      if (!dialog.ended) {
        dialog.ended = true;
        dialog.result = kIdCancel;
      }
      break;
    }
    auto next = dialog.timers.begin();
    for (auto it = dialog.timers.begin(); it != dialog.timers.end(); ++it) {
      if (it->second.due < next->second.due) next = it;
    }
    uint64_t wait = next->second.due > dialog.now ? next->second.due - dialog.now : 0;
    if (g_virtualClock) {
      g_virtualMilliseconds += wait;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    dialog.now = next->second.due;
    uintptr_t id = next->first;
    next->second.due += next->second.period == 0 ? 1 : next->second.period;
    proc(&dialog, kMsgTimer, id, 0);
  }
  return dialog.result;
}

void EndDialog(WindowHandle dialog, intptr_t result) {
  AsDialog(dialog)->ended = true;
  AsDialog(dialog)->result = result;
}

void SetControlText(WindowHandle dialog, int controlId, const char* text) {
  AsDialog(dialog)->controls[controlId].text = text == nullptr ? "" : text;
}

void ComboReset(WindowHandle dialog, int controlId) {
  Control& c = AsDialog(dialog)->controls[controlId];
  c.entries.clear();
  c.selected = kComboNone;
}

void ComboAdd(WindowHandle dialog, int controlId, const char* text) {
  AsDialog(dialog)->controls[controlId].entries.emplace_back(text == nullptr ? "" : text);
}

void ComboSelect(WindowHandle dialog, int controlId, int position) {
  Control& c = AsDialog(dialog)->controls[controlId];
  bool inList = position >= 0 && static_cast<size_t>(position) < c.entries.size();
  c.selected = inList ? position : kComboNone;
}

int ComboSelected(WindowHandle dialog, int controlId) {
  return AsDialog(dialog)->controls[controlId].selected;
}

void StartTimer(WindowHandle dialog, uintptr_t timerId, uint32_t milliseconds) {
  Dialog* d = AsDialog(dialog);
  d->timers[timerId] = Timer{milliseconds, d->now + milliseconds};
}

void StopTimer(WindowHandle dialog, uintptr_t timerId) {
  AsDialog(dialog)->timers.erase(timerId);
}

}  // namespace tarnix::platform

extern "C" void TarnixPortable_SetVirtualClock(int enabled) { g_virtualClock = enabled != 0; }
extern "C" uint64_t TarnixPortable_VirtualMilliseconds() { return g_virtualMilliseconds; }
