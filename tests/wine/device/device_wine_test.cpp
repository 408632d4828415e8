// The real tarnix.dll under Wine, opened once for the whole program (the
// module initialises once per process): the splash as shown, the record as
// filled, the buffers as the global heap sees them, every error text as a
// message box, the second initialisation and the shutdown.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "abi/board_api.h"
#include "abi/velqsim.h"
#include "global_memory_watch.h"
#include "splash_watch.h"
#include "wine/support/harness.h"

namespace {

using tarnix::EntryOffset;
using winetest::Get;
using winetest::HostRecord;

using InitFn = int32_t(__stdcall*)(void*);
using NoArgFn = int32_t(__stdcall*)();
using SizeFn = int32_t(__stdcall*)(int32_t);

constexpr uint8_t kPattern = 0xA5;
constexpr UINT kFixedZeroed = GMEM_FIXED | GMEM_ZEROINIT;
const char kCaption[] = "VELQ Sorvik Interface";

struct Opening {
  int32_t result = -1;
  DWORD elapsedMs = 0;
  devicewine::SplashSeen splash;
  std::vector<std::string> traces;
  std::vector<devicewine::BoxSeen> boxes;
  std::vector<uint8_t> recordAfter;  // the record as the call left it
};

// Opens the device on `record` the way a host does, watching the splash.
Opening Open(void* record) {
  Opening out;
  // This thread's lines: Wine's own threads bring thread-attach lines.
  winetest::StartTraceCaptureOnThisThread();
  devicewine::ThreadWindowWatch watch;
  const DWORD start = GetTickCount();
  out.result = Get<InitFn>("DRV_InitDevice")(record);
  out.elapsedMs = GetTickCount() - start;
  out.splash = watch.splash();
  out.traces = winetest::TakeTraces();
  out.boxes = watch.TakeBoxes();
  const auto* bytes = static_cast<const uint8_t*>(record);
  out.recordAfter.assign(bytes, bytes + HostRecord::kBytes);
  return out;
}

class OpenedDevice : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    record_ = new HostRecord();
    std::memset(static_cast<uint8_t*>(record_->data()) + 2, kPattern, HostRecord::kBytes - 2);
    watching_ = devicewine::WatchGlobalMemory(winetest::Tarnix());
    opening_ = new Opening(Open(record_->data()));
  }
  static void TearDownTestSuite() {
    delete opening_;
    // The module keeps the record's address for the life of the process.
  }
  void SetUp() override {
    ASSERT_EQ(opening_->result, 1) << "the device did not open; nothing else can be checked";
    winetest::StartTraceCaptureOnThisThread();
    devicewine::TakeAllocations();
    devicewine::TakeFrees();
  }
  void TearDown() override { devicewine::RefuseAllocationAfter(-1); }

  static int32_t ErrorCode() { return record_->Read<int32_t>(TARNIX_RECORD(errorCode)); }
  static int32_t SetSize(int32_t size) { return Get<SizeFn>("DRV_SetInputBufferSize")(size); }

  static HostRecord* record_;
  static Opening* opening_;
  static bool watching_;
};

HostRecord* OpenedDevice::record_ = nullptr;
Opening* OpenedDevice::opening_ = nullptr;
bool OpenedDevice::watching_ = false;

TEST_F(OpenedDevice, SplashShowsItsTextsAndPictureForTwoSeconds) {
  const Opening& o = *opening_;
  EXPECT_GE(o.elapsedMs, 1950u) << "DRV_InitDevice returned before the splash's two seconds";
  EXPECT_LT(o.elapsedMs, 60000u) << "the splash never closed by itself";
  ASSERT_TRUE(o.splash.found) << "no splash window appeared";
  EXPECT_GE(o.splash.visibleMs(), 1500u);
  EXPECT_EQ(o.splash.caption, "");
  EXPECT_EQ(o.splash.style & WS_CAPTION, 0) << "the splash has a title bar";
  EXPECT_NE(o.splash.style & WS_POPUP, 0);
  EXPECT_TRUE((o.splash.style & DS_MODALFRAME) != 0 ||
              (o.splash.exStyle & WS_EX_DLGMODALFRAME) != 0)
      << "no modal frame";
  EXPECT_EQ(o.splash.client.right, o.splash.expectedClient.right) << "not 224 dialog units wide";
  EXPECT_EQ(o.splash.client.bottom, o.splash.expectedClient.bottom) << "not 89 dialog units high";
  ASSERT_EQ(o.splash.lines.size(), 6u);
  EXPECT_EQ(o.splash.lines[0], "VELQ Sorvik Interface Driver");
  for (std::size_t i = 0; i < o.splash.lines.size(); ++i) {
    EXPECT_FALSE(o.splash.lines[i].empty()) << "line " << i;
    EXPECT_EQ(o.splash.lineStyles[i] & SS_TYPEMASK, SS_CENTER) << "line " << i << " not centred";
  }
  EXPECT_TRUE(o.splash.hasPicture);
  EXPECT_EQ(o.splash.pictureWidth, 64);
  EXPECT_EQ(o.splash.pictureHeight, 120);
}

