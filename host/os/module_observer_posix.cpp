// Native side of module_observer.h: the portable backend's control hooks,
// resolved from the loaded module by name. A module without them (built
// for another backend) still runs; its boxes and traces then go wherever
// that backend sends them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "abi/portable_control.h"
#include "module_observer.h"

namespace host {
namespace {

using SetTraceHookFn = void (*)(TarnixTraceHook, void*);
using SetEnabledFn = void (*)(int);
using SetBoxHookFn = void (*)(TarnixMessageBoxHook, void*);
using ScriptDialogFn = int (*)(int, const char*);
using ClearScriptFn = int (*)();
using ControlTextFn = int (*)(int, char*, int);
using ComboCountFn = int (*)(int);
using ComboEntryFn = int (*)(int, int, char*, int);
using ComboSelectionFn = int (*)(int);
using LastTemplateFn = int (*)();

struct Hooks {
  SetTraceHookFn setTraceHook = nullptr;
  SetEnabledFn setTraceToStderr = nullptr;
  SetBoxHookFn setBoxHook = nullptr;
  SetEnabledFn setBoxToStderr = nullptr;
  SetEnabledFn setVirtualClock = nullptr;
  ScriptDialogFn scriptDialog = nullptr;
  ClearScriptFn clearScript = nullptr;
  ControlTextFn controlText = nullptr;
  ComboCountFn comboCount = nullptr;
  ComboEntryFn comboEntry = nullptr;
  ComboSelectionFn comboSelection = nullptr;
  LastTemplateFn lastTemplate = nullptr;
};

Hooks g_hooks;
TraceSink g_trace;
std::mutex g_boxMutex;
std::vector<BoxSeen> g_boxes;
SetupView* g_setupView = nullptr;
bool* g_aboutSeen = nullptr;
// While the module loads, standard error goes to a scratch file: the
// portable backend prints its load-time trace there before any hook can be
// set. Those lines are replayed as trace (or dropped) afterwards.
std::FILE* g_loadCapture = nullptr;
int g_savedStderr = -1;

constexpr int kSetupTemplate = IDD_SETUP;
constexpr int kAboutTemplate = IDD_ABOUT;

template <typename Fn>
void Resolve(const LoadedLibrary& module, const char* name, Fn* out) {
  void* address = module.Symbol(name);
  std::memcpy(out, &address, sizeof address);
}

void OnTrace(const char* text, void*) {
  if (g_trace && text != nullptr) g_trace(text);
}

void OnBox(const char* text, const char* caption, uint32_t, void*) {
  std::lock_guard<std::mutex> lock(g_boxMutex);
  g_boxes.push_back({caption != nullptr ? caption : "", text != nullptr ? text : ""});
}

std::string ControlText(int id) {
  char text[256] = {};
  if (g_hooks.controlText == nullptr || g_hooks.controlText(id, text, sizeof text) < 0) return "";
  return text;
}

// Reads the snapshot the portable engine kept of the setup dialog.
void ReadSetupSnapshot(SetupView* view) {
  if (g_hooks.lastTemplate == nullptr || g_hooks.lastTemplate() != kSetupTemplate) {
    view->note = "the module opened no setup dialog";
    return;
  }
  view->seen = true;
  for (int id : kSetupEditControls) {
    view->edits[id] = ControlText(id);
  }
  for (int id : kSetupListControls) {
    std::vector<std::string> entries;
    int count = g_hooks.comboCount != nullptr ? g_hooks.comboCount(id) : -1;
    for (int i = 0; i < count; ++i) {
      char text[256] = {};
      g_hooks.comboEntry(id, i, text, sizeof text);
      entries.emplace_back(text);
    }
    view->lists[id] = entries;
    view->selected[id] = g_hooks.comboSelection != nullptr ? g_hooks.comboSelection(id) : -1;
  }
}

void EndLoadCapture() {
  if (g_loadCapture == nullptr) return;
  std::fflush(stderr);
  dup2(g_savedStderr, STDERR_FILENO);
  close(g_savedStderr);
  g_savedStderr = -1;
  std::rewind(g_loadCapture);
  char line[512];
  while (std::fgets(line, sizeof line, g_loadCapture) != nullptr) {
    if (g_trace) g_trace(line);
  }
  std::fclose(g_loadCapture);
  g_loadCapture = nullptr;
}

}  // namespace

void BeginObserving(const ObserverOptions& options) {
  g_trace = options.trace;
  std::fflush(stderr);
  g_loadCapture = std::tmpfile();
  if (g_loadCapture == nullptr) return;
  g_savedStderr = dup(STDERR_FILENO);
  if (g_savedStderr < 0 || dup2(fileno(g_loadCapture), STDERR_FILENO) < 0) {
    if (g_savedStderr >= 0) close(g_savedStderr);
    g_savedStderr = -1;
    std::fclose(g_loadCapture);
    g_loadCapture = nullptr;
  }
}

void AttachModule(const LoadedLibrary& module) {
  EndLoadCapture();
  Resolve(module, "TarnixPortable_SetTraceHook", &g_hooks.setTraceHook);
  Resolve(module, "TarnixPortable_SetTraceToStderr", &g_hooks.setTraceToStderr);
  Resolve(module, "TarnixPortable_SetMessageBoxHook", &g_hooks.setBoxHook);
  Resolve(module, "TarnixPortable_SetMessageBoxToStderr", &g_hooks.setBoxToStderr);
  Resolve(module, "TarnixPortable_SetVirtualClock", &g_hooks.setVirtualClock);
  Resolve(module, "TarnixPortable_ScriptDialog", &g_hooks.scriptDialog);
  Resolve(module, "TarnixPortable_ClearDialogScript", &g_hooks.clearScript);
  Resolve(module, "TarnixPortable_DialogControlText", &g_hooks.controlText);
  Resolve(module, "TarnixPortable_DialogComboCount", &g_hooks.comboCount);
  Resolve(module, "TarnixPortable_DialogComboEntry", &g_hooks.comboEntry);
  Resolve(module, "TarnixPortable_DialogComboSelection", &g_hooks.comboSelection);
  Resolve(module, "TarnixPortable_LastDialogTemplate", &g_hooks.lastTemplate);
  if (g_hooks.setTraceHook != nullptr) g_hooks.setTraceHook(&OnTrace, nullptr);
  if (g_hooks.setTraceToStderr != nullptr) g_hooks.setTraceToStderr(0);
  if (g_hooks.setBoxHook != nullptr) g_hooks.setBoxHook(&OnBox, nullptr);
  if (g_hooks.setBoxToStderr != nullptr) g_hooks.setBoxToStderr(0);
  // Nobody sees a portable dialog: the splash need not hold the command up
  // for its two seconds.
  if (g_hooks.setVirtualClock != nullptr) g_hooks.setVirtualClock(1);
}

void StopObserving() {
  EndLoadCapture();
  if (g_hooks.setTraceHook != nullptr) g_hooks.setTraceHook(nullptr, nullptr);
  if (g_hooks.setBoxHook != nullptr) g_hooks.setBoxHook(nullptr, nullptr);
  FinishDialogScripts();
  g_hooks = Hooks{};
  g_trace = nullptr;
}

std::vector<BoxSeen> TakeBoxes() {
  std::lock_guard<std::mutex> lock(g_boxMutex);
  std::vector<BoxSeen> boxes;
  boxes.swap(g_boxes);
  return boxes;
}

void ScriptSetupDialog(const SetupChoice& choice, SetupView* view) {
  *view = SetupView{};
  if (g_hooks.scriptDialog == nullptr) {
    view->note = "this module has no scriptable dialogs";
    return;
  }
  std::string actions;
  auto add = [&](const char* verb, int control, const std::optional<int>& position) {
    if (!position) return;
    actions +=
        std::string(verb) + " " + std::to_string(control) + " " + std::to_string(*position) + "; ";
  };
  // The board is picked as a click does it (the dialog reacts at once); the
  // settings are only selected, as the dialog reads them on OK.
  add("pick", IDC_BOARD_LIST, choice.board);
  add("select", IDC_CLOCK_LIST, choice.clock);
  add("select", IDC_RANGE_LIST, choice.range);
  add("select", IDC_GAIN_LIST, choice.gain);
  actions += choice.cancel ? "cancel" : "ok";
  if (g_hooks.scriptDialog(kSetupTemplate, actions.c_str()) < 0) {
    view->note = "the dialog script was refused: " + actions;
    return;
  }
  g_setupView = view;
}

void ScriptAboutBox(bool* seen) {
  *seen = false;
  if (g_hooks.scriptDialog != nullptr && g_hooks.scriptDialog(kAboutTemplate, "ok") >= 0) {
    g_aboutSeen = seen;
  }
}

void FinishDialogScripts() {
  // The portable engine keeps the snapshot of the dialog that closed last;
  // the armed views are filled from it here, after DRV_ShowDialog returned.
  if (g_setupView != nullptr) ReadSetupSnapshot(g_setupView);
  if (g_aboutSeen != nullptr && g_hooks.lastTemplate != nullptr) {
    *g_aboutSeen = g_hooks.lastTemplate() == kAboutTemplate;
  }
  g_setupView = nullptr;
  g_aboutSeen = nullptr;
  if (g_hooks.clearScript != nullptr) g_hooks.clearScript();
}

}  // namespace host
