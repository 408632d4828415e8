// The board description written into a pattern-filled host record.
#include "describe/fill_info.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "device_fixture.h"

namespace devicetest {
namespace {

using tarnix::ChannelEntry;
using tarnix::DeviceRecord;
using tarnix::EntryOffset;
using tarnix::PortEntryA;
using tarnix::PortEntryB;

constexpr int32_t kLib = 1000000000;

struct Range {
  std::size_t offset;
  std::size_t bytes;
};

// Byte ranges a fill may write. Everything else must keep the pattern.
std::vector<Range> NoBoardWrites() {
  return {{TARNIX_RECORD(boardName), 20},     {TARNIX_RECORD(capabilities), 4},
          {TARNIX_RECORD(minSampleRate), 32}, {TARNIX_RECORD(adChannelCount), 10},
          {TARNIX_RECORD(auxCount), 2},       {TARNIX_RECORD(adChannels), 23112 - 392},
          {TARNIX_RECORD(descCode), 4}};
}

std::vector<Range> BoardWrites(std::size_t adCount, std::size_t helpBytes) {
  std::vector<Range> ranges = NoBoardWrites();
  ranges.push_back({TARNIX_RECORD(apiVersionText), 80});
  ranges.push_back({TARNIX_RECORD(helpFileName), helpBytes});
  ranges.push_back({TARNIX_RECORD(descWord), 2});
  ranges.push_back({TARNIX_RECORD(indexList), 20});
  ranges.push_back({TARNIX_RECORD(descFlag), 2});
  for (std::size_t i = 0; i < adCount; ++i) {
    ranges.push_back({EntryOffset(TARNIX_RECORD(adChannelExtras), 14, i, 0), 2});
  }
  return ranges;
}

class FillInfoTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    AttachRecord();
    serial_ = FirstBoardSerial();
  }

  // Selects the first board and fills the record with it.
  void FillBoard(int32_t range = 0, int32_t gain = 0) {
    tarnix::g_state.serialNo = serial_;
    tarnix::g_state.range = range;
    tarnix::g_state.gain = gain;
    VELQSIM_ClearLog();
    TakeTraces();
    tarnix::FillInfoStruct();
  }

  // Every byte outside `written` still holds the pattern.
  void ExpectPatternOutside(const std::vector<Range>& written) {
    std::vector<bool> mayChange(record_.size(), false);
    for (const Range& r : written) {
      for (std::size_t i = 0; i < r.bytes; ++i) mayChange[r.offset + i] = true;
    }
    int reported = 0;
    for (std::size_t i = 0; i < record_.size(); ++i) {
      if (i < 2 || mayChange[i] || record_[i] == kPattern) continue;  // 0-1: structVersion
      ADD_FAILURE() << "byte " << i << " changed to " << int(record_[i]);
      if (++reported == 5) break;
    }
  }

  double AdMax(std::size_t i) const {
    return Get<double>(EntryOffset(TARNIX_RECORD(adChannels), 40, i, 0));
  }
  double AdMin(std::size_t i) const {
    return Get<double>(EntryOffset(TARNIX_RECORD(adChannels), 40, i, 8));
  }

  int32_t serial_ = 0;
};

