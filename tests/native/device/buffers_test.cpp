// DRV_SetInputBufferSize and the buffer routines on the portable global heap.
#include "acquire/buffers.h"

#include <algorithm>

#include "device_fixture.h"

namespace devicetest {
namespace {

using tarnix::g_state;
using tarnix::platform::GlobalBlockSize;

const std::string kSetting = "TARNIX:DRV_SetInputBufferSize - Setting size to ";
const std::string kKill = "TARNIX - KillBuffer\n";
const std::string kKillFreed = "TARNIX - KillBuffer - memory freed\n";
const std::string kFreeLocal = "TARNIX - Freeing local memory\n";

class BuffersTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    AttachRecord();
    Set<int32_t>(TARNIX_RECORD(errorCode), 0);
    Set<int32_t>(TARNIX_RECORD(bufferSize), 0);
    Set<int32_t>(TARNIX_RECORD(blockSize), 256);
  }
  int32_t ErrorCode() const { return Get<int32_t>(TARNIX_RECORD(errorCode)); }
  int32_t RecordBufferSize() const { return Get<int32_t>(TARNIX_RECORD(bufferSize)); }
  int LiveBlocks() const { return TarnixPortable_LiveBlocks() - liveBlocksAtStart_; }

  // Allocates both buffers and forgets the traces of doing so.
  void Allocate(int32_t size) {
    ASSERT_EQ(tarnix::SetInputBufferSize(size), 1);
    TakeTraces();
  }
};

TEST_F(BuffersTest, HostBufferFollowsSizeAndLocalBufferFollowsBlockSize) {
  ASSERT_EQ(tarnix::SetInputBufferSize(10000), 1);
  EXPECT_EQ(GlobalBlockSize(g_state.hostBuffer), 20000u);
  EXPECT_EQ(GlobalBlockSize(g_state.localBuffer), 1024u);
  EXPECT_EQ(g_state.hostCapacity, 10000u);
  EXPECT_EQ(g_state.localCapacity, 256u);
  EXPECT_EQ(LiveBlocks(), 2);
  EXPECT_EQ(RecordBufferSize(), 10000);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(TakeTraces(), (std::vector<std::string>{kSetting + "10000\n", kKill, kFreeLocal,
                                                    "TARNIX - Allocating local memory (256)\n"}));
  // Both are zero-filled.
  for (int i = 0; i < 10000; ++i) ASSERT_EQ(g_state.hostBuffer[i], 0) << "sample " << i;
  for (int i = 0; i < 256; ++i) ASSERT_EQ(g_state.localBuffer[i], 0) << "sample " << i;
}

TEST_F(BuffersTest, SavedBufferSizeIsTheRecordsValueOnEntry) {
  Set<int32_t>(TARNIX_RECORD(bufferSize), 5000);
  ASSERT_EQ(tarnix::SetInputBufferSize(8000), 1);
  EXPECT_EQ(g_state.savedBufferSize, 5000);
  EXPECT_EQ(RecordBufferSize(), 8000);

  // The host wrote the new size first: both agree.
  Set<int32_t>(TARNIX_RECORD(bufferSize), 9000);
  ASSERT_EQ(tarnix::SetInputBufferSize(9000), 1);
  EXPECT_EQ(g_state.savedBufferSize, 9000);
  EXPECT_EQ(RecordBufferSize(), 9000);
}

TEST_F(BuffersTest, SameSizeAgainGivesFreshZeroFilledBuffers) {
  Allocate(100);
  g_state.hostBuffer[99] = 1234;
  g_state.localBuffer[255] = -5;
  ASSERT_EQ(tarnix::SetInputBufferSize(100), 1);
  EXPECT_EQ(TakeTraces(),
            (std::vector<std::string>{kSetting + "100\n", kKill, kKillFreed, kFreeLocal,
                                      "TARNIX - Allocating local memory (256)\n"}));
  EXPECT_EQ(g_state.hostBuffer[99], 0);
  EXPECT_EQ(g_state.localBuffer[255], 0);
  EXPECT_EQ(LiveBlocks(), 2) << "the old buffers were not released";
}

