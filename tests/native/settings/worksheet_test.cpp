// Worksheet save, load and new against the persistent registry file.
#include "settings/worksheet.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "describe/fill_info.h"
#include "settings_fixture.h"

namespace tarnix::testing {
namespace {

const std::string kFailedOpen = "TARNIX:RegReadNumber - Failed to create/open key (2)\n";

class WorksheetTest : public RegistryTest {
 protected:
  // A record of the host's version, every byte a pattern, handed over as
  // DRV_InitDevice would.
  void HandOverRecord() {
    record_.assign(kRecordBytesUsed + 64, 0xA5);
    RecordRef(record_.data()).set<int16_t>(TARNIX_RECORD(structVersion), kHostStructVersion);
    g_state.deviceRecord = record_.data();
  }
  int32_t Capabilities() const {
    return RecordRef(const_cast<uint8_t*>(record_.data()))
        .get<int32_t>(TARNIX_RECORD(capabilities));
  }
  std::vector<uint8_t> record_;
};

TEST_F(WorksheetTest, SaveThenLoadRestoresAllFiveFieldsWithExactTraces) {
  SetSettings(424242, 1, -1, 2, -1);
  EXPECT_EQ(SaveWorksheet("Bench"), 1);
  EXPECT_EQ(traces_,
            (Strings{"TARNIX:DRV_SaveWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\Bench",
                     kWrite, kWrite, kWrite, kWrite, kWrite,
                     SaveLine("SerialNo = 424242, ClkSrc = 1, Gain = -1, Range = 2, Mode = -1")}));

  // Stored as REG_DWORD, least significant byte first; -1 as 0xFFFFFFFF. The
  // serial number keeps the spelling it was written with.
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_TRUE(ReadRaw(std::string(kWorksheetBase) + "Bench", "SerialNo", &type, &data));
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x32, 0x79, 0x06, 0x00}));
  ASSERT_TRUE(ReadRaw(std::string(kWorksheetBase) + "Bench", "Gain", &type, &data));
  EXPECT_EQ(data, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));

  SetSettings(0, 0, 0, 0, 0);
  traces_.clear();
  EXPECT_EQ(LoadWorksheet("Bench"), 1);
  EXPECT_EQ(Settings(), (std::vector<int32_t>{424242, 1, -1, 2, -1}));
  // No record handed over: the five reads and two lines, and no refill.
  EXPECT_EQ(traces_,
            (Strings{"TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\Bench",
                     LoadLine("SerialNo = 424242, ClkSrc = 1, Gain = -1, Range = 2, Mode = -1")}));
}

TEST_F(WorksheetTest, TwoWorksheetsKeepSeparateSettingsAndNamesIgnoreCase) {
  SetSettings(1001, 0, 1, 0, 0);
  SaveWorksheet("first");
  SetSettings(2002, 1, 3, 1, 1);
  SaveWorksheet("second");
  SetSettings(3003, 1, 2, 1, 0);
  SaveWorksheet("SECOND");  // the same worksheet as "second"

  SetSettings(0, 0, 0, 0, 0);
  LoadWorksheet("First");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{1001, 0, 1, 0, 0}));
  LoadWorksheet("second");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{3003, 1, 2, 1, 0}));
}

TEST_F(WorksheetTest, NeverSavedNameKeepsSettingsAndRefillsRecord) {
  HandOverRecord();
  g_state.serialNo = 0;  // the refill runs for serial 0 as well
  SetSettings(0, 1, 2, 0, 1);
  EXPECT_EQ(LoadWorksheet("never saved"), 1);
  EXPECT_EQ(Settings(), (std::vector<int32_t>{0, 1, 2, 0, 1}));
  ASSERT_GE(traces_.size(), 8u);
  EXPECT_EQ(
      Strings(traces_.begin(), traces_.begin() + 8),
      (Strings{"TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\never saved",
               kFailedOpen, kFailedOpen, kFailedOpen, kFailedOpen, kFailedOpen,
               LoadLine("SerialNo = 0, ClkSrc = 1, Gain = 2, Range = 0, Mode = 1"),
               "TARNIX - FillInfoBoard\n"}));
  // The board description, not the no-board one, even for serial 0.
  EXPECT_EQ(Capabilities(), 0x203C);
  // A load writes no error code.
  EXPECT_EQ(RecordRef(record_.data()).get<int32_t>(TARNIX_RECORD(errorCode)),
            static_cast<int32_t>(0xA5A5A5A5));
}