TEST_F(FillInfoTest, WithoutBoardClearsTablesAndKeepsEverythingElse) {
  VELQSIM_ClearLog();
  tarnix::FillInfoStruct();

  EXPECT_EQ(TakeTraces(),
            (std::vector<std::string>{"TARNIX - FillInfoStruct\n", "TARNIX - FillInfoNone\n"}));
  EXPECT_EQ(CallsWithoutResults(), (std::vector<std::string>{"VELQ_StrBoardName(0, ptr)"}));
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(capabilities)), 0x2000);
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(descCode)), 7);
  for (std::size_t f : {TARNIX_RECORD(minSampleRate), TARNIX_RECORD(maxSampleRate),
                        TARNIX_RECORD(minSampleRate2), TARNIX_RECORD(maxSampleRate2)}) {
    EXPECT_EQ(Get<double>(f), 0.0) << "offset " << f;
  }
  // The six counts (314..323 and 326); 324..325 is a gap.
  EXPECT_EQ(FirstNot(TARNIX_RECORD(adChannelCount), 10, 0), -1);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(auxCount)), 0);
  EXPECT_EQ(FirstNot(TARNIX_RECORD(adChannels), 23112 - 392, 0), -1);

  char expected[40] = {};
  VELQ_StrBoardName(0, expected);
  std::string name = Text(TARNIX_RECORD(boardName), 20);
  EXPECT_EQ(std::string(name.c_str()), std::string(expected).substr(0, 20));
  EXPECT_EQ(name.find_first_not_of('\0', std::strlen(name.c_str())), std::string::npos)
      << "boardName is not zero-padded";
  ExpectPatternOutside(NoBoardWrites());
}

TEST_F(FillInfoTest, WithBoardDescribesEveryFieldAndKeepsGaps) {
  VELQSIM_SetAnswer(serial_, 102, -1, 250000);
  VELQSIM_SetAnswer(serial_, 200, -1, 2);
  VELQSIM_SetAnswer(serial_, 400, -1, 3);
  VELQSIM_SetAnswer(serial_, 300, -1, 4);
  VELQSIM_SetBoardName(serial_, "DAQ-42");
  FillBoard(/*range=*/0, /*gain=*/3);

  EXPECT_EQ(TakeTraces(),
            (std::vector<std::string>{"TARNIX - FillInfoStruct\n", "TARNIX - FillInfoBoard\n",
                                      "TARNIX - FillInfoBoard - Max = 10.00, Min = -10.00"}));
  EXPECT_EQ(Text(TARNIX_RECORD(boardName), 20), std::string("DAQ-42") + std::string(14, '\0'));
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(capabilities)), 0x203C);
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(descCode)), 7);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(descFlag)), 1);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(descWord)), 1000);
  EXPECT_EQ(Get<double>(TARNIX_RECORD(minSampleRate)), 1.0);
  EXPECT_EQ(Get<double>(TARNIX_RECORD(maxSampleRate)), 250000.0);
  EXPECT_EQ(Get<double>(TARNIX_RECORD(minSampleRate2)), 1.0);
  EXPECT_EQ(Get<double>(TARNIX_RECORD(maxSampleRate2)), 250000.0);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(adChannelCount)), 8);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(daChannelCount)), 2);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(portCountA)), 3);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(portCountB)), 3);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(counterCount)), 4);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(auxCount)), 8);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(indexList) + 2 * i), i);
  }

  for (std::size_t i = 0; i < 8; ++i) {
    SCOPED_TRACE("analog input " + std::to_string(i));
    EXPECT_EQ(AdMax(i), 10.0);
    EXPECT_EQ(AdMin(i), -10.0);
    EXPECT_EQ(Get<int32_t>(EntryOffset(TARNIX_RECORD(adChannels), 40, i, 16)), 4095);
    EXPECT_EQ(Get<int16_t>(EntryOffset(TARNIX_RECORD(adChannels), 40, i, 20)), 0);
    EXPECT_EQ(Get<int16_t>(EntryOffset(TARNIX_RECORD(adChannels), 40, i, 22)), 1);
    EXPECT_EQ(FirstNot(EntryOffset(TARNIX_RECORD(adChannels), 40, i, 24), 16, 0), -1);
    EXPECT_EQ(Get<int16_t>(EntryOffset(TARNIX_RECORD(adChannelExtras), 14, i, 0)), 0);
  }
  // Entry 8 and the rest of the table up to byte 20871.
  EXPECT_EQ(FirstNot(EntryOffset(TARNIX_RECORD(adChannels), 40, 8, 0), 20872 - 712, 0), -1);

  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE("analog output " + std::to_string(i));
    const std::size_t e = EntryOffset(TARNIX_RECORD(daChannels), 40, i, 0);
    EXPECT_EQ(Get<double>(e), 10.0);
    EXPECT_EQ(Get<double>(e + 8), -10.0);
    EXPECT_EQ(Get<int32_t>(e + 16), 65535);
    EXPECT_EQ(Get<int16_t>(e + 20), 0);
    EXPECT_EQ(Get<int16_t>(e + 22), 6);
    EXPECT_EQ(FirstNot(e + 24, 16, 0), -1);
  }
  EXPECT_EQ(FirstNot(EntryOffset(TARNIX_RECORD(daChannels), 40, 2, 0), 30 * 40, 0), -1);

  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("port " + std::to_string(i));
    const std::size_t a = EntryOffset(TARNIX_RECORD(portsA), 12, i, 0);
    EXPECT_EQ(Get<int16_t>(a), 2);
    EXPECT_EQ(Get<int16_t>(a + 2), 255);
    EXPECT_EQ(Get<int16_t>(a + 4), static_cast<int16_t>(i));
    EXPECT_EQ(Get<int16_t>(a + 6), 8);
    EXPECT_EQ(FirstNot(a + 8, 4, 0), -1);
    const std::size_t b = EntryOffset(TARNIX_RECORD(portsB), 10, i, 0);
    EXPECT_EQ(Get<int16_t>(b), 2);
    EXPECT_EQ(Get<int16_t>(b + 2), 255);
    EXPECT_EQ(Get<int16_t>(b + 4), static_cast<int16_t>(i));
    EXPECT_EQ(FirstNot(b + 6, 4, 0), -1);
  }
  EXPECT_EQ(FirstNot(EntryOffset(TARNIX_RECORD(portsA), 12, 3, 0), 29 * 12, 0), -1);
  EXPECT_EQ(FirstNot(TARNIX_RECORD(counterArea), 256, 0), -1);
  EXPECT_EQ(FirstNot(EntryOffset(TARNIX_RECORD(portsB), 10, 3, 0), 29 * 10, 0), -1);

  // "Tarnix.hlp" and its terminator; bytes after it keep the pattern.
  EXPECT_EQ(Text(TARNIX_RECORD(helpFileName), 11), std::string("Tarnix.hlp\0", 11));
  ExpectPatternOutside(BoardWrites(8, 11));
}

