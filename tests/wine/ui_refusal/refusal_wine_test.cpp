// DRV_ShowDialog before the module is initialised, in a process of its own
// (a successful DRV_InitDevice cannot be undone): refused with result 0, code
// 5 in the record when there is one, and no window.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "core/device_record.h"
#include "wine/support/harness.h"

namespace {

using ShowDialogFn = int32_t(__stdcall*)(int32_t, int32_t);
using InitDeviceFn = int32_t(__stdcall*)(void*);

// Calls DRV_ShowDialog while the helper thread looks out for either dialog;
// one that shows up is counted and cancelled so that the call returns.
int32_t ShowWatched(ShowDialogFn show, int32_t selector, int* dialogsSeen) {
  std::atomic<bool> done{false};
  std::atomic<int> seen{0};
  auto watcher = winetest::OnHelperThread([&] {
    while (!done) {
      for (const char* caption : {"VELQ HW setup", "About VELQ"}) {
        if (HWND d = winetest::FindDialog(caption, 0)) {
          ++seen;
          winetest::PressButton(d, IDCANCEL);
          winetest::WaitForWindowGone(d, 5000);
        }
      }
      Sleep(20);
    }
  });
  int32_t result = show(selector, 0);
  Sleep(300);  // a dialog would be on screen by now
  done = true;
  watcher.wait();
  *dialogsSeen += seen;
  return result;
}

TEST(ShowDialogBeforeInitialisation, RefusedWithoutRecordThenWithCodeFive) {
  auto show = winetest::Get<ShowDialogFn>("DRV_ShowDialog");
  auto init = winetest::Get<InitDeviceFn>("DRV_InitDevice");
  winetest::StartMessageBoxWatcher();
  int dialogs = 0;

  // No record handed over yet: nothing to write the code into, no crash.
  EXPECT_EQ(ShowWatched(show, 1, &dialogs), 0);
  EXPECT_EQ(ShowWatched(show, 99, &dialogs), 0);

  // A failed initialisation (wrong record version) keeps the record.
  winetest::HostRecord record;
  record.Write<int16_t>(TARNIX_RECORD(structVersion), 16);
  EXPECT_EQ(init(record.data()), 0);
  EXPECT_EQ(winetest::TakeMessageBoxes().size(), 1u) << "the refusal showed no message";
  EXPECT_EQ(record.Read<int32_t>(TARNIX_RECORD(errorCode)), 0);

  for (int32_t selector : {1, 99, 0}) {
    record.Write<int32_t>(TARNIX_RECORD(errorCode), 0);
    EXPECT_EQ(ShowWatched(show, selector, &dialogs), 0) << "selector " << selector;
    EXPECT_EQ(record.Read<int32_t>(TARNIX_RECORD(errorCode)), 5) << "selector " << selector;
  }
  EXPECT_EQ(dialogs, 0) << "a dialog was shown before initialisation";
  EXPECT_TRUE(winetest::TakeMessageBoxes().empty());
}

}  // namespace
