// The shared Wine harness checked against the real thing: debug output,
// message boxes, dialogs, the host record, child processes.
#include "wine/support/harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

namespace {

TEST(Harness, CapturesEachDebugLineExactlyFromEveryThread) {
  // The helper thread's start brings the module's thread-attach line when
  // an earlier test loaded it; started before the capture, so only this
  // test's own lines are recorded, whatever ran first.
  winetest::OnHelperThread([] {}).get();
  winetest::StartTraceCapture();
  OutputDebugStringA("first line");
  winetest::OnHelperThread([] { OutputDebugStringA("from another thread\n"); }).get();
  OutputDebugStringA("");
  winetest::StopTraceCapture();
  OutputDebugStringA("after the stop");

  std::vector<std::string> expected = {"first line", "from another thread\n", ""};
  EXPECT_EQ(winetest::TakeTraces(), expected);
  EXPECT_TRUE(winetest::TakeTraces().empty()) << "a take empties the record";
}

TEST(Harness, RecordsAndAnswersMessageBoxes) {
  winetest::StartMessageBoxWatcher();
  EXPECT_EQ(MessageBoxA(nullptr, "Something failed", "Box caption", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "Just so you know", "Other", MB_OK | MB_ICONINFORMATION), IDOK);
  auto boxes = winetest::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, "Box caption");
  EXPECT_EQ(boxes[0].text, "Something failed");
  EXPECT_TRUE(boxes[0].errorIcon);
  EXPECT_EQ(boxes[1].caption, "Other");
  EXPECT_EQ(boxes[1].text, "Just so you know");
  EXPECT_TRUE(boxes[1].hasIcon);
  EXPECT_FALSE(boxes[1].errorIcon) << "the information icon is not the error icon";
}

TEST(Harness, LeavesIgnoredDialogsToTheTest) {
  // A message box opened on the helper thread crashed the program under
  // 32-bit Wine on qemu-user (illegal instruction inside Wine); the same
  // check passed with the box on a std::async thread, which in turn crashes
  // the program there once that thread ends.
  if (winetest::Wine32UnderQemu()) {
    GTEST_SKIP() << "a message box on a second thread crashes 32-bit Wine on qemu-user";
  }
  winetest::StartMessageBoxWatcher();
  winetest::IgnoreDialogCaption("Driven by the test");
  int answer = 0;
  auto shown = winetest::OnHelperThread([&answer] {
    answer = MessageBoxA(nullptr, "wait for me", "Driven by the test", MB_OKCANCEL);
  });
  HWND dialog = winetest::FindDialog("Driven by the test", 20000);
  ASSERT_NE(dialog, nullptr) << "the dialog never appeared";
  ASSERT_TRUE(winetest::WaitForWatcherRounds(5, 60000)) << "the watcher stopped looking";
  EXPECT_TRUE(IsWindow(dialog)) << "the watcher closed a dialog it must leave alone";
  EXPECT_TRUE(winetest::TakeMessageBoxes().empty());
  winetest::PressButton(dialog, IDCANCEL);
  EXPECT_TRUE(winetest::WaitForWindowGone(dialog, 20000));
  shown.get();
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_EQ(winetest::FindDialog("No such dialog", 50), nullptr);
}

TEST(Harness, HostRecordIsZeroedVersion17AndBoundsChecked) {
  winetest::HostRecord record;
  EXPECT_EQ(record.Read<int16_t>(TARNIX_RECORD(structVersion)), 17);
  for (std::size_t i = 2; i < winetest::HostRecord::kBytes; ++i) {
    ASSERT_EQ(record.bytes()[i], 0) << "byte " << i;
  }
  record.Write<double>(TARNIX_RECORD(sampleRate), 1234.5);  // unaligned offset
  EXPECT_EQ(record.Read<double>(TARNIX_RECORD(sampleRate)), 1234.5);
  std::memcpy(static_cast<char*>(record.data()) + TARNIX_RECORD(boardName), "ABCDEFGHIJKLMNOPQRST",
              20);
  EXPECT_EQ(record.Text(TARNIX_RECORD(boardName), 20), "ABCDEFGHIJKLMNOPQRST");
  EXPECT_THROW(record.Read<int32_t>(winetest::HostRecord::kBytes - 3), std::out_of_range);
  EXPECT_THROW(record.Write<int8_t>(winetest::HostRecord::kBytes, 1), std::out_of_range);
}

TEST(Harness, LoadsTheModuleAndNamesAMissingExport) {
  HMODULE module = winetest::Tarnix();
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(winetest::Tarnix(), module) << "loaded once";
  EXPECT_NE(winetest::GetExport("DRV_InitDevice"), nullptr);
  try {
    winetest::GetExport("DRV_NoSuchEntry");
    ADD_FAILURE() << "a missing export did not throw";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("DRV_NoSuchEntry"), std::string::npos) << error.what();
  }
}

}  // namespace
