// The scripted user of portable dialogs and what it can read back: a queue of
// user actions parsed from text, and the controls of the open dialog or of
// the dialog that closed last.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "abi/portable_control.h"
#include "platform/portable/dialog_engine.h"

namespace tarnix::platform::portable {
namespace {

std::deque<ScriptAction> g_script;
std::vector<DialogSnapshot*> g_live;  // open dialogs, innermost last
DialogSnapshot g_last;                // the dialog that closed last
int g_opened = 0;                     // dialogs opened in this process
TarnixDialogHook g_hook = nullptr;
void* g_hookContext = nullptr;

// Splits on ';' and newlines, then on blanks; lower-cases the words.
std::vector<std::vector<std::string>> Tokenize(const char* text) {
  std::vector<std::vector<std::string>> steps(1);
  std::string word;
  auto endWord = [&] {
    if (!word.empty()) steps.back().push_back(word);
    word.clear();
  };
  for (const char* p = text; *p != '\0'; ++p) {
    unsigned char ch = static_cast<unsigned char>(*p);
    if (ch == ';' || ch == '\n' || ch == '\r') {
      endWord();
      if (!steps.back().empty()) steps.emplace_back();
    } else if (std::isspace(ch)) {
      endWord();
    } else {
      word.push_back(static_cast<char>(std::tolower(ch)));
    }
  }
  endWord();
  if (steps.back().empty()) steps.pop_back();
  return steps;
}

// A whole decimal (optionally negative) or 0x hexadecimal number.
bool ParseNumber(const std::string& word, int64_t* value) {
  if (word.empty()) return false;
  const char* begin = word.c_str();
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(begin, &end, 0);
  if (errno != 0 || end == begin || *end != '\0') return false;
  *value = parsed;
  return true;
}

bool ParseStep(const std::vector<std::string>& w, int templateId, ScriptAction* out) {
  int64_t a = 0;
  int64_t b = 0;
  auto idOk = [](int64_t v) { return v >= 0 && v <= 0xFFFF; };
  if ((w[0] == "pick" || w[0] == "select") && w.size() == 3 && ParseNumber(w[1], &a) &&
      ParseNumber(w[2], &b) && idOk(a) && b >= INT32_MIN && b <= INT32_MAX) {
    *out = {w[0] == "pick" ? ScriptAction::kPick : ScriptAction::kSelect, templateId,
            static_cast<int>(a), b};
    return true;
  }
  if (w[0] == "ok" && w.size() == 1) {
    *out = {ScriptAction::kCommand, templateId, 0, kIdOk};
    return true;
  }
  if (w[0] == "cancel" && w.size() == 1) {
    *out = {ScriptAction::kCommand, templateId, 0, kIdCancel};
    return true;
  }
  if (w[0] == "command" && w.size() == 2 && ParseNumber(w[1], &a) && a >= 0 && a <= UINT32_MAX) {
    *out = {ScriptAction::kCommand, templateId, 0, a};
    return true;
  }
  if (w[0] == "wait" && w.size() == 2 && ParseNumber(w[1], &a) && a >= 0 && a <= INT32_MAX) {
    *out = {ScriptAction::kWait, templateId, 0, a};
    return true;
  }
  return false;
}

int CopyOut(const std::string& value, char* text, int bytes) {
  if (text != nullptr && bytes > 0) {
    size_t n = std::min(value.size(), static_cast<size_t>(bytes) - 1);
    std::memcpy(text, value.data(), n);
    text[n] = '\0';
  }
  return static_cast<int>(value.size());
}

const DialogControl* Observed(int controlId) {
  const DialogSnapshot* d = ObservedDialog();
  if (d == nullptr || controlId == -1) return nullptr;
  for (const DialogControl& c : d->controls) {
    if (c.id == controlId) return &c;
  }
  return nullptr;
}

const char* DumpKind(ControlKind kind) {
  switch (kind) {
    case ControlKind::kEdit:
      return "edit";
    case ControlKind::kCombo:
      return "combo";
    case ControlKind::kDefaultButton:
    case ControlKind::kButton:
      return "button";
    default:
      return "static";
  }
}

std::string Shown(const DialogControl& c) {
  if (c.kind != ControlKind::kCombo) return c.text;
  if (c.selected < 0 || static_cast<size_t>(c.selected) >= c.entries.size()) return "";
  return c.entries[static_cast<size_t>(c.selected)];
}

}  // namespace

std::optional<ScriptAction> NextScriptAction(int templateId) {
  for (auto it = g_script.begin(); it != g_script.end(); ++it) {
    if (it->templateId == 0 || it->templateId == templateId) {
      ScriptAction action = *it;
      g_script.erase(it);
      return action;
    }
  }
  return std::nullopt;
}

const DialogSnapshot* ObservedDialog() {
  if (!g_live.empty()) return g_live.back();
  return g_last.templateId == 0 ? nullptr : &g_last;
}

void DialogOpened(DialogSnapshot* live) {
  g_live.push_back(live);
  ++g_opened;
}

void DialogMessageHandled(int templateId, uint32_t message, uintptr_t wparam) {
  if (g_hook != nullptr) g_hook(templateId, message, wparam, g_hookContext);
}

void DialogClosed(const DialogSnapshot& final) {
  if (!g_live.empty()) g_live.pop_back();
  g_last = final;
}

}  // namespace tarnix::platform::portable

