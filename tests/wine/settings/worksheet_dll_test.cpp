// Worksheet settings of the real tarnix.dll in the system registry under
// Wine: what the module writes is read back with the registry API, what
// another program writes is what the module loads. The worksheet entries
// work in any state of the module; these tests hand over no record (so a
// load refills nothing), which keeps them independent of the device's
// opening and its splash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/velqsim.h"
#include "wine/support/harness.h"

namespace {

using winetest::Get;
using Strings = std::vector<std::string>;

using NameFn = int32_t(__stdcall*)(const char*);
using NoArgFn = int32_t(__stdcall*)();

const std::string kBase = "Software\\Morvane\\VELQ\\Sorvik\\";
const std::string kFailedOpen = "TARNIX:RegReadNumber - Failed to create/open key (2)\n";
const std::string kFailedRead = "TARNIX:RegReadNumber - Failed to read key\n";
const std::string kWrite = "TARNIX:RegWriteNumber\n";

const std::string kStoredForUser = "TARNIX:RegWriteNumber - Stored for the current user\n";
const std::string kReadForUser = "TARNIX:RegReadNumber - Read from the current user\n";
const std::string kReadFromChangedMachine =
    "TARNIX:RegReadNumber - Read from the machine, changed since the current user saved\n";

// Gives a key a DACL for everyone: every right, less `denied` when nonzero
// (a deny entry comes first, as the system orders them).
LONG SetEveryonesRights(HKEY root, const std::string& path, REGSAM denied) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key);
  if (status != ERROR_SUCCESS) return status;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  alignas(DWORD) BYTE aclBytes[256];
  auto* acl = reinterpret_cast<PACL>(aclBytes);
  InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
  if (denied != 0) AddAccessDeniedAce(acl, ACL_REVISION, denied, everyone);
  AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
  FreeSid(everyone);
  RegCloseKey(key);
  return status;
}

// Removes a key and everything below it (left over from an earlier run in
// the same prefix), whatever rights an earlier run left on it.
void DeleteTree(const std::string& path, HKEY root = HKEY_LOCAL_MACHINE) {
  SetEveryonesRights(root, path, 0);
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  std::vector<std::string> children;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    children.emplace_back(name, length);
  }
  RegCloseKey(key);
  for (const std::string& child : children) DeleteTree(path + "\\" + child, root);
  RegDeleteKeyA(root, path.c_str());
}

void SetValue(const std::string& sheet, const char* name, DWORD type,
              const std::vector<uint8_t>& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kBase + sheet).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

std::vector<uint8_t> Dword(int32_t value) {
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

struct StoredValue {
  std::string name;  // as spelled in the registry
  DWORD type = 0;
  std::vector<uint8_t> data;
};

// Every value of a worksheet key, read with the registry API.
std::vector<StoredValue> ValuesOf(const std::string& sheet, HKEY root = HKEY_LOCAL_MACHINE) {
  std::vector<StoredValue> values;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, (kBase + sheet).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    uint8_t data[64];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) {
      break;
    }
    values.push_back(
        {std::string(name, nameLength), type, std::vector<uint8_t>(data, data + size)});
  }
  RegCloseKey(key);
  std::sort(values.begin(), values.end(),
            [](const StoredValue& a, const StoredValue& b) { return a.name < b.name; });
  return values;
}

// The module's debug lines since the last take, without the process-entry
// lines that every thread Wine starts or ends in this process brings.
Strings Traces() {
  Strings lines;
  for (std::string& line : winetest::TakeTraces()) {
    if (line.rfind("TARNIX:DllMain", 0) != 0) lines.push_back(std::move(line));
  }
  return lines;
}

std::string Settings(int32_t serial, int32_t clock, int32_t gain, int32_t range, int32_t mode) {
  return "SerialNo = " + std::to_string(serial) + ", ClkSrc = " + std::to_string(clock) +
         ", Gain = " + std::to_string(gain) + ", Range = " + std::to_string(range) +
         ", Mode = " + std::to_string(mode);
}