TEST_F(WorksheetTest, ValueWrittenByAnotherToolIsReadWhateverItsCaseOrType) {
  const std::string key = std::string(kWorksheetBase) + "Imported";
  WriteRaw(key, "serialno", platform::kRegDword, {0x39, 0x30, 0x00, 0x00});  // 12345
  WriteRaw(key, "CLOCKSOURCE", 1 /* REG_SZ */, {'1', '2', '3', '4', 0});
  WriteRaw(key, "gain", 3 /* REG_BINARY */, {0xFE, 0xFF, 0xFF, 0xFF, 0x77});
  EXPECT_EQ(LoadWorksheet("imported"), 1);
  EXPECT_EQ(g_state.serialNo, 12345);
  EXPECT_EQ(g_state.clockSource, 875770417);  // 0x34333231
  EXPECT_EQ(g_state.gain, -2);
  // Range and Mode were never written: their reads fail alone.
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kFailedRead), 2);

  // Saving addresses the same value: one serial number, now "SerialNo".
  g_state.serialNo = 777;
  SaveWorksheet("IMPORTED");
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_TRUE(ReadRaw(key, "serialno", &type, &data));
  EXPECT_EQ(data, (std::vector<uint8_t>{0x09, 0x03, 0x00, 0x00}));
  ASSERT_TRUE(ReadRaw(key, "clocksource", &type, &data));
  EXPECT_EQ(type, platform::kRegDword);  // replaced with the module's type
}

TEST_F(WorksheetTest, ValueShorterThanANumberIsAFailedRead) {
  const std::string key = std::string(kWorksheetBase) + "Short";
  WriteRaw(key, "Serialno", 3, {0x01, 0x02, 0x03});
  WriteRaw(key, "ClockSource", 3, {});
  WriteRaw(key, "Gain", 3, {0x05, 0x00, 0x00, 0x00});  // exactly four bytes
  SetSettings(11, 22, 33, 44, 55);
  LoadWorksheet("Short");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{11, 22, 5, 44, 55}));
  // Two short values and the two missing ones; the four-byte gain is read.
  ASSERT_EQ(traces_.size(), 6u);
  EXPECT_EQ(Strings(traces_.begin() + 1, traces_.begin() + 5),
            (Strings{kFailedRead, kFailedRead, kFailedRead, kFailedRead}));
}

TEST_F(WorksheetTest, ValueBufferThatCannotBeHadIsAFailedRead) {
  SetSettings(5, 6, 7, 8, 9);
  SaveWorksheet("buffered");
  SetSettings(0, 0, 0, 0, 0);
  traces_.clear();
  // The second read's buffer fails once: only the clock source stays.
  ASSERT_EQ(TarnixPortable_FailOperation("ValueBuffer", 1, 1), 1);
  LoadWorksheet("buffered");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{5, 0, 7, 8, 9}));
  ASSERT_GE(traces_.size(), 2u);
  EXPECT_EQ(traces_[1], kFailedRead);
}

TEST_F(WorksheetTest, StoreThatCannotBeWrittenStoresNothing) {
  // Neither hive can be written: both refuse, and nothing is said beyond the
  // machine's failure.
  TarnixPortable_SetRegistryReadOnly(1);
  SetSettings(1, 1, 1, 1, 1);
  EXPECT_EQ(SaveWorksheet("locked"), 1);
  Strings expected{"TARNIX:DRV_SaveWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\locked"};
  for (int i = 0; i < 5; ++i) {
    expected.push_back(kWrite);
    expected.push_back("TARNIX:RegWriteNumber - Failed to create/open key\n");
  }
  expected.push_back(SaveLine("SerialNo = 1, ClkSrc = 1, Gain = 1, Range = 1, Mode = 1"));
  EXPECT_EQ(traces_, expected);

  TarnixPortable_SetRegistryReadOnly(0);
  SetSettings(0, 0, 0, 0, 0);
  traces_.clear();
  LoadWorksheet("locked");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kFailedOpen), 5);
}

