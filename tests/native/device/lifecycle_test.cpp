// DRV_InitDevice, DRV_KillDevice and DRV_ShowError against the simulated
// board library, with the splash on the dialog engine's virtual clock.
#include "core/lifecycle.h"

#include <algorithm>
#include <climits>

#include "acquire/buffers.h"
#include "device_fixture.h"

namespace devicetest {
namespace {

using tarnix::g_state;

constexpr int32_t kLib = 1000000000;
const char kCaption[] = "VELQ Sorvik Interface";

class LifecycleTest : public DeviceTest {
 protected:
  // Runs DRV_InitDevice and answers how long its splash waited.
  uint64_t InitAndMeasureSplash(void* record, int32_t* result) {
    const uint64_t before = TarnixPortable_VirtualMilliseconds();
    *result = tarnix::InitDevice(record);
    return TarnixPortable_VirtualMilliseconds() - before;
  }

  void ExpectRefusedWith(const char* text) {
    int32_t result = -1;
    EXPECT_EQ(InitAndMeasureSplash(record_.data(), &result), 2000u);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_state.initialized, 0);
    const std::vector<Box> boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, kCaption);
    EXPECT_EQ(boxes[0].style, kTarnixBoxStyleErrorOk);
    // The checks come before anything is written into the record.
    EXPECT_EQ(FirstNot(2, record_.size() - 2, kPattern), -1) << "record written";
  }

  void SetLibraryVersion(int32_t major, int32_t minor, int32_t build) {
    VELQSIM_SetAnswer(kLib, 1, -1, major);
    VELQSIM_SetAnswer(kLib, 2, -1, minor);
    VELQSIM_SetAnswer(kLib, 3, -1, build);
  }

  // The box DRV_ShowError shows for `code`.
  Box ShowErrorFor(int32_t code) {
    Set<int32_t>(TARNIX_RECORD(errorCode), code);
    EXPECT_EQ(tarnix::ShowError(), 1);
    EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(errorCode)), code) << "errorCode changed";
    std::vector<Box> boxes = TakeBoxes();
    EXPECT_EQ(boxes.size(), 1u) << "code " << code;
    return boxes.empty() ? Box{} : boxes[0];
  }
};

TEST_F(LifecycleTest, InitialisationSelectsTheFirstBoardAndPresetsTheRecord) {
  Set<int32_t>(TARNIX_RECORD(blockSize), 17);
  const int32_t serial = FirstBoardSerial();
  const int32_t type = VELQ_Query(serial, 10, 0);
  VELQSIM_ClearLog();
  int32_t result = -1;
  EXPECT_EQ(InitAndMeasureSplash(record_.data(), &result), 2000u);
  ASSERT_EQ(result, 1);
  EXPECT_TRUE(TakeBoxes().empty());

  EXPECT_EQ(g_state.initialized, 1);
  EXPECT_EQ(g_state.deviceRecord, record_.data());
  EXPECT_EQ(g_state.serialNo, serial);
  EXPECT_EQ(g_state.boardType, type);
  EXPECT_GE(g_state.boardCount, 1);
  EXPECT_EQ(g_state.hostBuffer, nullptr) << "size 0 allocates nothing";

  EXPECT_EQ(Text(TARNIX_RECORD(driverName), 60),
            std::string(kCaption) + std::string(60 - sizeof kCaption + 1, '\0'));
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(initWord)), 2);
  EXPECT_EQ(Get<double>(TARNIX_RECORD(sampleRate)), 1000.0);
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(blockSize)), 256);
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(capabilities)), 0x203C);
  EXPECT_EQ(Get<double>(TARNIX_RECORD(maxSampleRate)),
            static_cast<double>(VELQ_Query(serial, 102, 0)));
  // Never written by initialisation: errorCode and the host's requests.
  EXPECT_EQ(FirstNot(TARNIX_RECORD(errorCode), 4, kPattern), -1);
  EXPECT_EQ(FirstNot(TARNIX_RECORD(bufferSize), 4, kPattern), -1);

  const std::vector<std::string> traces = TakeTraces();
  ASSERT_GE(traces.size(), 4u);
  EXPECT_EQ(traces[0], "TARNIX:DRV_InitDevice\n");
  EXPECT_EQ(traces[1], "TARNIX:DRV_SetInputBufferSize - Setting size to 0\n");
  EXPECT_EQ(traces[2], "TARNIX - FillInfoStruct\n");
  EXPECT_EQ(traces[3], "TARNIX - FillInfoBoard\n");

  const std::string s = std::to_string(serial);
  const std::vector<std::string> calls = CallsWithoutResults();
  ASSERT_GE(calls.size(), 7u);
  EXPECT_EQ(
      std::vector<std::string>(calls.begin(), calls.begin() + 7),
      (std::vector<std::string>{"VELQ_Query(1000000000, 1, 0)", "VELQ_Query(1000000000, 2, 0)",
                                "VELQ_Query(1000000000, 3, 0)", "VELQ_Query(1000000000, 5, 0)",
                                "VELQ_Query(1000000000, 15, 0)", "VELQ_Query(" + s + ", 10, 0)",
                                "VELQ_StrBoardName(" + s + ", ptr)"}));
}

