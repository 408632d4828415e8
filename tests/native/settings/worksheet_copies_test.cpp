// A worksheet with a copy in the machine's and in the current user's hive:
// which copy a save makes, which one a load takes, and never a mix of both.
#include <algorithm>

#include "settings/worksheet.h"
#include "settings_fixture.h"

namespace tarnix::testing {
namespace {

const std::string kStoredForUser = "TARNIX:RegWriteNumber - Stored for the current user\n";
const std::string kAlsoStoredForUser = "TARNIX:RegWriteNumber - Also stored for the current user\n";
const std::string kReadForUser = "TARNIX:RegReadNumber - Read from the current user\n";
const std::string kReadFromChangedMachine =
    "TARNIX:RegReadNumber - Read from the machine, changed since the current user saved\n";
// The one value a user's copy holds beyond the five.
constexpr char kRecordName[] = "MachineCopyAtSave";

class WorksheetCopiesTest : public RegistryTest {
 protected:
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

// A user who is no administrator cannot write the machine's hive: the save
// lands whole in the current user's hive under the same path, with one more
// value there and none in the machine's copy, and loads from there.
TEST_F(WorksheetCopiesTest, MachineHiveThatCannotBeWrittenStoresForTheCurrentUser) {
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
TEST_F(WorksheetCopiesTest, CopyInBothHivesLoadsWholeFromTheOneSavedLast) {
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
TEST_F(WorksheetCopiesTest, CopyMissingAValueIsNeverFilledFromTheOther) {
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
TEST_F(WorksheetCopiesTest, SaveThatCannotCompleteACopyNeverLoadsHalfOfIt) {
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
TEST_F(WorksheetCopiesTest, NestedNameBelowAWorksheetDoesNotChangeWhichCopyLoads) {
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

}  // namespace
}  // namespace tarnix::testing
