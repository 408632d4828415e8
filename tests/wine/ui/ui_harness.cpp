#include "ui_harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <stdexcept>

#include "abi/device_record.h"
#include "wine/support/harness.h"

namespace uiwine {

Driver LoadDriver() {
  // The shared harness loads the module with its debug output taken over:
  // without that, a debug line raised while a second thread exists ends the
  // process where Wine runs under qemu-user.
  Driver d;
  try {
    d.module = winetest::Tarnix();
    d.InitDevice = winetest::Get<decltype(d.InitDevice)>("DRV_InitDevice");
    d.ShowDialog = winetest::Get<decltype(d.ShowDialog)>("DRV_ShowDialog");
    d.LoadWorksheet = winetest::Get<decltype(d.LoadWorksheet)>("DRV_LoadWorksheet");
    d.SaveWorksheet = winetest::Get<decltype(d.SaveWorksheet)>("DRV_SaveWorksheet");
  } catch (const std::exception&) {
    d.module = nullptr;
  }
  return d;
}

namespace {

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct Collecting {
  HWND owner;
  DialogView controls;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto* view = reinterpret_cast<Collecting*>(param);
  // Only the dialog's own controls: a combo box's edit field is a child of
  // the combo box with an id of its own (1001) that must not shadow ours.
  if (GetAncestor(child, GA_PARENT) != view->owner) return TRUE;
  int id = GetDlgCtrlID(child);
  if (id <= 0 || id == 0xFFFF) return TRUE;
  ControlView c;
  char cls[64] = {};
  GetClassNameA(child, cls, sizeof cls);
  c.className = cls;
  c.text = WindowText(child);
  c.enabled = IsWindowEnabled(child) != FALSE;
  if (_stricmp(cls, "ComboBox") == 0) {
    c.selected = static_cast<int>(SendMessageA(child, CB_GETCURSEL, 0, 0));
    int count = static_cast<int>(SendMessageA(child, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char entry[256] = {};
      LRESULT len = SendMessageA(child, CB_GETLBTEXTLEN, i, 0);
      if (len >= 0 && len < static_cast<LRESULT>(sizeof entry)) {
        SendMessageA(child, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
      }
      c.entries.emplace_back(entry);
    }
  }
  view->controls[id] = c;
  return TRUE;
}

struct FindRequest {
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  auto* request = reinterpret_cast<FindRequest*>(param);
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  std::string text = WindowText(window);
  bool match = request->caption == nullptr ? text.empty() : text == request->caption;
  if (!match) return TRUE;
  request->found = window;
  return FALSE;
}

}  // namespace

DialogView ReadDialog(HWND dialog) {
  Collecting view{dialog, {}};
  EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&view));
  return view.controls;
}

HWND FindThreadDialog(DWORD thread, const char* caption) {
  FindRequest request{caption, nullptr};
  EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

namespace {

// The one session of WithUser in progress; the stand-in user runs from a
// thread timer, which every modal loop (dialog or message box) dispatches.
struct Session {
  const char* caption;
  const std::function<void(HWND)>* user;
  DWORD caller;
  UserOutcome* outcome;
  HWND dialog = nullptr;
  DWORD firstSeen = 0;
  bool acted = false;
};
Session* g_session = nullptr;

VOID CALLBACK UserTick(HWND, UINT, UINT_PTR, DWORD) {
  Session* s = g_session;
  if (s == nullptr) return;
  if (!s->acted) {
    HWND dialog = FindThreadDialog(s->caller, s->caption);
    if (dialog == nullptr) return;
    if (s->firstSeen == 0) {
      s->firstSeen = GetTickCount();
      return;  // one more tick: let it paint before the user looks
    }
    s->acted = true;
    s->dialog = dialog;
    s->outcome->shown = true;
    (*s->user)(dialog);
    return;
  }
  // A timer message comes only when the thread has nothing else queued: by
  // this tick, whatever the user's actions sent or posted has been handled,
  // however slowly the machine runs. A dialog still showing stays.
  if (IsWindow(s->dialog) && IsWindowVisible(s->dialog) && !s->outcome->stuck) {
    s->outcome->stuck = true;
    PostMessageA(s->dialog, WM_COMMAND, IDCANCEL, 0);
  }
}

}  // namespace

UserOutcome WithUser(const std::function<int32_t()>& call, const char* caption,
                     const std::function<void(HWND)>& user) {
  // No second thread: where Wine runs under qemu-user a second thread that
  // works windows while the first sits in a modal loop brings the process
  // down. The user acts from a timer of this thread instead.
  UserOutcome outcome;
  Session session{caption, &user, GetCurrentThreadId(), &outcome};
  g_session = &session;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, UserTick);
  outcome.result = call();
  KillTimer(nullptr, timer);
  g_session = nullptr;
  return outcome;
}

void SelectEntry(HWND dialog, int comboId, int index) {
  SendDlgItemMessageA(dialog, comboId, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void PickEntry(HWND dialog, int comboId, int index) {
  SelectEntry(dialog, comboId, index);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELENDOK),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, comboId)));
}

void Press(HWND dialog, int buttonId) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

void Click(HWND dialog, int buttonId) {
  SendMessageA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

bool RequestScreenshot(const char* name) {
  const char* dir = std::getenv("TARNIX_SCREENSHOTS");
  if (dir == nullptr || *dir == '\0') return false;
  std::string request = std::string(dir) + "\\" + name + ".request";
  FILE* out = std::fopen(request.c_str(), "w");
  if (out == nullptr) return false;
  std::fclose(out);
  for (int i = 0; i < 1000; ++i) {
    if (GetFileAttributesA(request.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    Sleep(20);
  }
  DeleteFileA(request.c_str());
  return false;
}

std::vector<uint8_t> NewRecord() {
  std::vector<uint8_t> record(sizeof(tarnix::DeviceRecord), 0);
  int16_t version = 17;
  std::memcpy(record.data() + TARNIX_RECORD(structVersion), &version, sizeof version);
  return record;
}

int32_t RecordInt(const std::vector<uint8_t>& record, size_t offset) {
  int32_t value;
  std::memcpy(&value, record.data() + offset, sizeof value);
  return value;
}

std::string RecordText(const std::vector<uint8_t>& record, size_t offset, size_t width) {
  return std::string(reinterpret_cast<const char*>(record.data() + offset), width);
}

}  // namespace uiwine