TEST_F(LifecycleTest, OnlyLibraryVersionsFrom353UpTo35xAreAccepted) {
  struct Case {
    int32_t major, minor, build;
    bool accepted;
    std::size_t versionQueries;  // the first mismatch ends the check
  };
  for (Case c : {Case{3, 5, 2, false, 3}, Case{3, 5, 3, true, 3}, Case{3, 5, 9, true, 3},
                 Case{3, 6, 0, false, 2}, Case{4, 0, 0, false, 1}, Case{3, 5, INT_MAX, true, 3},
                 Case{-3, 5, 3, false, 1}}) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + "." +
                 std::to_string(c.build));
    g_state.initialized = 0;
    std::fill(record_.begin() + 2, record_.end(), kPattern);
    SetLibraryVersion(c.major, c.minor, c.build);
    VELQSIM_ClearLog();
    if (!c.accepted) {
      ExpectRefusedWith("Wrong VELQ API Version");
      EXPECT_EQ(CallsWithoutResults().size(), c.versionQueries);
      continue;
    }
    int32_t result = -1;
    InitAndMeasureSplash(record_.data(), &result);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(TakeBoxes().empty());
  }
}

TEST_F(LifecycleTest, OnlyRecordVersion17IsAccepted) {
  for (int16_t version : {16, 18, 0, -17}) {
    SCOPED_TRACE(version);
    Set<int16_t>(TARNIX_RECORD(structVersion), version);
    VELQSIM_ClearLog();
    ExpectRefusedWith("Wrong Sorvik Version");
    // Checked after the library, before the boards are counted.
    EXPECT_EQ(CallsWithoutResults().size(), 3u);
  }
  Set<int16_t>(TARNIX_RECORD(structVersion), 17);
  int32_t result = -1;
  InitAndMeasureSplash(record_.data(), &result);
  EXPECT_EQ(result, 1);
}

TEST_F(LifecycleTest, MissingRecordIsRefusedAsAWrongVersion) {
  int32_t result = -1;
  InitAndMeasureSplash(nullptr, &result);
  EXPECT_EQ(result, 0);
  const std::vector<Box> boxes = TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Wrong Sorvik Version");
  EXPECT_EQ(g_state.initialized, 0);
}

TEST_F(LifecycleTest, NoBoardsIsRefusedAndCanBeRetried) {
  for (int32_t boards : {0, -4}) {
    VELQSIM_SetAnswer(kLib, 5, -1, boards);
    ExpectRefusedWith("No Morvane DAQ boards are installed");
    EXPECT_EQ(g_state.boardCount, boards);
    EXPECT_EQ(g_state.serialNo, 0);
  }
  // A failed initialisation leaves the module ready for another attempt.
  VELQSIM_ClearAnswers();
  int32_t result = -1;
  InitAndMeasureSplash(record_.data(), &result);
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(TakeBoxes().empty());
}

TEST_F(LifecycleTest, SecondInitialisationShowsTheSplashThenKeepsTheFirstRecord) {
  int32_t result = -1;
  InitAndMeasureSplash(record_.data(), &result);
  ASSERT_EQ(result, 1);
  tarnix::KillDevice();
  TakeTraces();

  std::vector<uint8_t> second(tarnix::kRecordBytesUsed, kPattern);
  VELQSIM_ClearLog();
  EXPECT_EQ(InitAndMeasureSplash(second.data(), &result), 2000u);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(g_state.deviceRecord, record_.data());
  EXPECT_EQ(g_state.initialized, 1);
  EXPECT_EQ(TakeTraces(), (std::vector<std::string>{"TARNIX:DRV_InitDevice\n"}));
  EXPECT_EQ(VELQSIM_CallCount(), 0);
  EXPECT_TRUE(TakeBoxes().empty());
  EXPECT_TRUE(std::all_of(second.begin(), second.end(), [](uint8_t b) { return b == kPattern; }));
}