class WorksheetDll : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    winetest::Tarnix();  // loaded before any capture starts
    serial_ = VELQ_Query(1000000000, 15, 0);
  }
  void SetUp() override {
    for (const char* sheet :
         {"wine seed", "wine bench", "wine neutral", "wine never saved", "wine foreign",
          "wine volatile", "wine new", "wine denied", "wine missing"}) {
      DeleteTree(kBase + sheet);
      DeleteTree(kBase + sheet, HKEY_CURRENT_USER);
    }
    winetest::StartTraceCapture();
  }
  void TearDown() override { winetest::StopTraceCapture(); }

  // Sets the five values of a worksheet's key in the machine's hive, as an
  // administrator's tool would.
  static void SetMachineCopy(const std::string& sheet, int32_t serial, int32_t clock, int32_t gain,
                             int32_t range, int32_t mode) {
    SetValue(sheet, "SerialNo", REG_DWORD, Dword(serial));
    SetValue(sheet, "ClockSource", REG_DWORD, Dword(clock));
    SetValue(sheet, "Gain", REG_DWORD, Dword(gain));
    SetValue(sheet, "Range", REG_DWORD, Dword(range));
    SetValue(sheet, "Mode", REG_DWORD, Dword(mode));
  }

  // Puts the module into a known state by loading a worksheet seeded here.
  void LoadState(int32_t serial, int32_t clock, int32_t gain, int32_t range, int32_t mode) {
    SetMachineCopy("wine seed", serial, clock, gain, range, mode);
    ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine seed"), 1);
    Strings traces = Traces();
    ASSERT_EQ(traces.size(), 2u) << ::testing::PrintToString(traces);
    ASSERT_EQ(traces[1],
              "TARNIX:DRV_LoadWorksheet - " + Settings(serial, clock, gain, range, mode));
  }

  static int32_t serial_;
};

int32_t WorksheetDll::serial_ = 0;

TEST_F(WorksheetDll, SaveWritesFiveDwordsThatLoadBringsBack) {
  LoadState(serial_, 1, -1, 1, -1);

  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine bench"), 1);
  EXPECT_EQ(
      Traces(),
      (Strings{"TARNIX:DRV_SaveWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\wine bench",
               kWrite, kWrite, kWrite, kWrite, kWrite,
               "TARNIX:DRV_SaveWorksheet - " + Settings(serial_, 1, -1, 1, -1)}));

  std::vector<StoredValue> stored = ValuesOf("wine bench");
  ASSERT_EQ(stored.size(), 5u);
  const std::vector<std::pair<std::string, int32_t>> expected = {
      {"ClockSource", 1}, {"Gain", -1}, {"Mode", -1}, {"Range", 1}, {"SerialNo", serial_}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(stored[i].name, expected[i].first);
    EXPECT_EQ(stored[i].type, static_cast<DWORD>(REG_DWORD)) << stored[i].name;
    EXPECT_EQ(stored[i].data, Dword(expected[i].second)) << stored[i].name;
  }

  LoadState(0, 0, 0, 0, 0);
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine bench"), 1);
  // Without a record nothing is refilled: the two lines and no more.
  EXPECT_EQ(
      Traces(),
      (Strings{"TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\wine bench",
               "TARNIX:DRV_LoadWorksheet - " + Settings(serial_, 1, -1, 1, -1)}));
}

TEST_F(WorksheetDll, NeverSavedNameAndValuesOfOtherProgramsLoadAsTheSystemRegistrySays) {
  LoadState(serial_, 0, 1, 0, 1);
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine never saved"), 1);
  Strings traces = Traces();
  ASSERT_EQ(traces.size(), 7u);
  EXPECT_EQ(Strings(traces.begin() + 1, traces.end()),
            (Strings{kFailedOpen, kFailedOpen, kFailedOpen, kFailedOpen, kFailedOpen,
                     "TARNIX:DRV_LoadWorksheet - " + Settings(serial_, 0, 1, 0, 1)}));

  // Lower-case name, text data, too-short binary data, two values missing.
  SetValue("wine foreign", "serialno", REG_DWORD, Dword(4711));
  SetValue("wine foreign", "ClockSource", REG_SZ, {'1', '2', '3', '4', 0});
  SetValue("wine foreign", "Gain", REG_BINARY, {0x07, 0x00});
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("Wine Foreign"), 1);
  traces = Traces();
  ASSERT_GE(traces.size(), 5u);
  EXPECT_EQ(Strings(traces.begin() + 1, traces.begin() + 5),
            (Strings{kFailedRead, kFailedRead, kFailedRead,
                     "TARNIX:DRV_LoadWorksheet - " + Settings(4711, 875770417, 1, 0, 1)}));
}

