// Worksheet save, load and new against the persistent registry file.
#include "settings/worksheet.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "describe/fill_info.h"
#include "settings_fixture.h"

namespace tarnix::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kFailedOpen = "TARNIX:RegReadNumber - Failed to create/open key (2)\n";
const std::string kFailedRead = "TARNIX:RegReadNumber - Failed to read key\n";
const std::string kWrite = "TARNIX:RegWriteNumber\n";
const std::string kStoredForUser = "TARNIX:RegWriteNumber - Stored for the current user\n";
const std::string kReadForUser = "TARNIX:RegReadNumber - Read from the current user\n";
const std::string kReadFromChangedMachine =
    "TARNIX:RegReadNumber - Read from the machine, changed since the current user saved\n";
const std::string kAlsoStoredForUser = "TARNIX:RegWriteNumber - Also stored for the current user\n";
// The one value a user's copy holds beyond the five.
constexpr char kRecordName[] = "MachineCopyAtSave";

std::string LoadLine(const char* settings) {
  return std::string("TARNIX:DRV_LoadWorksheet - ") + settings;
}
std::string SaveLine(const char* settings) {
  return std::string("TARNIX:DRV_SaveWorksheet - ") + settings;
}

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

  // Saves the settings as a user without administrator rights would.
  static void SaveWithoutRights(const char* name) {
    ASSERT_EQ(TarnixPortable_FailOperation("MachineWrite", 0, -1), 1);
    SaveWorksheet(name);
    TarnixPortable_ClearFaults();
  }
  // The machine's copy saved with rights (7300, 0, 0, 0, 0), then the
  // user's without (7312, 1, 2, 3, 1).
  static void SaveBothCopies(const char* name) {
    SetSettings(7300, 0, 0, 0, 0);
    SaveWorksheet(name);
    SetSettings(7312, 1, 2, 3, 1);
    SaveWithoutRights(name);
  }
  // Loads into fields set to -9 first (a field the load keeps shows), with
  // the load's own traces only.
  void LoadAfresh(const char* name) {
    SetSettings(-9, -9, -9, -9, -9);
    traces_.clear();
    LoadWorksheet(name);
  }
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

// A user who is no administrator cannot write the machine's hive: the save
// lands whole in the current user's hive under the same path, with one more
// value there and none in the machine's copy, and loads from there.
TEST_F(WorksheetTest, MachineHiveThatCannotBeWrittenStoresForTheCurrentUser) {
  const std::string lab = std::string(kWorksheetBase) + "Lab";
  SetSettings(111, 0, 1, 0, 0);
  SaveWorksheet("Lab");  // by an administrator, earlier

  ASSERT_EQ(TarnixPortable_FailOperation("MachineWrite", 0, -1), 1);
  SetSettings(424242, 1, -1, 2, -1);
  traces_.clear();
  EXPECT_EQ(SaveWorksheet("Lab"), 1);
  Strings expected{"TARNIX:DRV_SaveWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\Lab"};
  for (int i = 0; i < 5; ++i) {
    expected.push_back(kWrite);
    expected.push_back("TARNIX:RegWriteNumber - Failed to create/open key\n");
    expected.push_back(kStoredForUser);
  }
  expected.push_back(SaveLine("SerialNo = 424242, ClkSrc = 1, Gain = -1, Range = 2, Mode = -1"));
  EXPECT_EQ(traces_, expected);
  EXPECT_EQ(StoredNumber(lab, "SerialNo", platform::Hive::kCurrentUser), 424242);
  EXPECT_EQ(StoredNumber(lab, "Gain", platform::Hive::kCurrentUser), -1);
  EXPECT_EQ(StoredNumber(lab, "SerialNo", platform::Hive::kLocalMachine), 111);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_TRUE(ReadRaw(lab, kRecordName, &type, &data, platform::Hive::kCurrentUser));
  EXPECT_FALSE(ReadRaw(lab, kRecordName, &type, &data, platform::Hive::kLocalMachine));

  SetSettings(0, 0, 0, 0, 0);
  traces_.clear();
  EXPECT_EQ(LoadWorksheet("lab"), 1);
  EXPECT_EQ(Settings(), (std::vector<int32_t>{424242, 1, -1, 2, -1}));
  EXPECT_EQ(traces_,
            (Strings{"TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\lab",
                     kReadForUser, kReadForUser, kReadForUser, kReadForUser, kReadForUser,
                     LoadLine("SerialNo = 424242, ClkSrc = 1, Gain = -1, Range = 2, "
                              "Mode = -1")}));

  // Back with the right to write: the machine gets the values, and the
  // user's copy follows so that it cannot hide them on the next load.
  TarnixPortable_ClearFaults();
  SetSettings(5, 0, 0, 1, 0);
  traces_.clear();
  SaveWorksheet("Lab");
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kAlsoStoredForUser), 5);
  EXPECT_EQ(StoredNumber(lab, "SerialNo", platform::Hive::kLocalMachine), 5);
  SetSettings(0, 0, 0, 0, 0);
  LoadWorksheet("Lab");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{5, 0, 0, 1, 0}));
}

