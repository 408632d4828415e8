// Message boxes and dialogs of this process, seen from a watcher thread.
//
// A message box is a "#32770" dialog whose text sits in the static control
// 0xFFFF and which has at least one button. The module's own dialogs are
// told apart by caption (setup dialog, about box) or by having no button at
// all (the splash), and are never touched here.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "ui/resources.h"
#include "wine/support/harness.h"

namespace winetest {
namespace {

constexpr int kMessageTextId = 0xFFFF;
constexpr DWORD kPollMs = 15;

// Never destroyed: the watcher thread runs until the process ends, also
// while static destructors run.
struct WatchState {
  std::mutex lock;
  std::vector<MessageBoxSeen> boxes;
  std::set<HWND> answered;  // boxes already recorded and told to close
  std::vector<std::string> ignoredCaptions = {STR_SETUP_CAPTION, STR_ABOUT_CAPTION};
  std::once_flag watcherStarted;
  std::atomic<long> rounds{0};  // full passes over the windows
};
WatchState& State() {
  static WatchState* state = new WatchState;
  return *state;
}

std::string WindowText(HWND window) {
  char text[1024] = {};
  int length = GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool IsDialogOfThisProcess(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid == GetCurrentProcessId() && IsWindowVisible(window) && ClassOf(window) == "#32770";
}

struct BoxLayout {
  bool hasText = false;
  int buttons = 0;
  bool hasIcon = false;
  bool errorIcon = false;
};

BoxLayout InspectChildren(HWND window) {
  BoxLayout layout;
  HICON errorIcon = LoadIcon(nullptr, IDI_ERROR);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    std::string kind = ClassOf(child);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (_stricmp(kind.c_str(), "Button") == 0) {
      ++layout.buttons;
    } else if (_stricmp(kind.c_str(), "Static") == 0) {
      if (GetDlgCtrlID(child) == kMessageTextId && (style & SS_TYPEMASK) != SS_ICON) {
        layout.hasText = true;
      }
      if ((style & SS_TYPEMASK) == SS_ICON) {
        DWORD_PTR icon = 0;
        SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon);
        if (icon != 0) {
          layout.hasIcon = true;
          if (reinterpret_cast<HICON>(icon) == errorIcon) layout.errorIcon = true;
        }
      }
    }
  }
  return layout;
}

bool IsIgnoredCaption(const std::string& caption) {
  std::lock_guard<std::mutex> lock(State().lock);
  return std::find(State().ignoredCaptions.begin(), State().ignoredCaptions.end(), caption) !=
         State().ignoredCaptions.end();
}

void AnswerIfMessageBox(HWND window) {
  if (!IsDialogOfThisProcess(window)) return;
  {
    std::lock_guard<std::mutex> lock(State().lock);
    if (State().answered.count(window) != 0) return;
  }
  std::string caption = WindowText(window);
  if (IsIgnoredCaption(caption)) return;
  BoxLayout layout = InspectChildren(window);
  if (!layout.hasText || layout.buttons == 0) return;

  MessageBoxSeen seen;
  seen.caption = caption;
  seen.text = DialogItemText(window, kMessageTextId);
  seen.hasIcon = layout.hasIcon;
  seen.errorIcon = layout.errorIcon;
  {
    std::lock_guard<std::mutex> lock(State().lock);
    State().boxes.push_back(std::move(seen));
    State().answered.insert(window);
  }
  if (GetDlgItem(window, IDOK) != nullptr) {
    PressButton(window, IDOK);
  } else {
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM) {
  AnswerIfMessageBox(window);
  return TRUE;
}

void ForgetClosedBoxes() {
  std::lock_guard<std::mutex> lock(State().lock);
  for (auto it = State().answered.begin(); it != State().answered.end();) {
    it = IsWindow(*it) ? std::next(it) : State().answered.erase(it);
  }
}

DWORD WINAPI WatchForever(LPVOID) {
  for (;;) {
    EnumWindows(VisitTopLevel, 0);
    ForgetClosedBoxes();
    ++State().rounds;
    Sleep(kPollMs);
  }
}

struct FindRequest {
  const char* caption;
  HWND found;
};

BOOL CALLBACK VisitForCaption(HWND window, LPARAM param) {
  auto* request = reinterpret_cast<FindRequest*>(param);
  if (IsDialogOfThisProcess(window) && WindowText(window) == request->caption) {
    request->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void StartMessageBoxWatcher() {
  {
    std::lock_guard<std::mutex> lock(State().lock);
    State().boxes.clear();
  }
  std::call_once(State().watcherStarted, [] {
    HANDLE thread = CreateThread(nullptr, 0, WatchForever, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
  });
}

std::vector<MessageBoxSeen> TakeMessageBoxes() {
  std::lock_guard<std::mutex> lock(State().lock);
  std::vector<MessageBoxSeen> taken;
  taken.swap(State().boxes);
  return taken;
}

bool WaitForMessageBoxes(std::size_t count, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(State().lock);
      if (State().boxes.size() >= count) return true;
    }
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

bool WaitForWatcherRounds(int rounds, DWORD timeoutMs) {
  // A round already under way may have looked before the caller's change:
  // it does not count.
  const long until = State().rounds.load() + rounds + 1;
  DWORD start = GetTickCount();
  while (State().rounds.load() < until) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

void IgnoreDialogCaption(const std::string& caption) {
  std::lock_guard<std::mutex> lock(State().lock);
  State().ignoredCaptions.push_back(caption);
}

HWND FindDialog(const char* caption, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    FindRequest request{caption, nullptr};
    EnumWindows(VisitForCaption, reinterpret_cast<LPARAM>(&request));
    if (request.found != nullptr) return request.found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

std::string DialogItemText(HWND dialog, int controlId) {
  char text[2048] = {};
  UINT length = GetDlgItemTextA(dialog, controlId, text, sizeof text);
  return std::string(text, length);
}

void PressButton(HWND dialog, int controlId) {
  HWND button = GetDlgItem(dialog, controlId);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

}  // namespace winetest