// The system refuses an ordinary key below a volatile one. With such a
// parent in both hives the worksheet can be stored nowhere.
TEST_F(WorksheetDll, KeyThatCanBeCreatedInNeitherHiveStoresNothing) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    // The keys on the way are made ordinary first: created along with the
    // volatile one they would be volatile too, and later worksheets could
    // not be stored below them.
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(root, kBase.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(root, (kBase + "wine volatile").c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  LoadState(serial_, 1, 1, 1, 1);
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine volatile\\child"), 1);
  Strings expected{
      "TARNIX:DRV_SaveWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\wine volatile\\child"};
  for (int i = 0; i < 5; ++i) {
    expected.push_back(kWrite);
    expected.push_back("TARNIX:RegWriteNumber - Failed to create/open key\n");
  }
  expected.push_back("TARNIX:DRV_SaveWorksheet - " + Settings(serial_, 1, 1, 1, 1));
  EXPECT_EQ(Traces(), expected);
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY key = nullptr;
    EXPECT_NE(
        RegOpenKeyExA(root, (kBase + "wine volatile\\child").c_str(), 0, KEY_QUERY_VALUE, &key),
        ERROR_SUCCESS);
  }
}

// Whether the current user may write the machine's key of a worksheet: a
// security descriptor that denies everyone setting values and creating
// sub-keys makes a user without administrator rights of this process.
void AllowMachineWrites(const std::string& sheet, bool allowed) {
  ASSERT_EQ(SetEveryonesRights(HKEY_LOCAL_MACHINE, kBase + sheet,
                               allowed ? 0 : KEY_SET_VALUE | KEY_CREATE_SUB_KEY),
            ERROR_SUCCESS);
  HKEY probe = nullptr;
  LONG status =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kBase + sheet).c_str(), 0, KEY_SET_VALUE, &probe);
  if (status == ERROR_SUCCESS) RegCloseKey(probe);
  ASSERT_EQ(status, allowed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED)
      << "the system does not do as the descriptor says";
}

void DeleteValue(HKEY root, const std::string& sheet, const char* name) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(root, (kBase + sheet).c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, name), ERROR_SUCCESS) << name;
  RegCloseKey(key);
}

Strings LoadLines(const std::string& sheet, const std::string& readLine,
                  const std::string& settings) {
  return {"TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\" + sheet,
          readLine,
          readLine,
          readLine,
          readLine,
          readLine,
          "TARNIX:DRV_LoadWorksheet - " + settings};
}

