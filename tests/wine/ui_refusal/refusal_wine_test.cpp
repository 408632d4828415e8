// DRV_ShowDialog before the module is initialised, in a process of its own
// (a successful DRV_InitDevice cannot be undone): refused with result 0, code
// 5 in the record when there is one, and no window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "abi/device_record.h"
#include "wine/support/harness.h"

namespace {

using ShowDialogFn = int32_t(__stdcall*)(int32_t, int32_t);
using InitDeviceFn = int32_t(__stdcall*)(void*);

// What a timer of this thread saw while a call sat in a modal loop: every
// dialog window is counted and answered (Cancel for the setup dialog and the
// about box, OK for a message box). No second thread: under qemu-user one
// that works windows beside a modal loop brings Wine down.
int g_setupOrAbout = 0;
int g_messageBoxes = 0;

BOOL CALLBACK Answer(HWND w, LPARAM) {
  char cls[64] = {};
  char text[128] = {};
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, text, sizeof text);
  if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  if (std::strcmp(text, "VELQ HW setup") == 0 || std::strcmp(text, "About VELQ") == 0) {
    ++g_setupOrAbout;
    PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
  } else if (GetDlgItem(w, IDOK) != nullptr) {  // the splash has no button
    ++g_messageBoxes;
    PostMessageA(w, WM_COMMAND, IDOK, 0);
  }
  ShowWindow(w, SW_HIDE);  // counted once
  return TRUE;
}

VOID CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), Answer, 0);
}

TEST(ShowDialogBeforeInitialisation, RefusedWithoutRecordThenWithCodeFive) {
  auto show = winetest::Get<ShowDialogFn>("DRV_ShowDialog");
  auto init = winetest::Get<InitDeviceFn>("DRV_InitDevice");
  UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);

  // No record handed over yet: nothing to write the code into, no crash.
  EXPECT_EQ(show(1, 0), 0);
  EXPECT_EQ(show(99, 0), 0);

  // A failed initialisation (wrong record version) keeps the record.
  winetest::HostRecord record;
  record.Write<int16_t>(TARNIX_RECORD(structVersion), 16);
  EXPECT_EQ(init(record.data()), 0);
  EXPECT_EQ(g_messageBoxes, 1) << "the refusal showed no message";
  EXPECT_EQ(record.Read<int32_t>(TARNIX_RECORD(errorCode)), 0);

  for (int32_t selector : {1, 99, 0}) {
    record.Write<int32_t>(TARNIX_RECORD(errorCode), 0);
    EXPECT_EQ(show(selector, 0), 0) << "selector " << selector;
    EXPECT_EQ(record.Read<int32_t>(TARNIX_RECORD(errorCode)), 5) << "selector " << selector;
  }
  // A dialog would have blocked its call in a modal loop where the timer
  // counted it; none was shown.
  EXPECT_EQ(g_setupOrAbout, 0) << "a dialog was shown before initialisation";
  EXPECT_EQ(g_messageBoxes, 1);
  KillTimer(nullptr, timer);
}

}  // namespace
