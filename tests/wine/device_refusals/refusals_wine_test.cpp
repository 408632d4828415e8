// DRV_InitDevice's refusals in the real DLL. A refused opening leaves the
// module uninitialised, so they all run in this one process; the accepted
// library version 3.5.9 runs in a child process of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "abi/velqsim.h"
#include "wine/device/splash_watch.h"
#include "wine/support/harness.h"

// The same-thread window watch of the device tests.
#include "wine/device/splash_watch.cpp"

namespace {

using InitFn = int32_t(__stdcall*)(void*);
constexpr int32_t kLib = 1000000000;

class Refusal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VELQSIM_Reset(), 0);
    // The first test to run loads the module, and the load traces the
    // process attach; the refusals' own lines are checked after it.
    if (GetModuleHandleA("tarnix.dll") == nullptr) {
      winetest::StartTraceCaptureOnThisThread();
      winetest::Tarnix();
      EXPECT_EQ(winetest::TakeTraces(),
                (std::vector<std::string>{"TARNIX:DllMain\n", "TARNIX:DllMain - Starting\n"}));
      winetest::StopTraceCapture();
    }
  }

  // Opens on a fresh pattern-filled record; expects the splash's two
  // seconds, one error box with `text`, result 0 and the record untouched.
  void ExpectRefused(int16_t structVersion, const char* text) {
    winetest::HostRecord record;
    std::memset(static_cast<uint8_t*>(record.data()) + 2, 0x5A, winetest::HostRecord::kBytes - 2);
    record.Write<int16_t>(TARNIX_RECORD(structVersion), structVersion);
    VELQSIM_ClearLog();
    // Restarted for each opening: GoogleTest also writes its failure
    // reports as debug lines, which must not spill into the next check.
    // This thread only: the threads Wine starts for the error box bring
    // thread-attach lines at any moment.
    winetest::StartTraceCaptureOnThisThread();
    devicewine::ThreadWindowWatch watch;
    const DWORD start = GetTickCount();
    EXPECT_EQ(winetest::Get<InitFn>("DRV_InitDevice")(record.data()), 0);
    EXPECT_GE(GetTickCount() - start, 1950u) << "no two-second splash first";
    EXPECT_TRUE(watch.splash().found) << "no splash was shown";
    const std::vector<devicewine::BoxSeen> boxes = watch.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, "VELQ Sorvik Interface");
    EXPECT_TRUE(boxes[0].errorIcon);
    EXPECT_EQ(winetest::TakeTraces(), (std::vector<std::string>{"TARNIX:DRV_InitDevice\n"}));
    winetest::StopTraceCapture();
    for (std::size_t b = 2; b < winetest::HostRecord::kBytes; ++b) {
      ASSERT_EQ(record.bytes()[b], 0x5A) << "refused opening wrote byte " << b;
    }
  }

  static void SetLibraryVersion(int32_t major, int32_t minor, int32_t build) {
    VELQSIM_SetAnswer(kLib, 1, -1, major);
    VELQSIM_SetAnswer(kLib, 2, -1, minor);
    VELQSIM_SetAnswer(kLib, 3, -1, build);
  }
};

TEST_F(Refusal, LibraryVersionsOutside35FromBuild3) {
  for (auto [major, minor, build] :
       {std::tuple{3, 5, 2}, std::tuple{3, 6, 0}, std::tuple{4, 0, 0}}) {
    SCOPED_TRACE(std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build));
    SetLibraryVersion(major, minor, build);
    ExpectRefused(17, "Wrong VELQ API Version");
  }
}

TEST_F(Refusal, RecordVersionsOtherThan17) {
  for (int16_t version : {16, 18}) {
    SCOPED_TRACE(version);
    ExpectRefused(version, "Wrong Sorvik Version");
  }
}

TEST_F(Refusal, NoBoardsInstalled) {
  VELQSIM_SetAnswer(kLib, 5, -1, 0);
  ExpectRefused(17, "No Morvane DAQ boards are installed");
}

TEST_F(Refusal, AcceptedLibraryVersion359OpensAFreshModule) {
  EXPECT_EXIT(
      {
        VELQSIM_SetAnswer(kLib, 1, -1, 3);
        VELQSIM_SetAnswer(kLib, 2, -1, 5);
        VELQSIM_SetAnswer(kLib, 3, -1, 9);
        winetest::HostRecord record;
        const int32_t result = winetest::Get<InitFn>("DRV_InitDevice")(record.data());
        const bool described = record.Text(TARNIX_RECORD(apiVersionText), 40) == "3.5.9" &&
                               record.Read<int16_t>(TARNIX_RECORD(initWord)) == 2;
        std::exit(result == 1 && described ? 0 : 10 + result);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