// A user who may not write the machine's key saves to the same path in the
// current user's hive, and that copy loads, whole, for as long as it is the
// one saved last: an administrator's later change of the machine's copy
// wins over it, and a later save by the user wins back, even one that
// rewrites exactly the data the user's copy holds. Neither a nested name
// saved below the machine's key nor anything else that moves the key's
// last-write time changes that.
TEST_F(WorksheetDll, MachineKeyDenyingWritesStoresForTheCurrentUserUntilALaterSave) {
  LoadState(serial_, 0, 0, 0, 0);
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine denied"), 1);
  Traces();
  AllowMachineWrites("wine denied", false);

  LoadState(serial_, 1, -1, 1, -1);
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine denied"), 1);
  Strings expected{
      "TARNIX:DRV_SaveWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\wine denied"};
  for (int i = 0; i < 5; ++i) {
    expected.push_back(kWrite);
    expected.push_back("TARNIX:RegWriteNumber - Failed to create/open key\n");
    expected.push_back(kStoredForUser);
  }
  expected.push_back("TARNIX:DRV_SaveWorksheet - " + Settings(serial_, 1, -1, 1, -1));
  EXPECT_EQ(Traces(), expected);
  // Five values and the record in the user's copy; the machine's as it was.
  std::vector<StoredValue> user = ValuesOf("wine denied", HKEY_CURRENT_USER);
  ASSERT_EQ(user.size(), 6u);
  EXPECT_EQ(user[1].name, "Gain");
  EXPECT_EQ(user[1].type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(user[1].data, Dword(-1));
  std::vector<StoredValue> machine = ValuesOf("wine denied");
  EXPECT_EQ(machine.size(), 5u);
  for (const StoredValue& value : machine) {
    EXPECT_EQ(value.data, Dword(value.name == "SerialNo" ? serial_ : 0)) << value.name;
  }
  const std::string userSet = Settings(serial_, 1, -1, 1, -1);
  LoadState(0, 0, 0, 0, 0);
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine denied"), 1);
  EXPECT_EQ(Traces(), LoadLines("wine denied", kReadForUser, userSet));

  // A nested name saved below the machine's key.
  AllowMachineWrites("wine denied", true);
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine denied\\nested"), 1);
  Traces();
  LoadState(0, 0, 0, 0, 0);
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine denied"), 1);
  EXPECT_EQ(Traces(), LoadLines("wine denied", kReadForUser, userSet));

  // An administrator's later change.
  SetMachineCopy("wine denied", 7323, 0, 0, 0, 0);
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine denied"), 1);
  EXPECT_EQ(Traces(),
            LoadLines("wine denied", kReadFromChangedMachine, Settings(7323, 0, 0, 0, 0)));

  // The user's save after it, of the set the user's copy already holds.
  AllowMachineWrites("wine denied", false);
  LoadState(serial_, 1, -1, 1, -1);
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine denied"), 1);
  Traces();
  LoadState(0, 0, 0, 0, 0);
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine denied"), 1);
  EXPECT_EQ(Traces(), LoadLines("wine denied", kReadForUser, userSet));

  // A later save with the right to write: the user's copy follows it.
  AllowMachineWrites("wine denied", true);
  LoadState(serial_, 0, 1, 0, 1);
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine denied"), 1);
  Strings traces = Traces();
  EXPECT_EQ(std::count(traces.begin(), traces.end(),
                       "TARNIX:RegWriteNumber - Also stored for the current user\n"),
            5);
  LoadState(0, 0, 0, 0, 0);
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine denied"), 1);
  traces = Traces();
  ASSERT_FALSE(traces.empty());
  EXPECT_EQ(traces.back(), "TARNIX:DRV_LoadWorksheet - " + Settings(serial_, 0, 1, 0, 1));
}

// A value missing from the copy that loads keeps its field: it is never
// taken from the other copy.
TEST_F(WorksheetDll, CopyMissingAValueIsNeverFilledFromTheOther) {
  SetMachineCopy("wine missing", 7300, 0, 0, 0, 0);
  AllowMachineWrites("wine missing", false);
  LoadState(7312, 1, 2, 3, 1);
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine missing"), 1);
  Traces();
  DeleteValue(HKEY_CURRENT_USER, "wine missing", "Range");
  LoadState(9, 9, 9, 9, 9);
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine missing"), 1);
  EXPECT_EQ(
      Traces(),
      (Strings{"TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\wine missing",
               kReadForUser, kReadForUser, kReadForUser, kFailedRead, kReadForUser,
               "TARNIX:DRV_LoadWorksheet - " + Settings(7312, 1, 2, 9, 1)}));

  // The machine's copy, changed since, without its gain.
  AllowMachineWrites("wine missing", true);
  DeleteValue(HKEY_LOCAL_MACHINE, "wine missing", "Gain");
  ASSERT_EQ(Get<NameFn>("DRV_LoadWorksheet")("wine missing"), 1);
  EXPECT_EQ(
      Traces(),
      (Strings{"TARNIX:DRV_LoadWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\wine missing",
               kReadFromChangedMachine, kReadFromChangedMachine, kFailedRead,
               kReadFromChangedMachine, kReadFromChangedMachine,
               "TARNIX:DRV_LoadWorksheet - " + Settings(7300, 0, 2, 0, 0)}));
}

TEST_F(WorksheetDll, NewWorksheetTouchesNeitherSettingsNorRegistry) {
  LoadState(serial_, 1, 0, 1, 0);
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine new"), 1);
  Traces();
  std::vector<StoredValue> storedBefore = ValuesOf("wine new");

  EXPECT_EQ(Get<NoArgFn>("DRV_NewWorksheet")(), 1);
  EXPECT_EQ(Traces(), Strings{"TARNIX:DRV_NewWorksheet\n"});
  std::vector<StoredValue> storedAfter = ValuesOf("wine new");
  ASSERT_EQ(storedAfter.size(), storedBefore.size());
  for (std::size_t i = 0; i < storedAfter.size(); ++i) {
    EXPECT_EQ(storedAfter[i].data, storedBefore[i].data) << storedAfter[i].name;
  }
  // The settings are still those loaded before.
  ASSERT_EQ(Get<NameFn>("DRV_SaveWorksheet")("wine new"), 1);
  Strings traces = Traces();
  ASSERT_FALSE(traces.empty());
  EXPECT_EQ(traces.back(), "TARNIX:DRV_SaveWorksheet - " + Settings(serial_, 1, 0, 1, 0));
}

}  // namespace