TEST_F(FillInfoTest, BoardLibraryIsAskedInOrder) {
  tarnix::g_state.serialNo = serial_;
  tarnix::g_state.gain = 2;
  VELQSIM_ClearLog();
  tarnix::FillInfoStruct();
  const std::string s = std::to_string(serial_);
  const std::string lib = std::to_string(kLib);
  EXPECT_EQ(CallsWithoutResults(),
            (std::vector<std::string>{
                "VELQ_StrBoardName(" + s + ", ptr)", "VELQ_Query(" + s + ", 145, 2)",
                "VELQ_Query(" + s + ", 102, 0)", "VELQ_Query(" + s + ", 102, 0)",
                "VELQ_Query(" + s + ", 200, 0)", "VELQ_Query(" + s + ", 400, 0)",
                "VELQ_Query(" + s + ", 400, 0)", "VELQ_Query(" + s + ", 300, 0)",
                "VELQ_Query(" + lib + ", 3, 0)", "VELQ_Query(" + lib + ", 2, 0)",
                "VELQ_Query(" + lib + ", 1, 0)", "VELQ_Query(" + s + ", 22, 0)",
                "VELQ_Query(" + s + ", 21, 0)", "VELQ_Query(" + s + ", 20, 0)"}));
}

TEST_F(FillInfoTest, InputRangeUsesWholeVoltsOfHalfTheSpanOnRangeOne) {
  struct Case {
    int32_t range;
    int32_t span;
    int16_t count;
    double limit;
    const char* trace;
  };
  const Case cases[] = {
      {1, 20000, 4, 10.0, "Max = 10.00, Min = -10.00"},
      {1, 10000, 4, 5.0, "Max = 5.00, Min = -5.00"},
      {1, 5000, 4, 2.0, "Max = 2.00, Min = -2.00"},
      {1, 1999, 4, 0.0, "Max = 0.00, Min = 0.00"},
      {1, 1000, 4, 0.0, "Max = 0.00, Min = 0.00"},
      // A negative span is stored as it comes: the limits swap sides.
      {1, -5000, 4, -2.0, "Max = -2.00, Min = 2.00"},
      {1, INT_MIN, 4, -1073741.0, "Max = -1073741.00, Min = 1073741.00"},
      // Any range but 1 ignores the span.
      {0, 5000, 8, 10.0, "Max = 10.00, Min = -10.00"},
      {2, 1000, 8, 10.0, "Max = 10.00, Min = -10.00"},
      {-1, 1000, 8, 10.0, "Max = 10.00, Min = -10.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("range " + std::to_string(c.range) + " span " + std::to_string(c.span));
    std::fill(record_.begin() + 2, record_.end(), kPattern);
    VELQSIM_SetAnswer(serial_, 145, -1, c.span);
    FillBoard(c.range, 1);
    const std::vector<std::string> traces = TakeTraces();
    ASSERT_EQ(traces.size(), 3u);
    EXPECT_EQ(traces[2], std::string("TARNIX - FillInfoBoard - ") + c.trace);
    EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(adChannelCount)), c.count);
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(AdMax(i), c.limit) << "entry " << i;
      EXPECT_EQ(AdMin(i), -c.limit) << "entry " << i;
    }
    // Negated as an integer: a zero limit is +0.0 on both ends.
    if (c.limit == 0.0) {
      EXPECT_FALSE(std::signbit(AdMin(0)));
    }
    EXPECT_EQ(FirstNot(EntryOffset(TARNIX_RECORD(adChannels), 40, c.count, 0), 40, 0), -1);
    // The extras of inputs the board does not have are the host's.
    EXPECT_EQ(Get<int16_t>(EntryOffset(TARNIX_RECORD(adChannelExtras), 14, c.count - 1, 0)), 0);
    if (c.count == 4) {
      EXPECT_EQ(FirstNot(EntryOffset(TARNIX_RECORD(adChannelExtras), 14, 4, 0), 4 * 14, kPattern),
                -1);
    }
  }
}