// With a copy in both hives the one saved last loads, whole. The machine's
// copy changed by someone else after the user's save is the newer one; a
// save by the user after that, even one that rewrites the very data the
// user's copy holds, makes the user's the newer one again.
TEST_F(WorksheetTest, CopyInBothHivesLoadsWholeFromTheOneSavedLast) {
  const std::string lab = std::string(kWorksheetBase) + "lab";
  SaveBothCopies("lab");
  for (const char* name : {"SerialNo", "ClockSource", "Gain", "Range", "Mode"}) {
    WriteRaw(lab, name, platform::kRegDword, {0, 0, 0, 0});  // an administrator's later change
  }
  WriteRaw(lab, "SerialNo", platform::kRegDword, {0x9B, 0x1C, 0, 0});  // 7323

  LoadAfresh("lab");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{7323, 0, 0, 0, 0}));
  EXPECT_EQ(traces_,
            (Strings{"TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\lab",
                     kReadFromChangedMachine, kReadFromChangedMachine, kReadFromChangedMachine,
                     kReadFromChangedMachine, kReadFromChangedMachine,
                     LoadLine("SerialNo = 7323, ClkSrc = 0, Gain = 0, Range = 0, Mode = 0")}));

  // The user saves the same set again: no value of the user's copy changes
  // but its record, and that is enough.
  SetSettings(7312, 1, 2, 3, 1);
  SaveWithoutRights("lab");
  LoadAfresh("lab");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{7312, 1, 2, 3, 1}));
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kReadForUser), 5);

  // A save with rights that leaves the machine's copy as it is still wins.
  SetSettings(7323, 0, 0, 0, 0);
  SaveWorksheet("lab");
  LoadAfresh("lab");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{7323, 0, 0, 0, 0}));
}

// A value missing from the copy that loads keeps its field and traces the
// failure: it is never taken from the other copy.
TEST_F(WorksheetTest, CopyMissingAValueIsNeverFilledFromTheOther) {
  const std::string lab = std::string(kWorksheetBase) + "lab";
  SaveBothCopies("lab");

  DeleteRaw(lab, "Range", platform::Hive::kCurrentUser);
  LoadAfresh("lab");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{7312, 1, 2, -9, 1}));
  EXPECT_EQ(Strings(traces_.begin() + 1, traces_.end() - 1),
            (Strings{kReadForUser, kReadForUser, kReadForUser, kFailedRead, kReadForUser}));

  // The machine's copy, changed since, loads without the value it lacks.
  DeleteRaw(lab, "Gain");
  LoadAfresh("lab");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{7300, 0, -9, 0, 0}));
  EXPECT_EQ(Strings(traces_.begin() + 1, traces_.end() - 1),
            (Strings{kReadFromChangedMachine, kReadFromChangedMachine, kFailedRead,
                     kReadFromChangedMachine, kReadFromChangedMachine}));

  // A user's copy without a record (kept before records were, or put there
  // by another tool) loads as it always did, from the user's hive, and still
  // alone.
  const std::string old = std::string(kWorksheetBase) + "old";
  SetSettings(111, 0, 1, 0, 0);
  SaveWorksheet("old");
  WriteRaw(old, "Range", platform::kRegDword, {7, 0, 0, 0}, platform::Hive::kCurrentUser);
  LoadAfresh("old");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{-9, -9, -9, 7, -9}));
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kReadForUser), 1);
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kFailedRead), 4);
}

