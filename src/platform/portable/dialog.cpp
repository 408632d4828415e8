// Portable dialog engine: a modal dialog built from the module's template
// description, its controls held in memory, driven by the module's dialog
// procedure with the messages Windows sends (WM_INITDIALOG, WM_COMMAND with
// the 32-bit first parameter, WM_TIMER).
//
// The modal loop plays the scripted user's actions first, then delivers the
// dialog's timers in order of their due time (real or virtual clock). A
// dialog with neither left gets the Escape key's WM_COMMAND IDCANCEL, and if
// its procedure still does not end it, the engine ends it with IDCANCEL as
// the result so that no caller can hang.
#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "abi/portable_control.h"
#include "platform/platform.h"
#include "platform/portable/dialog_engine.h"
#include "platform/portable/faults.h"

namespace tarnix::platform::portable {
namespace {

struct Timer {
  uint32_t period;
  uint64_t due;  // milliseconds on the dialog's clock
};

struct Dialog {
  DialogSnapshot state;  // template id, result and the controls
  std::map<uintptr_t, Timer> timers;
  bool ended = false;
  uint64_t now = 0;  // the dialog's clock, milliseconds since it opened
  DialogProc proc = nullptr;
};

bool g_virtualClock = false;
uint64_t g_virtualMilliseconds = 0;
std::vector<Dialog*> g_openDialogs;  // innermost last

Dialog* AsDialog(WindowHandle handle) { return static_cast<Dialog*>(handle); }

DialogControl* Find(WindowHandle dialog, int controlId) {
  if (dialog == nullptr) return nullptr;
  return FindControl(AsDialog(dialog)->state.controls, controlId);
}

DialogControl* FindCombo(WindowHandle dialog, int controlId) {
  DialogControl* c = Find(dialog, controlId);
  return c != nullptr && c->kind == ControlKind::kCombo ? c : nullptr;
}

void Deliver(Dialog& d, uint32_t message, uintptr_t wparam) {
  d.proc(&d, message, wparam, 0);
  DialogMessageHandled(d.state.templateId, message, wparam);
}

void PassTime(uint64_t milliseconds) {
  if (milliseconds == 0) return;
  if (g_virtualClock) {
    g_virtualMilliseconds += milliseconds;
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

// Fires the earliest timer due at or before `until`; false when none is.
bool FireNextTimer(Dialog& d, uint64_t until) {
  auto next = d.timers.end();
  for (auto it = d.timers.begin(); it != d.timers.end(); ++it) {
    if (next == d.timers.end() || it->second.due < next->second.due) next = it;
  }
  if (next == d.timers.end() || next->second.due > until) return false;
  PassTime(next->second.due > d.now ? next->second.due - d.now : 0);
  d.now = std::max(d.now, next->second.due);
  uintptr_t id = next->first;
  // A period of 0 still fires, as the system's minimum period does.
  next->second.due = d.now + (next->second.period == 0 ? 1 : next->second.period);
  Deliver(d, kMsgTimer, id);
  return true;
}

// Plays one action of the scripted user. A user cannot work a disabled
// control: picks and selections on one are dropped.
void Play(Dialog& d, const ScriptAction& action) {
  switch (action.kind) {
    case ScriptAction::kPick:
    case ScriptAction::kSelect: {
      DialogControl* c = FindControl(d.state.controls, action.controlId);
      if (c == nullptr || c->kind != ControlKind::kCombo || !c->enabled) return;
      bool inList = action.value >= 0 && static_cast<uint64_t>(action.value) < c->entries.size();
      c->selected = inList ? static_cast<int>(action.value) : kComboNone;
      if (action.kind == ScriptAction::kPick) {
        uintptr_t wparam =
            (uintptr_t{kComboSelEndOk} << 16) | (static_cast<uintptr_t>(action.controlId) & 0xFFFF);
        Deliver(d, kMsgCommand, wparam);
      }
      return;
    }
    case ScriptAction::kCommand:
      Deliver(d, kMsgCommand, static_cast<uintptr_t>(static_cast<uint32_t>(action.value)));
      return;
    case ScriptAction::kWait: {
      uint64_t until = d.now + static_cast<uint64_t>(action.value);
      while (!d.ended && FireNextTimer(d, until)) {
      }
      PassTime(until > d.now ? until - d.now : 0);
      d.now = until;
      return;
    }
  }
}

void RunModalLoop(Dialog& d) {
  while (!d.ended) {
    if (std::optional<ScriptAction> action = NextScriptAction(d.state.templateId)) {
      Play(d, *action);
      continue;
    }
    if (!d.timers.empty()) {
      FireNextTimer(d, UINT64_MAX);
      continue;
    }
    // Nobody left to act: leave as the Escape key does.
    Deliver(d, kMsgCommand, kIdCancel);
    if (!d.ended) {
      d.ended = true;
      d.state.result = kIdCancel;
      d.state.forced = true;
    }
  }
}

}  // namespace

DialogControl* FindControl(std::vector<DialogControl>& controls, int id) {
  if (id == -1) return nullptr;
  for (DialogControl& c : controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

}  // namespace tarnix::platform::portable

namespace tarnix::platform {

using portable::AsDialog;

WindowHandle ActiveWindow() {
  return portable::g_openDialogs.empty() ? nullptr : portable::g_openDialogs.back();
}

intptr_t RunDialog(ModuleHandle, int templateId, WindowHandle, DialogProc proc) {
  if (portable::ShouldFail(kTarnixFaultRunDialog) || proc == nullptr) return -1;
  const portable::DialogTemplate* tmpl = portable::FindDialogTemplate(templateId);
  if (tmpl == nullptr) return -1;  // no such resource

  portable::Dialog d;
  d.proc = proc;
  d.state.templateId = templateId;
  for (const portable::ControlTemplate& t : tmpl->controls) {
    portable::DialogControl c;
    c.id = t.id;
    c.kind = t.kind;
    c.enabled = (t.flags & portable::kControlDisabled) == 0;
    c.text = t.text == nullptr ? "" : t.text;
    d.state.controls.push_back(std::move(c));
  }

  portable::g_openDialogs.push_back(&d);
  portable::DialogOpened(&d.state);
  portable::Deliver(d, kMsgInitDialog, 0);
  portable::RunModalLoop(d);
  portable::DialogMessageHandled(templateId, 0, 0);
  portable::g_openDialogs.pop_back();
  portable::DialogClosed(d.state);
  return d.state.result;
}

void EndDialog(WindowHandle dialog, intptr_t result) {
  if (dialog == nullptr) return;
  AsDialog(dialog)->ended = true;
  AsDialog(dialog)->state.result = result;
}

void SetControlText(WindowHandle dialog, int controlId, const char* text) {
  if (portable::DialogControl* c = portable::Find(dialog, controlId)) {
    c->text = text == nullptr ? "" : text;
  }
}

void ComboReset(WindowHandle dialog, int controlId) {
  if (portable::DialogControl* c = portable::FindCombo(dialog, controlId)) {
    c->entries.clear();
    c->selected = kComboNone;
  }
}

void ComboAdd(WindowHandle dialog, int controlId, const char* text) {
  if (portable::DialogControl* c = portable::FindCombo(dialog, controlId)) {
    c->entries.emplace_back(text == nullptr ? "" : text);
  }
}

void ComboSelect(WindowHandle dialog, int controlId, int position) {
  if (portable::DialogControl* c = portable::FindCombo(dialog, controlId)) {
    bool inList = position >= 0 && static_cast<size_t>(position) < c->entries.size();
    c->selected = inList ? position : kComboNone;
  }
}

int ComboSelected(WindowHandle dialog, int controlId) {
  portable::DialogControl* c = portable::FindCombo(dialog, controlId);
  return c == nullptr ? kComboNone : c->selected;
}

void StartTimer(WindowHandle dialog, uintptr_t timerId, uint32_t milliseconds) {
  if (dialog == nullptr) return;
  portable::Dialog* d = AsDialog(dialog);
  d->timers[timerId] = portable::Timer{milliseconds, d->now + milliseconds};
}

void StopTimer(WindowHandle dialog, uintptr_t timerId) {
  if (dialog != nullptr) AsDialog(dialog)->timers.erase(timerId);
}

}  // namespace tarnix::platform

extern "C" void TarnixPortable_SetVirtualClock(int enabled) {
  tarnix::platform::portable::g_virtualClock = enabled != 0;
}
extern "C" uint64_t TarnixPortable_VirtualMilliseconds() {
  return tarnix::platform::portable::g_virtualMilliseconds;
}