TEST_F(OpenedDevice, OpeningDescribesTheFirstBoardAndPresetsTheRecord) {
  const Opening& o = *opening_;
  EXPECT_TRUE(o.boxes.empty());
  ASSERT_GE(o.traces.size(), 4u);
  EXPECT_EQ(o.traces[0], "TARNIX:DRV_InitDevice\n");
  EXPECT_EQ(o.traces[1], "TARNIX:DRV_SetInputBufferSize - Setting size to 0\n");
  EXPECT_EQ(o.traces[2], "TARNIX - FillInfoStruct\n");
  EXPECT_EQ(o.traces[3], "TARNIX - FillInfoBoard\n");

  const HostRecord& r = *record_;
  const int32_t serial = VELQ_Query(1000000000, 15, 0);
  char name[40] = {};
  VELQ_StrBoardName(serial, name);
  EXPECT_EQ(r.Text(TARNIX_RECORD(boardName), 20), std::string(name).substr(0, 20));
  EXPECT_EQ(r.Text(TARNIX_RECORD(driverName), 60), kCaption);
  EXPECT_EQ(r.Read<int16_t>(TARNIX_RECORD(initWord)), 2);
  EXPECT_EQ(r.Read<double>(TARNIX_RECORD(sampleRate)), 1000.0);
  EXPECT_EQ(r.Read<int32_t>(TARNIX_RECORD(blockSize)), 256);
  EXPECT_EQ(r.Read<int32_t>(TARNIX_RECORD(capabilities)), 0x203C);
  EXPECT_EQ(r.Read<double>(TARNIX_RECORD(maxSampleRate)),
            static_cast<double>(VELQ_Query(serial, 102, 0)));
  EXPECT_EQ(r.Read<int16_t>(TARNIX_RECORD(adChannelCount)), 8);
  EXPECT_EQ(r.Read<int16_t>(TARNIX_RECORD(daChannelCount)),
            static_cast<int16_t>(VELQ_Query(serial, 200, 0)));
  EXPECT_EQ(r.Text(TARNIX_RECORD(apiVersionText), 40), "3.5.3");
  // Help file name from the DLL's string table, limit 20, no padding.
  EXPECT_EQ(std::memcmp(r.bytes() + TARNIX_RECORD(helpFileName), "Tarnix.hlp\0", 11), 0);
}

TEST_F(OpenedDevice, OpeningKeepsEveryByteThatIsNotTheModules) {
  const std::vector<uint8_t>& after = opening_->recordAfter;
  struct Gap {
    std::size_t first, last;
  };
  // The record's gaps, the request fields (opening only presets sampleRate
  // and blockSize), errorCode, the help file name after its terminator, and
  // everything after the last AdChannelExtra.
  std::vector<Gap> untouched = {{2, 7},         {92, 93},       {176, 195},
                                {207, 215},     {250, 313},     {324, 325},
                                {348, 391},     {23112, 24275}, {24282, 24285},
                                {24294, 24553}, {24558, 24577}, {24678, HostRecord::kBytes - 1}};
  // The 12 host bytes of each of the 8 AdChannelExtra entries.
  for (std::size_t i = 0; i < 8; ++i) {
    const std::size_t entry = EntryOffset(TARNIX_RECORD(adChannelExtras), 14, i, 0);
    untouched.push_back({entry + 2, entry + 13});
    EXPECT_EQ(after[entry], 0) << "extraWord " << i;
    EXPECT_EQ(after[entry + 1], 0) << "extraWord " << i;
  }
  for (const Gap& gap : untouched) {
    for (std::size_t b = gap.first; b <= gap.last; ++b) {
      ASSERT_EQ(after[b], kPattern) << "byte " << b << " was written";
    }
  }
}