TEST_F(BuffersTest, SizeZeroChangesNothingEvenWhenBusyOrAllocated) {
  ASSERT_EQ(tarnix::SetInputBufferSize(0), 1);
  EXPECT_EQ(g_state.hostBuffer, nullptr);
  EXPECT_EQ(LiveBlocks(), 0);
  Allocate(500);
  int16_t* host = g_state.hostBuffer;
  int32_t* local = g_state.localBuffer;
  for (int32_t busy : {0, 1}) {
    g_state.busy = busy;
    Set<int32_t>(TARNIX_RECORD(bufferSize), 777);
    EXPECT_EQ(tarnix::SetInputBufferSize(0), 1);
    EXPECT_EQ(TakeTraces(), (std::vector<std::string>{kSetting + "0\n"}));
    EXPECT_EQ(g_state.hostBuffer, host);
    EXPECT_EQ(g_state.localBuffer, local);
    EXPECT_EQ(RecordBufferSize(), 777);
    EXPECT_EQ(g_state.savedBufferSize, 0);
  }
  g_state.busy = 0;
}

TEST_F(BuffersTest, RefusedWhileBusyKeepingBothBuffers) {
  Allocate(500);
  int16_t* host = g_state.hostBuffer;
  g_state.busy = 1;
  EXPECT_EQ(tarnix::SetInputBufferSize(600), 0);
  EXPECT_EQ(ErrorCode(), 10);
  EXPECT_EQ(TakeTraces(),
            (std::vector<std::string>{kSetting + "600\n",
                                      "TARNIX:DRV_SetInputBufferSize - Device was busy\n"}));
  EXPECT_EQ(g_state.hostBuffer, host);
  EXPECT_EQ(GlobalBlockSize(g_state.localBuffer), 1024u);
  EXPECT_EQ(RecordBufferSize(), 500);
  g_state.busy = 0;
}

TEST_F(BuffersTest, HostAllocationFailureLeavesNoBuffersAndBlockSizeInRecord) {
  Allocate(500);
  Set<int32_t>(TARNIX_RECORD(bufferSize), 4321);
  ASSERT_EQ(TarnixPortable_FailOperation("GlobalAllocate", 0, 1), 1);
  EXPECT_EQ(tarnix::SetInputBufferSize(1000), 0);
  EXPECT_EQ(ErrorCode(), 6);
  EXPECT_EQ(RecordBufferSize(), 256);
  EXPECT_EQ(g_state.savedBufferSize, 0);
  EXPECT_EQ(g_state.hostBuffer, nullptr);
  EXPECT_EQ(g_state.localBuffer, nullptr);
  EXPECT_EQ(g_state.hostCapacity, 0u);
  EXPECT_EQ(g_state.localCapacity, 0u);
  EXPECT_EQ(LiveBlocks(), 0);
  EXPECT_EQ(TakeTraces(),
            (std::vector<std::string>{
                kSetting + "1000\n", kKill, kKillFreed, kFreeLocal,
                "TARNIX:DRV_SetInputBufferSize - Failed to allocate Buffer Memory\n"}));
}

TEST_F(BuffersTest, AMisspeltFaultIsRefusedAndArmsNothing) {
  EXPECT_EQ(TarnixPortable_FailOperation("GlobalAlloc", 0, 1), 0);
  EXPECT_EQ(TarnixPortable_FailOperation("globalallocate", 0, 1), 0);
  EXPECT_EQ(TarnixPortable_FailOperation(nullptr, 0, 1), 0);
  EXPECT_EQ(tarnix::SetInputBufferSize(1000), 1);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(LiveBlocks(), 2);
}

TEST_F(BuffersTest, LocalAllocationFailureReleasesTheHostBufferAgain) {
  Set<int32_t>(TARNIX_RECORD(bufferSize), 4321);
  ASSERT_EQ(TarnixPortable_FailOperation("GlobalAllocate", 1, 1), 1);
  EXPECT_EQ(tarnix::SetInputBufferSize(1000), 0);
  EXPECT_EQ(ErrorCode(), 6);
  EXPECT_EQ(RecordBufferSize(), 4321);
  EXPECT_EQ(g_state.hostBuffer, nullptr);
  EXPECT_EQ(g_state.localBuffer, nullptr);
  EXPECT_EQ(g_state.hostCapacity, 0u);
  EXPECT_EQ(LiveBlocks(), 0);
  EXPECT_EQ(TakeTraces(),
            (std::vector<std::string>{
                kSetting + "1000\n", kKill, kFreeLocal, "TARNIX - Allocating local memory (256)\n",
                "TARNIX:DRV_SetInputBufferSize - Failed to allocate Local Buffer Memory\n"}));
}

