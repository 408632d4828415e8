// VELQ_ADConfig's argument checks and the run state of the scan.
#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

// One set of VELQ_ADConfig arguments, good until a test spoils one.
struct ConfigArgs {
  int32_t Config() {
    return VELQ_ADConfig(serial_, rateAddress_, clock_, mode_, reserved_, channelAddress_,
                         gainAddress_, count_);
  }
  int32_t serial_ = 0;
  int32_t rate_ = 1000;
  int32_t channels_[17] = {0, 5, 15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  int32_t gains_[17] = {0x100, 0x003, 0x101, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  int32_t* rateAddress_ = &rate_;
  int32_t* channelAddress_ = channels_;
  int32_t* gainAddress_ = gains_;
  int32_t clock_ = 0, mode_ = 0, reserved_ = 0, count_ = 3;
};

class AdConfigTest : public SimTest, public ConfigArgs {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    serial_ = first_;  // 16 inputs, 2 ranges, 4 gains, 100 kHz
    ASSERT_EQ(VELQ_Query(serial_, 102, 0), 100000);
    ASSERT_EQ(VELQ_Query(serial_, 144, 0), 4);
    ASSERT_EQ(VELQ_Query(serial_, 146, 0), 2);
  }
};

TEST_F(AdConfigTest, EachFaultHasItsOwnStatus) {
  ASSERT_EQ(Config(), 0);
  struct Case {
    const char* what;
    void (*spoil)(ConfigArgs&);
    int32_t status;
  };
  const Case cases[] = {
      {"unknown serial", [](ConfigArgs& t) { t.serial_ = 77; }, kUnknownSerial},
      {"library serial", [](ConfigArgs& t) { t.serial_ = kLibrary; }, kUnknownSerial},
      {"null rate", [](ConfigArgs& t) { t.rateAddress_ = nullptr; }, kNullPointer},
      {"null list", [](ConfigArgs& t) { t.channelAddress_ = nullptr; }, kNullPointer},
      {"null gains", [](ConfigArgs& t) { t.gainAddress_ = nullptr; }, kNullPointer},
      {"reserved", [](ConfigArgs& t) { t.reserved_ = 1; }, kBadReserved},
      {"count 0", [](ConfigArgs& t) { t.count_ = 0; }, kBadChannelCount},
      {"count 17", [](ConfigArgs& t) { t.count_ = 17; }, kBadChannelCount},
      {"count -1", [](ConfigArgs& t) { t.count_ = -1; }, kBadChannelCount},
      {"clock 2", [](ConfigArgs& t) { t.clock_ = 2; }, kBadClockSource},
      {"clock -1", [](ConfigArgs& t) { t.clock_ = -1; }, kBadClockSource},
      {"mode 2", [](ConfigArgs& t) { t.mode_ = 2; }, kBadMode},
      {"rate 0", [](ConfigArgs& t) { t.rate_ = 0; }, kBadRate},
      {"rate -5", [](ConfigArgs& t) { t.rate_ = -5; }, kBadRate},
      {"rate above max", [](ConfigArgs& t) { t.rate_ = 100001; }, kBadRate},
      {"burst scan above max",
       [](ConfigArgs& t) {
         t.mode_ = 1;
         t.rate_ = 33334;
       },
       kBadRate},
      {"channel 16", [](ConfigArgs& t) { t.channels_[1] = 16; }, kBadChannel},
      {"channel -1", [](ConfigArgs& t) { t.channels_[2] = -1; }, kBadChannel},
      {"range 2", [](ConfigArgs& t) { t.gains_[0] = 0x200; }, kBadGainCode},
      {"gain 4", [](ConfigArgs& t) { t.gains_[1] = 0x104; }, kBadGainCode},
      {"negative code", [](ConfigArgs& t) { t.gains_[2] = -1; }, kBadGainCode},
      {"high bits", [](ConfigArgs& t) { t.gains_[2] = 0x10001; }, kBadGainCode},
  };
  for (const Case& c : cases) {
    ConfigArgs copy;  // a fresh set of good arguments
    copy.serial_ = serial_;
    c.spoil(copy);
    EXPECT_EQ(copy.Config(), c.status) << c.what;
  }
  // The limits themselves are accepted.
  rate_ = 100000;
  EXPECT_EQ(Config(), 0);
  mode_ = 1;
  rate_ = 33333;
  EXPECT_EQ(Config(), 0);
  rate_ = 1;
  count_ = 16;
  EXPECT_EQ(Config(), 0);
  EXPECT_EQ(rate_, 1) << "the rate is not written back";
}

TEST_F(AdConfigTest, LastArgumentsAreKeptEvenWhenRefused) {
  VelqSimAdConfig last{};
  EXPECT_EQ(VELQSIM_LastADConfig(&last), kNotConfigured) << "nothing recorded after a reset";
  rate_ = 333;
  mode_ = 1;
  gains_[1] = 0x1FF;  // refused: gain 255
  ASSERT_EQ(Config(), kBadGainCode);
  ASSERT_EQ(VELQSIM_LastADConfig(&last), 0);
  EXPECT_EQ(last.serial, serial_);
  EXPECT_EQ(last.rate, 333);
  EXPECT_EQ(last.clockSource, 0);
  EXPECT_EQ(last.mode, 1);
  EXPECT_EQ(last.reserved, 0);
  EXPECT_EQ(last.channelCount, 3);
  EXPECT_EQ(std::vector<int32_t>(last.channels, last.channels + 4),
            (std::vector<int32_t>{0, 5, 15, 0}));
  EXPECT_EQ(std::vector<int32_t>(last.gainCodes, last.gainCodes + 4),
            (std::vector<int32_t>{0x100, 0x1FF, 0x101, 0}));
  EXPECT_EQ(VELQSIM_LastADConfig(nullptr), kNullPointer);
}

TEST_F(AdConfigTest, StartAndStopFollowTheRunState) {
  EXPECT_EQ(VELQ_ADStart(serial_), kNotConfigured);
  ASSERT_EQ(Config(), 0);
  EXPECT_EQ(VELQ_Query(serial_, 103, 0), 0);
  ASSERT_EQ(VELQ_ADStart(serial_), 0);
  EXPECT_EQ(VELQ_Query(serial_, 103, 0), 1);
  EXPECT_EQ(VELQ_Query(second_, 103, 0), 0) << "the other board is idle";
  EXPECT_EQ(VELQ_ADStart(serial_), kAdRunning);
  EXPECT_EQ(Config(), kAdRunning) << "no reconfiguring a running scan";
  EXPECT_EQ(VELQ_ADStop(serial_), 0);
  EXPECT_EQ(VELQ_Query(serial_, 103, 0), 0);
  EXPECT_EQ(VELQ_ADStop(serial_), 0) << "stopping twice is harmless";
  EXPECT_EQ(VELQ_ADStart(serial_), 0) << "the configuration survives a stop";
  EXPECT_EQ(VELQ_ADStart(4711), kUnknownSerial);
  EXPECT_EQ(VELQ_ADStop(4711), kUnknownSerial);
}

}  // namespace
}  // namespace boardsim_test