TEST_F(OpenedDevice, BuffersAreFixedZeroedBlocksOfTheRequestedSizes) {
  ASSERT_TRUE(watching_) << "tarnix.dll's GlobalAlloc/GlobalFree imports were not found";
  record_->Write<int32_t>(TARNIX_RECORD(bufferSize), 5000);
  ASSERT_EQ(SetSize(10000), 1);
  std::vector<devicewine::AllocationSeen> seen = devicewine::TakeAllocations();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].flags, kFixedZeroed);
  EXPECT_EQ(seen[1].flags, kFixedZeroed);
  EXPECT_EQ(GlobalSize(seen[0].handle), 20000u) << "host buffer";
  EXPECT_EQ(GlobalSize(seen[1].handle), 1024u) << "local buffer: blockSize 256 x 4";
  EXPECT_EQ(record_->Read<int32_t>(TARNIX_RECORD(bufferSize)), 10000);
  const auto* host = static_cast<const uint8_t*>(GlobalLock(seen[0].handle));
  ASSERT_NE(host, nullptr);
  for (std::size_t i = 0; i < 20000; ++i) ASSERT_EQ(host[i], 0) << "host byte " << i;
  GlobalUnlock(seen[0].handle);

  // The same size again: both released and replaced.
  ASSERT_EQ(SetSize(10000), 1);
  const std::vector<HGLOBAL> freed = devicewine::TakeFrees();
  EXPECT_EQ(freed, (std::vector<HGLOBAL>{seen[0].handle, seen[1].handle}));
  EXPECT_EQ(devicewine::TakeAllocations().size(), 2u);
}

TEST_F(OpenedDevice, RefusedAllocationsReportCodeSix) {
  record_->Write<int32_t>(TARNIX_RECORD(bufferSize), 4321);
  devicewine::RefuseAllocationAfter(0);
  EXPECT_EQ(SetSize(3000), 0);
  EXPECT_EQ(ErrorCode(), 6);
  EXPECT_EQ(record_->Read<int32_t>(TARNIX_RECORD(bufferSize)), 256) << "takes blockSize";
  EXPECT_EQ(winetest::TakeTraces().back(),
            "TARNIX:DRV_SetInputBufferSize - Failed to allocate Buffer Memory\n");

  record_->Write<int32_t>(TARNIX_RECORD(errorCode), 0);
  record_->Write<int32_t>(TARNIX_RECORD(bufferSize), 4321);
  devicewine::RefuseAllocationAfter(1);
  EXPECT_EQ(SetSize(3000), 0);
  EXPECT_EQ(ErrorCode(), 6);
  EXPECT_EQ(record_->Read<int32_t>(TARNIX_RECORD(bufferSize)), 4321);
  EXPECT_EQ(winetest::TakeTraces().back(),
            "TARNIX:DRV_SetInputBufferSize - Failed to allocate Local Buffer Memory\n");
  // The host buffer that was granted went back.
  std::vector<devicewine::AllocationSeen> seen = devicewine::TakeAllocations();
  const std::vector<HGLOBAL> freed = devicewine::TakeFrees();
  ASSERT_GE(seen.size(), 3u);
  ASSERT_FALSE(freed.empty());
  EXPECT_EQ(freed.back(), seen[seen.size() - 2].handle);

  // Block size 0: the local buffer is never asked for.
  record_->Write<int32_t>(TARNIX_RECORD(errorCode), 0);
  record_->Write<int32_t>(TARNIX_RECORD(blockSize), 0);
  EXPECT_EQ(SetSize(3000), 0);
  record_->Write<int32_t>(TARNIX_RECORD(blockSize), 256);
  EXPECT_EQ(ErrorCode(), 6);
  EXPECT_EQ(devicewine::TakeAllocations().size(), 1u);

  // Byte counts that do not fit 32 bits are refused before asking.
  record_->Write<int32_t>(TARNIX_RECORD(errorCode), 0);
  record_->Write<int32_t>(TARNIX_RECORD(blockSize), 0x40000000);
  EXPECT_EQ(SetSize(3000), 0);
  record_->Write<int32_t>(TARNIX_RECORD(blockSize), 256);
  EXPECT_EQ(ErrorCode(), 6);
  EXPECT_EQ(SetSize(-1), 0);
  EXPECT_TRUE(devicewine::TakeAllocations().empty());
}