using namespace tarnix::platform::portable;

extern "C" int TarnixPortable_ScriptDialog(int templateId, const char* actions) {
  if (actions == nullptr) return -1;
  std::vector<ScriptAction> parsed;
  for (const std::vector<std::string>& step : Tokenize(actions)) {
    ScriptAction action{};
    if (!ParseStep(step, templateId, &action)) return -1;
    parsed.push_back(action);
  }
  g_script.insert(g_script.end(), parsed.begin(), parsed.end());
  return static_cast<int>(parsed.size());
}

extern "C" int TarnixPortable_ClearDialogScript() {
  int pending = static_cast<int>(g_script.size());
  g_script.clear();
  return pending;
}

extern "C" void TarnixPortable_SetDialogHook(TarnixDialogHook hook, void* context) {
  g_hook = hook;
  g_hookContext = context;
}

extern "C" int TarnixPortable_LastDialogTemplate() {
  const DialogSnapshot* d = ObservedDialog();
  return d == nullptr ? 0 : d->templateId;
}

extern "C" intptr_t TarnixPortable_LastDialogResult() {
  const DialogSnapshot* d = ObservedDialog();
  return d == nullptr ? 0 : d->result;
}

extern "C" int TarnixPortable_LastDialogForced() {
  const DialogSnapshot* d = ObservedDialog();
  return d != nullptr && d->forced ? 1 : 0;
}

extern "C" int TarnixPortable_DialogsOpened() { return g_opened; }

extern "C" int TarnixPortable_DialogControlText(int controlId, char* text, int bytes) {
  const DialogControl* c = Observed(controlId);
  if (c == nullptr) {
    CopyOut("", text, bytes);
    return -1;
  }
  return CopyOut(Shown(*c), text, bytes);
}

extern "C" int TarnixPortable_DialogComboCount(int controlId) {
  const DialogControl* c = Observed(controlId);
  if (c == nullptr || c->kind != ControlKind::kCombo) return -1;
  return static_cast<int>(c->entries.size());
}

extern "C" int TarnixPortable_DialogComboEntry(int controlId, int index, char* text, int bytes) {
  const DialogControl* c = Observed(controlId);
  if (c == nullptr || c->kind != ControlKind::kCombo || index < 0 ||
      static_cast<size_t>(index) >= c->entries.size()) {
    CopyOut("", text, bytes);
    return -1;
  }
  return CopyOut(c->entries[static_cast<size_t>(index)], text, bytes);
}

extern "C" int TarnixPortable_DialogComboSelection(int controlId) {
  const DialogControl* c = Observed(controlId);
  if (c == nullptr || c->kind != ControlKind::kCombo) return -1;
  return c->selected;
}

extern "C" int TarnixPortable_DialogControlEnabled(int controlId) {
  const DialogControl* c = Observed(controlId);
  return c == nullptr ? -1 : (c->enabled ? 1 : 0);
}

extern "C" int TarnixPortable_DialogDump(char* text, int bytes) {
  std::string out;
  if (const DialogSnapshot* d = ObservedDialog()) {
    for (const DialogControl& c : d->controls) {
      if (c.id == -1) continue;
      out += std::to_string(c.id) + " " + DumpKind(c.kind);
      if (!c.enabled) out += " disabled";
      if (c.kind == ControlKind::kCombo) {
        out += " sel=" + std::to_string(c.selected);
        for (const std::string& e : c.entries) out += " \"" + e + "\"";
      } else {
        out += " \"" + c.text + "\"";
      }
      out += "\n";
    }
  }
  return CopyOut(out, text, bytes);
}
