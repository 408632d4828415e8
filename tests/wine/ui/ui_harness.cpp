#include "ui_harness.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/device_record.h"

namespace uiwine {

Driver LoadDriver() {
  Driver d;
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  dir = dir.substr(0, dir.find_last_of("\\/") + 1);
  d.module = LoadLibraryA((dir + "tarnix.dll").c_str());
  if (d.module == nullptr) return d;
  auto get = [&](const char* name) { return GetProcAddress(d.module, name); };
  d.InitDevice = reinterpret_cast<decltype(d.InitDevice)>(get("DRV_InitDevice"));
  d.ShowDialog = reinterpret_cast<decltype(d.ShowDialog)>(get("DRV_ShowDialog"));
  d.LoadWorksheet = reinterpret_cast<decltype(d.LoadWorksheet)>(get("DRV_LoadWorksheet"));
  d.SaveWorksheet = reinterpret_cast<decltype(d.SaveWorksheet)>(get("DRV_SaveWorksheet"));
  return d;
}

namespace {

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto* view = reinterpret_cast<DialogView*>(param);
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
  (*view)[id] = c;
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
  DialogView view;
  EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&view));
  return view;
}

HWND FindThreadDialog(DWORD thread, const char* caption) {
  FindRequest request{caption, nullptr};
  EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

UserOutcome WithUser(const std::function<int32_t()>& call, const char* caption,
                     const std::function<void(HWND)>& user, DWORD waitMs) {
  UserOutcome outcome;
  std::atomic<bool> callDone{false};
  DWORD caller = GetCurrentThreadId();
  std::thread watcher([&] {
    HWND dialog = nullptr;
    for (DWORD waited = 0; waited < waitMs && !callDone; waited += 20) {
      dialog = FindThreadDialog(caller, caption);
      if (dialog != nullptr) break;
      Sleep(20);
    }
    if (dialog == nullptr) return;
    outcome.shown = true;
    Sleep(100);  // let it paint before the user looks
    user(dialog);
    for (int i = 0; i < 250 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) Sleep(20);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
      outcome.stuck = true;
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
  });
  outcome.result = call();
  callDone = true;
  watcher.join();
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

std::string ScreenshotDir() {
  const char* dir = std::getenv("TARNIX_SCREENSHOTS");
  return dir == nullptr ? std::string() : std::string(dir);
}

bool SaveWindowImage(HWND window, const std::string& path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  int w = r.right - r.left;
  int h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = h;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  int stride = ((w * 3 + 3) / 4) * 4;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * h);
  GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  std::fclose(out);
  return true;
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