TEST_F(LifecycleTest, InitialisationGoesOnWhenTheSplashCannotBeShown) {
  ASSERT_EQ(TarnixPortable_FailOperation("RunDialog", 0, 1), 1);
  int32_t result = -1;
  EXPECT_EQ(InitAndMeasureSplash(record_.data(), &result), 0u);
  EXPECT_EQ(result, 1);
}

TEST_F(LifecycleTest, KillDeviceReleasesBuffersAndBoardButKeepsTheRecord) {
  int32_t result = -1;
  InitAndMeasureSplash(record_.data(), &result);
  ASSERT_EQ(result, 1);
  ASSERT_EQ(tarnix::SetInputBufferSize(1000), 1);
  TakeTraces();

  EXPECT_EQ(tarnix::KillDevice(), 1);
  EXPECT_EQ(TakeTraces(),
            (std::vector<std::string>{"TARNIX - DRV_KillDevice\n", "TARNIX - KillBuffer\n",
                                      "TARNIX - KillBuffer - memory freed\n",
                                      "TARNIX - Freeing local memory\n"}));
  EXPECT_EQ(g_state.hostBuffer, nullptr);
  EXPECT_EQ(g_state.localBuffer, nullptr);
  EXPECT_EQ(TarnixPortable_LiveBlocks(), liveBlocksAtStart_);
  EXPECT_EQ(g_state.serialNo, 0);
  EXPECT_EQ(g_state.initialized, 1);
  EXPECT_EQ(g_state.deviceRecord, record_.data());
}

TEST_F(LifecycleTest, KillDeviceDuringAMeasurementKeepsTheHostBuffer) {
  int32_t result = -1;
  InitAndMeasureSplash(record_.data(), &result);
  ASSERT_EQ(tarnix::SetInputBufferSize(1000), 1);
  int16_t* host = g_state.hostBuffer;
  g_state.busy = 1;
  tarnix::KillDevice();
  EXPECT_EQ(g_state.hostBuffer, host);
  EXPECT_EQ(g_state.localBuffer, nullptr);
  EXPECT_EQ(TarnixPortable_LiveBlocks(), liveBlocksAtStart_ + 1);
  g_state.busy = 0;
}

TEST_F(LifecycleTest, ShowErrorExplainsEveryCodeOfTheTable) {
  AttachRecord();
  const std::pair<int32_t, const char*> table[] = {
      {5, "Unkown driver error has occured"},
      {6, "Unkown driver error has occured"},
      {10, "Unkown driver error has occured"},
      {-100, "A/D Busy"},
      {-101, "Function not supported"},
      {-102, "Wrong sampling frequency"},
      {-103, "No channel selected"},
      {-104, "Wrong block size"},
      {16, "Frequency had to be changed"},
      {17, "Channel list had to be changed"},
      {0, "Unkown driver error has occured"},
      {1, "Unkown driver error has occured"},
      {-99, "Unkown driver error has occured"},
      {-105, "Unkown driver error has occured"},
      {-199, "Unkown driver error has occured"},
      {INT_MAX, "Unkown driver error has occured"},
  };
  for (const auto& [code, text] : table) {
    SCOPED_TRACE(code);
    const Box box = ShowErrorFor(code);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, kCaption);
    EXPECT_EQ(box.style, kTarnixBoxStyleErrorOk);
  }
  EXPECT_TRUE(TakeTraces().empty()) << "DRV_ShowError writes no trace";
}

TEST_F(LifecycleTest, ShowErrorAsksTheLibraryForItsOwnFailures) {
  AttachRecord();
  for (int32_t code : {-205, -200, -201, INT_MIN}) {
    SCOPED_TRACE(code);
    char expected[80] = {};
    VELQ_StrError(code + 200, expected);
    ASSERT_NE(expected[0], '\0') << "the library gave no text to compare with";
    VELQSIM_ClearLog();
    const Box box = ShowErrorFor(code);
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.caption, kCaption);
    EXPECT_EQ(box.style, kTarnixBoxStyleErrorOk);
    EXPECT_EQ(CallsWithoutResults(),
              (std::vector<std::string>{"VELQ_StrError(" + std::to_string(code + 200) + ", ptr)"}));
  }
}

TEST_F(LifecycleTest, ShowErrorWithoutARecordShowsNothing) {
  EXPECT_EQ(tarnix::ShowError(), 1);
  EXPECT_TRUE(TakeBoxes().empty());
}

}  // namespace
}  // namespace devicetest