TEST_F(FillInfoTest, BoardNameIsCutToTwentyBytesWithoutTerminator) {
  for (const char* name : {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789XYZ"}) {
    SCOPED_TRACE(name);
    std::fill(record_.begin() + 2, record_.end(), kPattern);
    VELQSIM_SetBoardName(serial_, name);
    FillBoard();
    EXPECT_EQ(Text(TARNIX_RECORD(boardName), 20), "ABCDEFGHIJKLMNOPQRST");
    // The copy stops at the field: capabilities follow it directly, and
    // the gap after capabilities is never written.
    EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(capabilities)), 0x203C);
    EXPECT_EQ(FirstNot(92, 2, kPattern), -1);
  }
}

TEST_F(FillInfoTest, BoardWithoutDigitalPortsLeavesBothPortTablesEmpty) {
  VELQSIM_SetAnswer(serial_, 400, -1, 0);
  FillBoard();
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(portCountA)), 0);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(portCountB)), 0);
  EXPECT_EQ(FirstNot(TARNIX_RECORD(portsA), 384, 0), -1);
  EXPECT_EQ(FirstNot(TARNIX_RECORD(portsB), 320, 0), -1);
}

TEST_F(FillInfoTest, CountsBeyondTheTablesAreClippedToTheirCapacity) {
  // 40 outputs, a failing port query (-1, i.e. 65535 as unsigned 16 bits)
  // and a counter count that wraps in 16 bits.
  VELQSIM_SetAnswer(serial_, 200, -1, 40);
  VELQSIM_SetAnswer(serial_, 400, -1, -1);
  VELQSIM_SetAnswer(serial_, 300, -1, 0x10003);
  FillBoard();
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(daChannelCount)), 32);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(portCountA)), 32);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(portCountB)), 32);
  EXPECT_EQ(Get<int16_t>(TARNIX_RECORD(counterCount)), 3);
  EXPECT_EQ(Get<int16_t>(EntryOffset(TARNIX_RECORD(daChannels), 40, 31, 22)), 6);
  EXPECT_EQ(Get<int16_t>(EntryOffset(TARNIX_RECORD(portsA), 12, 31, 4)), 31);
  EXPECT_EQ(Get<int16_t>(EntryOffset(TARNIX_RECORD(portsB), 10, 31, 4)), 31);
  // portsA ends where counterArea starts (cleared); portsB ends at the gap.
  EXPECT_EQ(FirstNot(TARNIX_RECORD(counterArea), 256, 0), -1);
  EXPECT_EQ(FirstNot(23112, 24276 - 23112, kPattern), -1);
  ExpectPatternOutside(BoardWrites(8, 11));
}