TEST_F(BuffersTest, BlockSizeZeroFailsWithoutAskingForLocalMemory) {
  Set<int32_t>(TARNIX_RECORD(blockSize), 0);
  Set<int32_t>(TARNIX_RECORD(bufferSize), 4321);
  EXPECT_EQ(tarnix::SetInputBufferSize(1000), 0);
  EXPECT_EQ(ErrorCode(), 6);
  EXPECT_EQ(RecordBufferSize(), 4321);
  EXPECT_EQ(LiveBlocks(), 0);
  EXPECT_EQ(TakeTraces(),
            (std::vector<std::string>{
                kSetting + "1000\n", kKill, kFreeLocal,
                "TARNIX:DRV_SetInputBufferSize - Failed to allocate Local Buffer Memory\n"}));
}

TEST_F(BuffersTest, NegativeOrOversizedRequestsAreRefusedBeforeAnyAllocation) {
  Allocate(500);
  int16_t* host = g_state.hostBuffer;
  int32_t* local = g_state.localBuffer;
  struct Case {
    int32_t size;
    int32_t blockSize;
  };
  // A negative size; negative block sizes; block sizes whose x4 byte count
  // wraps in 32 bits (0x40000000 * 4 == 0 and 0x40000001 * 4 == 4).
  for (Case c : {Case{-1, 256}, Case{INT32_MIN, 256}, Case{1000, -256}, Case{1000, 0x40000000},
                 Case{1000, 0x40000001}}) {
    SCOPED_TRACE(std::to_string(c.size) + " / " + std::to_string(c.blockSize));
    Set<int32_t>(TARNIX_RECORD(errorCode), 0);
    Set<int32_t>(TARNIX_RECORD(blockSize), c.blockSize);
    EXPECT_EQ(tarnix::SetInputBufferSize(c.size), 0);
    EXPECT_EQ(ErrorCode(), 6);
    EXPECT_EQ(TakeTraces(),
              (std::vector<std::string>{kSetting + std::to_string(c.size) + "\n",
                                        "TARNIX:DRV_SetInputBufferSize - Size out of range\n"}));
    EXPECT_EQ(g_state.hostBuffer, host);
    EXPECT_EQ(g_state.localBuffer, local);
    EXPECT_EQ(RecordBufferSize(), 500);
    EXPECT_EQ(LiveBlocks(), 2);
  }
  // The largest block size whose byte count still fits is not refused
  // up front; it fails (or not) in the allocator.
  Set<int32_t>(TARNIX_RECORD(blockSize), 0x3FFFFFFF);
  ASSERT_EQ(TarnixPortable_FailOperation("GlobalAllocate", 1, 1), 1);
  EXPECT_EQ(tarnix::SetInputBufferSize(10), 0);
  EXPECT_EQ(TakeTraces().back(),
            "TARNIX:DRV_SetInputBufferSize - Failed to allocate Local Buffer Memory\n");
}

TEST_F(BuffersTest, KillBufferWithoutHostBufferOnlyTraces) {
  tarnix::KillBuffer();
  EXPECT_EQ(TakeTraces(), (std::vector<std::string>{kKill}));
  tarnix::FreeLocalBuffer();
  EXPECT_EQ(TakeTraces(), (std::vector<std::string>{kFreeLocal}));
}

TEST_F(BuffersTest, FreeHostBufferIgnoresAddressesThatAreNoBlock) {
  Allocate(500);
  int16_t* host = g_state.hostBuffer;
  int16_t notABlock[4] = {};
  tarnix::FreeHostBuffer(notABlock);
  tarnix::FreeHostBuffer(host + 1);
  tarnix::FreeHostBuffer(nullptr);
  EXPECT_EQ(g_state.hostBuffer, host);
  EXPECT_EQ(LiveBlocks(), 2);
  EXPECT_TRUE(TakeTraces().empty());
}

TEST_F(BuffersTest, NothingHappensBeforeARecordWasHandedOver) {
  std::fill(record_.begin() + 2, record_.end(), kPattern);
  g_state.deviceRecord = nullptr;
  EXPECT_EQ(tarnix::SetInputBufferSize(100), 0);
  EXPECT_EQ(tarnix::SetInputBufferSize(0), 1);
  EXPECT_EQ(LiveBlocks(), 0);
  EXPECT_EQ(FirstNot(2, record_.size() - 2, kPattern), -1) << "record touched";
}

}  // namespace
}  // namespace devicetest