// A machine copy that takes some values but not all cannot hold the save: it
// goes whole to the current user. A user's copy the save cannot complete is
// left marked, and the machine's copy loads instead of a mix.
TEST_F(WorksheetTest, SaveThatCannotCompleteACopyNeverLoadsHalfOfIt) {
  const std::string key = std::string(kWorksheetBase) + "partial";
  ASSERT_EQ(TarnixPortable_FailOperation("RegSet", 2, 1), 1);  // the gain, in the machine's hive
  SetSettings(10, 1, 4, 0, 1);
  SaveWorksheet("partial");
  EXPECT_EQ(
      Strings(traces_.begin() + 1, traces_.end() - 1),
      (Strings{kWrite, kWrite, kWrite, "TARNIX:RegWriteNumber - Failed to write data to key\n",
               "TARNIX:RegWriteNumber - Earlier values also stored for the current user\n",
               kStoredForUser, kWrite, kAlsoStoredForUser, kWrite, kAlsoStoredForUser}));
  EXPECT_EQ(StoredNumber(key, "Gain", platform::Hive::kLocalMachine), std::nullopt);
  EXPECT_EQ(StoredNumber(key, "SerialNo", platform::Hive::kCurrentUser), 10);
  SetSettings(0, 0, -7, 0, 0);
  traces_.clear();
  LoadWorksheet("partial");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{10, 1, 4, 0, 1}));
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kReadForUser), 5);

  // Without rights, the user's gain cannot be written (the copy's mark comes
  // before the values): the copy stays unfinished and the machine's loads.
  ASSERT_EQ(TarnixPortable_FailOperation("MachineWrite", 0, -1), 1);
  ASSERT_EQ(TarnixPortable_FailOperation("RegSet", 3, 1), 1);
  SetSettings(20, 0, 9, 1, 0);
  traces_.clear();
  SaveWorksheet("partial");
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kStoredForUser), 4);
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(),
                       "TARNIX:DRV_SaveWorksheet - Current user's copy left unfinished\n"),
            1);
  TarnixPortable_ClearFaults();
  LoadAfresh("partial");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{10, 1, -9, 0, 1}));
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(),
                       "TARNIX:RegReadNumber - Read from the machine, the current user's save is "
                       "unfinished\n"),
            4);
}

// A nested name is a key below the worksheet's key, and creating it moves
// that key's last-write time; which copy of the worksheet loads stays as it
// was. A key that is only a nested name's parent is no copy.
TEST_F(WorksheetTest, NestedNameBelowAWorksheetDoesNotChangeWhichCopyLoads) {
  SaveBothCopies("proc0");
  SetSettings(7399, 0, 0, 0, 0);
  SaveWorksheet("proc0\\sheet0");
  LoadAfresh("proc0");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{7312, 1, 2, 3, 1}));

  WriteRaw(std::string(kWorksheetBase) + "proc0", "Mode", platform::kRegDword, {1, 0, 0, 0});
  SetSettings(7398, 0, 0, 0, 0);
  SaveWithoutRights("proc0\\sheet1");
  LoadAfresh("proc0");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{7300, 0, 0, 0, 1}));

  // "proc1" in the user's hive is only the parent of "proc1\sheet": the
  // machine's copy loads as it would alone, and a save with rights leaves
  // the parent without values.
  SetSettings(7400, 0, 0, 0, 0);
  SaveWorksheet("proc1");
  SaveWithoutRights("proc1\\sheet");
  SetSettings(7401, 0, 0, 0, 0);
  traces_.clear();
  SaveWorksheet("proc1");
  EXPECT_EQ(std::count(traces_.begin(), traces_.end(), kAlsoStoredForUser), 0);
  LoadAfresh("proc1");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{7401, 0, 0, 0, 0}));
  EXPECT_EQ(traces_.size(), 2u);
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