TEST_F(OpenedDevice, BufferSizeIsKeptWhileMeasuring) {
  ASSERT_EQ(SetSize(2000), 1);
  record_->Write<uint16_t>(TARNIX_RECORD(adChannelMask), 1);
  ASSERT_EQ(Get<NoArgFn>("DRV_StartMeas")(), 1) << "error code " << ErrorCode();
  devicewine::TakeAllocations();
  EXPECT_EQ(SetSize(500), 0);
  EXPECT_EQ(ErrorCode(), 10);
  EXPECT_TRUE(devicewine::TakeAllocations().empty());
  EXPECT_TRUE(devicewine::TakeFrees().empty());
  EXPECT_EQ(record_->Read<int32_t>(TARNIX_RECORD(bufferSize)), 2000);
  Get<NoArgFn>("DRV_StopMeas")();
}

TEST_F(OpenedDevice, ShowErrorExplainsEveryCodeInAnErrorBox) {
  char libraryText[80] = {};
  VELQ_StrError(-5, libraryText);
  const std::pair<int32_t, std::string> table[] = {
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
      {-99, "Unkown driver error has occured"},
      {-205, libraryText},
  };
  ASSERT_NE(libraryText[0], '\0');
  for (const auto& [code, text] : table) {
    SCOPED_TRACE(code);
    record_->Write<int32_t>(TARNIX_RECORD(errorCode), code);
    devicewine::ThreadWindowWatch watch;
    EXPECT_EQ(Get<NoArgFn>("DRV_ShowError")(), 1);
    const std::vector<devicewine::BoxSeen> boxes = watch.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, kCaption);
    EXPECT_TRUE(boxes[0].errorIcon);
    EXPECT_EQ(ErrorCode(), code);
  }
  // Thread attach/detach lines of threads the system starts for the boxes
  // are the module's entry routine, not DRV_ShowError.
  for (const std::string& line : winetest::TakeTraces()) {
    EXPECT_EQ(line.rfind("TARNIX:DllMain", 0), 0u) << "DRV_ShowError wrote: " << line;
  }
}

TEST_F(OpenedDevice, SecondOpeningShowsTheSplashAndKeepsTheFirstRecord) {
  HostRecord second;
  std::memset(static_cast<uint8_t*>(second.data()) + 2, kPattern, HostRecord::kBytes - 2);
  const Opening again = Open(second.data());
  EXPECT_EQ(again.result, 0);
  EXPECT_GE(again.elapsedMs, 1950u);
  EXPECT_TRUE(again.splash.found);
  EXPECT_EQ(again.traces, (std::vector<std::string>{"TARNIX:DRV_InitDevice\n"}));
  EXPECT_TRUE(again.boxes.empty());
  for (std::size_t b = 2; b < HostRecord::kBytes; ++b) {
    ASSERT_EQ(second.bytes()[b], kPattern) << "the second record was written at " << b;
  }
  // Errors still land in the first record.
  record_->Write<int32_t>(TARNIX_RECORD(errorCode), 0);
  Get<SizeFn>("DRV_SetInputBufferSize")(-5);
  EXPECT_EQ(ErrorCode(), 6);
}

// Declared last: it closes the device the other tests use.
TEST_F(OpenedDevice, ZZ_KillDeviceReleasesBothBuffers) {
  ASSERT_EQ(SetSize(1000), 1);
  std::vector<devicewine::AllocationSeen> seen = devicewine::TakeAllocations();
  ASSERT_EQ(seen.size(), 2u);
  devicewine::TakeFrees();  // the buffers this call replaced
  winetest::TakeTraces();
  EXPECT_EQ(Get<NoArgFn>("DRV_KillDevice")(), 1);
  EXPECT_EQ(devicewine::TakeFrees(), (std::vector<HGLOBAL>{seen[0].handle, seen[1].handle}));
  EXPECT_EQ(winetest::TakeTraces(),
            (std::vector<std::string>{"TARNIX - DRV_KillDevice\n", "TARNIX - KillBuffer\n",
                                      "TARNIX - KillBuffer - memory freed\n",
                                      "TARNIX - Freeing local memory\n"}));
}

}  // namespace
