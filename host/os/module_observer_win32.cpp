// DLL side of module_observer.h. Trace lines: the module writes them with
// OutputDebugString, which raises DBG_PRINTEXCEPTION_C before anything else;
// a vectored handler sees it first and takes the text, as a debugger would.
// Message boxes and dialogs: a thread timer looks for the module's windows,
// reads them and presses their buttons, standing in for the user at the
// bench. The module shows them modally on this thread, and every modal loop
// dispatches the timer, so no second thread is needed (none is wanted: an
// extra thread next to the module's debug-print exceptions is not reliable
// on every Wine host).
#include <windows.h>

#include <cstring>
#include <set>
#include <string>

#include "module_observer.h"

namespace host {
namespace {

constexpr DWORD kDebugPrintException = 0x40010006;  // DBG_PRINTEXCEPTION_C
constexpr int kMessageBoxTextId = 0xFFFF;           // the box's static text
constexpr char kSetupCaption[] = "VELQ HW setup";
constexpr char kAboutCaption[] = "About VELQ";

TraceSink g_trace;
PVOID g_handler = nullptr;
std::string g_boxCaption;  // string 1 of the module: every box's caption
UINT_PTR g_timer = 0;
bool g_visiting = false;  // a visit that sends messages may see the timer again

std::vector<BoxSeen> g_boxes;
std::optional<SetupChoice> g_setupChoice;
SetupView* g_setupView = nullptr;
bool* g_aboutSeen = nullptr;
std::set<HWND> g_handled;

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode != kDebugPrintException || record->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
  size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
  if (g_trace && text != nullptr) g_trace(std::string(text, strnlen(text, length)));
  return EXCEPTION_CONTINUE_EXECUTION;
}

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ItemText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void ReadSetup(HWND dialog, SetupView* view) {
  view->seen = true;
  for (int id : kSetupEditControls) {
    view->edits[id] = ItemText(dialog, id);
  }
  for (int id : kSetupListControls) {
    std::vector<std::string> entries;
    LRESULT count = SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      char text[512] = {};
      LRESULT length = SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, i, 0);
      if (length >= 0 && length < static_cast<LRESULT>(sizeof text)) {
        SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      }
      entries.emplace_back(text);
    }
    view->lists[id] = entries;
    view->selected[id] = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
  }
}

// Plays the user's part in the setup dialog: a board picked from the list,
// then the settings selected, then OK or Cancel.
void DriveSetup(HWND dialog, const SetupChoice& choice, SetupView* view) {
  if (choice.board) {
    SendDlgItemMessageA(dialog, IDC_BOARD_LIST, CB_SETCURSEL, *choice.board, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BOARD_LIST, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_BOARD_LIST)));
  }
  if (choice.clock) SendDlgItemMessageA(dialog, IDC_CLOCK_LIST, CB_SETCURSEL, *choice.clock, 0);
  if (choice.range) SendDlgItemMessageA(dialog, IDC_RANGE_LIST, CB_SETCURSEL, *choice.range, 0);
  if (choice.gain) SendDlgItemMessageA(dialog, IDC_GAIN_LIST, CB_SETCURSEL, *choice.gain, 0);
  ReadSetup(dialog, view);
  PostMessageA(dialog, WM_COMMAND, choice.cancel ? IDCANCEL : IDOK, 0);
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  char windowClass[64] = {};
  GetClassNameA(window, windowClass, sizeof windowClass);
  if (std::strcmp(windowClass, "#32770") != 0) return TRUE;
  std::string caption = WindowText(window);

  if (g_handled.count(window) != 0) return TRUE;
  if (caption == g_boxCaption && GetDlgItem(window, kMessageBoxTextId) != nullptr) {
    g_boxes.push_back({caption, ItemText(window, kMessageBoxTextId)});
    g_handled.insert(window);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  } else if (caption == kSetupCaption && g_setupChoice) {
    SetupChoice choice = *g_setupChoice;
    SetupView* view = g_setupView;
    g_setupChoice.reset();
    g_handled.insert(window);
    DriveSetup(window, choice, view);
  } else if (caption == kAboutCaption && g_aboutSeen != nullptr) {
    *g_aboutSeen = true;
    g_aboutSeen = nullptr;
    g_handled.insert(window);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  }
  return TRUE;
}

void CALLBACK OnWatchTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_visiting) return;
  g_visiting = true;
  EnumThreadWindows(GetCurrentThreadId(), &VisitWindow, 0);
  for (auto it = g_handled.begin(); it != g_handled.end();) {
    it = IsWindow(*it) ? std::next(it) : g_handled.erase(it);
  }
  g_visiting = false;
}

}  // namespace

void BeginObserving(const ObserverOptions& options) {
  g_trace = options.trace;
  if (g_trace) g_handler = AddVectoredExceptionHandler(1, &OnException);
}

void AttachModule(const LoadedLibrary& module) {
  char caption[128] = {};
  LoadStringA(static_cast<HMODULE>(module.Handle()), 1, caption, sizeof caption);
  g_boxCaption = caption;
  g_timer = SetTimer(nullptr, 0, 20, &OnWatchTimer);
}

void StopObserving() {
  if (g_timer != 0) KillTimer(nullptr, g_timer);
  g_timer = 0;
  if (g_handler != nullptr) RemoveVectoredExceptionHandler(g_handler);
  g_handler = nullptr;
  g_trace = nullptr;
}

std::vector<BoxSeen> TakeBoxes() {
  std::vector<BoxSeen> boxes;
  boxes.swap(g_boxes);
  return boxes;
}

void ScriptSetupDialog(const SetupChoice& choice, SetupView* view) {
  *view = SetupView{};
  g_setupChoice = choice;
  g_setupView = view;
}

void ScriptAboutBox(bool* seen) {
  *seen = false;
  g_aboutSeen = seen;
}

void FinishDialogScripts() {
  if (g_setupView != nullptr && !g_setupView->seen && g_setupView->note.empty()) {
    g_setupView->note = "the module opened no setup dialog";
  }
  g_setupChoice.reset();
  g_setupView = nullptr;
  g_aboutSeen = nullptr;
}

}  // namespace host
