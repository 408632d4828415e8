// Internals of the portable dialog engine shared by its two halves: the
// modal loop with its controls (dialog.cpp) and the scripted user with the
// control snapshots (dialog_script.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/portable/dialog_templates.h"

namespace tarnix::platform::portable {

struct DialogControl {
  int id = -1;
  ControlKind kind = ControlKind::kLeftText;
  bool enabled = true;
  std::string text;                  // caption or edit text
  std::vector<std::string> entries;  // combo-box list, in order of adding
  int selected = kComboNone;
};

// What stays of a dialog once it has closed.
struct DialogSnapshot {
  int templateId = 0;
  intptr_t result = 0;
  bool forced = false;
  std::vector<DialogControl> controls;
};

// One step of the scripted user.
struct ScriptAction {
  enum Kind { kPick, kSelect, kCommand, kWait } kind;
  int templateId;  // 0: any dialog
  int controlId;
  int64_t value;  // entry position, command parameter or milliseconds
};

// Takes the next queued action meant for a dialog of `templateId`.
std::optional<ScriptAction> NextScriptAction(int templateId);

// The dialog the queries read: the innermost open one, else the last closed.
const DialogSnapshot* ObservedDialog();

// Bookkeeping calls of the modal loop.
void DialogOpened(DialogSnapshot* live);
void DialogMessageHandled(int templateId, uint32_t message, uintptr_t wparam);
void DialogClosed(const DialogSnapshot& final);

// Control of a live dialog by id (the first with that id), or nullptr.
DialogControl* FindControl(std::vector<DialogControl>& controls, int id);

}  // namespace tarnix::platform::portable
