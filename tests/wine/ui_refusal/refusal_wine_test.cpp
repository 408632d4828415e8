// DRV_ShowDialog before the module is initialised, in a process of its own
// (a successful DRV_InitDevice cannot be undone): refused with result 0, code
// 5 in the record when there is one, and no window.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/device_record.h"

namespace {

using ShowDialogFn = int32_t(__stdcall*)(int32_t, int32_t);
using InitDeviceFn = int32_t(__stdcall*)(void*);

HMODULE LoadModule() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  dir = dir.substr(0, dir.find_last_of("\\/") + 1);
  return LoadLibraryA((dir + "tarnix.dll").c_str());
}

// Counts dialog windows of `thread` until told to stop, and answers every
// message box (the failed initialisation shows one) with OK.
struct DialogWatch;
BOOL CALLBACK LookAtWindow(HWND w, LPARAM self);

struct DialogWatch {
  DWORD thread = GetCurrentThreadId();
  std::atomic<bool> stop{false};
  std::atomic<int> dialogs{0};
  std::atomic<int> boxes{0};
  std::thread watcher{[this] {
    while (!stop) {
      EnumThreadWindows(thread, LookAtWindow, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }};
  ~DialogWatch() {
    stop = true;
    watcher.join();
  }
};

BOOL CALLBACK LookAtWindow(HWND w, LPARAM self) {
  auto* watch = reinterpret_cast<DialogWatch*>(self);
  char cls[64] = {};
  char text[128] = {};
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, text, sizeof text);
  if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  if (std::strcmp(text, "VELQ HW setup") == 0 || std::strcmp(text, "About VELQ") == 0) {
    ++watch->dialogs;
    PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
  } else if (GetDlgItem(w, IDOK) != nullptr) {
    // A message box: it has an OK button, the splash has none.
    ++watch->boxes;
    PostMessageA(w, WM_COMMAND, IDOK, 0);
  }
  return TRUE;
}

int32_t ErrorCode(const std::vector<uint8_t>& record) {
  int32_t code;
  std::memcpy(&code, record.data() + TARNIX_RECORD(errorCode), sizeof code);
  return code;
}

TEST(ShowDialogBeforeInitialisation, RefusedWithoutRecordThenWithCodeFive) {
  HMODULE module = LoadModule();
  ASSERT_NE(module, nullptr);
  auto show = reinterpret_cast<ShowDialogFn>(GetProcAddress(module, "DRV_ShowDialog"));
  auto init = reinterpret_cast<InitDeviceFn>(GetProcAddress(module, "DRV_InitDevice"));
  ASSERT_NE(show, nullptr);
  ASSERT_NE(init, nullptr);
  DialogWatch watch;

  // No record handed over yet: nothing to write the code into, no crash.
  EXPECT_EQ(show(1, 0), 0);
  EXPECT_EQ(show(99, 0), 0);

  // A failed initialisation (wrong record version) keeps the record.
  std::vector<uint8_t> record(sizeof(tarnix::DeviceRecord), 0);
  int16_t wrongVersion = 16;
  std::memcpy(record.data(), &wrongVersion, sizeof wrongVersion);
  EXPECT_EQ(init(record.data()), 0);
  EXPECT_EQ(watch.boxes.load(), 1) << "the failed initialisation showed no message";
  EXPECT_EQ(ErrorCode(record), 0);

  for (int32_t selector : {1, 99, 0}) {
    std::memset(record.data() + TARNIX_RECORD(errorCode), 0, 4);
    EXPECT_EQ(show(selector, 0), 0) << "selector " << selector;
    EXPECT_EQ(ErrorCode(record), 5) << "selector " << selector;
  }
  Sleep(200);
  EXPECT_EQ(watch.dialogs.load(), 0) << "a dialog was shown before initialisation";
}

}  // namespace