TEST_F(FillInfoTest, VersionTextsComeFromBuildMinorMajorAnswers) {
  VELQSIM_SetAnswer(kLib, 1, -1, 3);
  VELQSIM_SetAnswer(kLib, 2, -1, 5);
  VELQSIM_SetAnswer(kLib, 3, -1, 3);
  VELQSIM_SetAnswer(serial_, 20, -1, 12);
  VELQSIM_SetAnswer(serial_, 21, -1, -1);
  VELQSIM_SetAnswer(serial_, 22, -1, 2147483647);
  FillBoard();
  EXPECT_EQ(Text(TARNIX_RECORD(apiVersionText), 40), "3.5.3" + std::string(35, '\0'));
  const std::string board = "12.-1.2147483647";
  EXPECT_EQ(Text(TARNIX_RECORD(boardVersionText), 40),
            board + std::string(40 - board.size(), '\0'));
}

TEST_F(FillInfoTest, RefillWithoutBoardKeepsTheLastBoardsTexts) {
  FillBoard();
  const std::vector<uint8_t> described = record_;
  tarnix::g_state.serialNo = 0;
  tarnix::FillInfoStruct();
  for (Range kept :
       {Range{TARNIX_RECORD(apiVersionText), 80}, Range{TARNIX_RECORD(helpFileName), 22},
        Range{TARNIX_RECORD(indexList), 20}, Range{TARNIX_RECORD(descFlag), 2},
        Range{TARNIX_RECORD(adChannelExtras), 8 * 14}}) {
    EXPECT_TRUE(std::equal(described.begin() + kept.offset,
                           described.begin() + kept.offset + kept.bytes,
                           record_.begin() + kept.offset))
        << "offset " << kept.offset << " changed";
  }
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(capabilities)), 0x2000);
  EXPECT_EQ(FirstNot(TARNIX_RECORD(adChannels), 23112 - 392, 0), -1);
}

TEST_F(FillInfoTest, BoardFillWithSerialZeroAsksSerialZero) {
  tarnix::g_state.serialNo = 0;
  VELQSIM_ClearLog();
  tarnix::FillInfoBoard();
  const std::vector<std::string> calls = CallsWithoutResults();
  ASSERT_EQ(calls.size(), 14u);
  EXPECT_EQ(calls[0], "VELQ_StrBoardName(0, ptr)");
  EXPECT_EQ(calls[1], "VELQ_Query(0, 145, 0)");
  EXPECT_EQ(Get<int32_t>(TARNIX_RECORD(capabilities)), 0x203C);
}

TEST_F(FillInfoTest, NothingIsWrittenOrAskedWithoutARecord) {
  tarnix::g_state.deviceRecord = nullptr;
  for (int32_t serial : {0, serial_}) {
    tarnix::g_state.serialNo = serial;
    VELQSIM_ClearLog();
    tarnix::FillInfoStruct();
    EXPECT_EQ(VELQSIM_CallCount(), 0) << "serial " << serial;
  }
  EXPECT_EQ(FirstNot(2, record_.size() - 2, kPattern), -1);
}

}  // namespace
}  // namespace devicetest