TEST_F(WorksheetTest, NewWorksheetChangesNothing) {
  HandOverRecord();
  SetSettings(99, 1, 2, 1, 0);
  SaveWorksheet("kept");
  DriverState before = g_state;
  std::vector<uint8_t> recordBefore = record_;
  struct stat storeBefore {};
  ASSERT_EQ(::stat(storePath_.c_str(), &storeBefore), 0);
  traces_.clear();

  EXPECT_EQ(NewWorksheet(), 1);
  EXPECT_EQ(traces_, Strings{"TARNIX:DRV_NewWorksheet\n"});
  EXPECT_EQ(std::memcmp(&before, &g_state, sizeof before), 0);
  EXPECT_EQ(record_, recordBefore);
  struct stat storeAfter {};
  ASSERT_EQ(::stat(storePath_.c_str(), &storeAfter), 0);
  EXPECT_EQ(storeAfter.st_size, storeBefore.st_size);
  EXPECT_EQ(storeAfter.st_mtim.tv_nsec, storeBefore.st_mtim.tv_nsec);
  SetSettings(0, 0, 0, 0, 0);
  LoadWorksheet("kept");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{99, 1, 2, 1, 0}));
}

TEST_F(WorksheetTest, BackslashesInTheNameMakeNestedKeys) {
  SetSettings(31, 0, 0, 0, 0);
  SaveWorksheet("Lab\\Run 7");
  platform::RegistryKey key = nullptr;
  ASSERT_EQ(
      platform::RegOpen("Software\\Morvane\\VELQ\\Sorvik\\Lab", platform::kKeyQueryValue, &key),
      platform::kRegOk);
  platform::RegClose(key);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_TRUE(ReadRaw(std::string(kWorksheetBase) + "lab\\run 7", "serialno", &type, &data));
  EXPECT_FALSE(ReadRaw(std::string(kWorksheetBase) + "Lab", "SerialNo", &type, &data));
}

TEST_F(WorksheetTest, NameTooLongForTheKeyBufferIsRefusedWithoutOverrun) {
  // The base key and its backslash take 29 bytes: a 226-character name is
  // the longest whose key fits the 256-byte buffer with its terminator.
  const std::string fits(226, 'f');
  const std::string tooLong(227, 'x');
  SetSettings(8, 0, 1, 0, 1);
  SaveWorksheet(fits.c_str());
  SaveWorksheet(tooLong.c_str());
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kWrite), 5);  // only the first

  SetSettings(0, 0, 0, 0, 0);
  LoadWorksheet(fits.c_str());
  EXPECT_EQ(Settings(), (std::vector<int32_t>{8, 0, 1, 0, 1}));

  // The refused load reads nothing and keeps the settings; its Path line is
  // cut at the 256-byte trace buffer.
  traces_.clear();
  SetSettings(4, 4, 4, 4, 4);
  LoadWorksheet(tooLong.c_str());
  EXPECT_EQ(Settings(), (std::vector<int32_t>{4, 4, 4, 4, 4}));
  ASSERT_EQ(traces_.size(), 3u);
  EXPECT_EQ(traces_[0].size(), 255u);
  EXPECT_EQ(
      traces_[0].rfind("TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\xxx", 0),
      0u);
  EXPECT_EQ(traces_[1], "TARNIX:DRV_LoadWorksheet - Name refused, registry not used\n");

  // A missing name is refused the same way.
  traces_.clear();
  EXPECT_EQ(SaveWorksheet(nullptr), 1);
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kWrite), 0);
}

TEST_F(WorksheetTest, LoadWithoutRecordReadsTheValuesAndSkipsTheRefill) {
  SetSettings(55, 1, 0, 1, 0);
  SaveWorksheet("early");
  g_state = DriverState{};
  traces_.clear();
  EXPECT_EQ(LoadWorksheet("early"), 1);
  EXPECT_EQ(Settings(), (std::vector<int32_t>{55, 1, 0, 1, 0}));
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), "TARNIX - FillInfoBoard\n"), 0);
}

}  // namespace
}  // namespace tarnix::testing
