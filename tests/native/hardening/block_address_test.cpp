// The host reads record blockSize samples from every address
// DRV_GetInputBuf gives it, whether or not a block was transferred.
#include "hardening_fixture.h"

namespace tarnix::hardening {
namespace {

// Found by the fuzz target: a measurement runs with a block size larger than
// the host buffer, the host closes the device (the local buffer goes, the
// host buffer stays while measuring) and asks for a block. No transfer can
// happen, but the record still announced 16640 samples in a buffer of 4096.
TEST_F(HardeningTest, BlockAddressAfterKillDuringMeasurementHoldsTheAnnouncedBlock) {
  Open();
  Set<int32_t>(TARNIX_RECORD(blockSize), 16640);
  ASSERT_EQ(DRV_SetInputBufferSize(4096), 1) << trace_;
  ASSERT_EQ(DRV_StartMeas(), 1) << trace_;
  ASSERT_EQ(DRV_KillDevice(), 1);
  ASSERT_EQ(g_state.localBuffer, nullptr);

  const int16_t* block = DRV_GetInputBuf();
  ASSERT_NE(block, nullptr) << "the host keeps its buffer while measuring";
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(blockSize)), 4096)
      << "a block size beyond the host buffer is cut to it";
  EXPECT_LE(static_cast<uint32_t>(Get<int32_t>(TARNIX_RECORD(blockSize))), SamplesHeld(block));

  // A negative block size reads as a huge unsigned count: cut the same way.
  Set<int32_t>(TARNIX_RECORD(blockSize), -1);
  EXPECT_EQ(DRV_GetInputBuf(), block);
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(blockSize)), 4096);

  // One that fits is left as the host set it.
  Set<int32_t>(TARNIX_RECORD(blockSize), 100);
  EXPECT_EQ(DRV_GetInputBuf(), block);
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(blockSize)), 100);
  DRV_StopMeas();
}

// The same host buffer with both buffers in place: every block the library
// delivers, asked with any block size, stays within the host buffer and the
// record announces no more than it holds.
TEST_F(HardeningTest, EveryAnnouncedBlockFitsTheHostBufferWhateverTheBlockSize) {
  Open();
  Set<int32_t>(TARNIX_RECORD(blockSize), 256);
  ASSERT_EQ(DRV_SetInputBufferSize(1000), 1) << trace_;
  ASSERT_EQ(DRV_StartMeas(), 1) << trace_;
  VELQSIM_SetClock(kVelqSimUnthrottled);
  for (int32_t asked : {256, 999, 1000, 1001, 65535, INT32_MAX, -1, 0}) {
    Set<int32_t>(TARNIX_RECORD(blockSize), asked);
    const int16_t* block = DRV_GetInputBuf();
    ASSERT_NE(block, nullptr);
    const uint32_t announced = Get<uint32_t>(TARNIX_RECORD(blockSize));
    EXPECT_LE(announced, SamplesHeld(block)) << "block size " << asked;
    EXPECT_LE(announced, 256u) << "block size " << asked << ": the local buffer holds 256";
  }
  DRV_StopMeas();
}

// Found by the fuzz target: DRV_InitDevice fails after keeping the record
// (no boards, or a record of the wrong version), the host sizes a buffer
// smaller than its block, and a second DRV_InitDevice with no record fails
// too but leaves the module without one. The host's record still announces
// its block; the module can no longer cut it, so it hands out no address.
constexpr int32_t kLibrary = 1000000000;  // the serial that addresses the library
constexpr int32_t kBoardCountQuery = 5;

TEST_F(HardeningTest, NoBlockAddressOnceAFailedInitialisationDroppedTheRecord) {
  for (const bool wrongVersion : {false, true}) {
    SCOPED_TRACE(wrongVersion ? "wrong record version" : "no boards");
    g_state.deviceRecord = nullptr;
    if (wrongVersion) {
      Set<int16_t>(TARNIX_RECORD(structVersion), kHostStructVersion + 1);
    } else {
      VELQSIM_SetAnswer(kLibrary, kBoardCountQuery, -1, 0);
    }
    ASSERT_EQ(DRV_InitDevice(record_.data()), 0);
    ASSERT_EQ(g_state.deviceRecord, record_.data()) << "the record is kept all the same";
    Set<int32_t>(TARNIX_RECORD(blockSize), 6029568);
    ASSERT_EQ(DRV_SetInputBufferSize(4096), 1) << trace_;
    ASSERT_EQ(DRV_InitDevice(nullptr), 0);
    ASSERT_EQ(g_state.deviceRecord, nullptr);

    EXPECT_EQ(DRV_GetInputBuf(), nullptr) << "the record announces 6029568 samples";
    // The entries that size or report buffers leave them as they were.
    const int16_t* held = g_state.hostBuffer;
    EXPECT_EQ(DRV_SetInputBufferSize(100000), 0);
    EXPECT_EQ(g_state.hostBuffer, held);
    EXPECT_EQ(DRV_GetInputBufStatus(), 0);
    EXPECT_NE(DRV_GetMeasInfoEx(), nullptr);
    EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(blockSize)), 6029568);

    EXPECT_EQ(DRV_KillDevice(), 1);
    EXPECT_EQ(g_state.hostBuffer, nullptr);
    VELQSIM_ClearAnswers();
    Set<int16_t>(TARNIX_RECORD(structVersion), kHostStructVersion);
  }
}

}  // namespace
}  // namespace tarnix::hardening
