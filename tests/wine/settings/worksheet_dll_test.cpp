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

// Removes a key and everything below it (left over from an earlier run in
// the same prefix).
void DeleteTree(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return;
  }
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
  for (const std::string& child : children) DeleteTree(path + "\\" + child);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
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
std::vector<StoredValue> ValuesOf(const std::string& sheet) {
  std::vector<StoredValue> values;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kBase + sheet).c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
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
    for (const char* sheet : {"wine seed", "wine bench", "wine neutral", "wine never saved",
                              "wine foreign", "wine volatile", "wine new"}) {
      DeleteTree(kBase + sheet);
    }
    winetest::StartTraceCapture();
  }
  void TearDown() override { winetest::StopTraceCapture(); }

  // Puts the module into a known state by loading a worksheet seeded here.
  void LoadState(int32_t serial, int32_t clock, int32_t gain, int32_t range, int32_t mode) {
    SetValue("wine seed", "SerialNo", REG_DWORD, Dword(serial));
    SetValue("wine seed", "ClockSource", REG_DWORD, Dword(clock));
    SetValue("wine seed", "Gain", REG_DWORD, Dword(gain));
    SetValue("wine seed", "Range", REG_DWORD, Dword(range));
    SetValue("wine seed", "Mode", REG_DWORD, Dword(mode));
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

TEST_F(WorksheetDll, KeyThatCannotBeCreatedStoresNothing) {
  // The system refuses an ordinary key below a volatile one.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kBase + "wine volatile").c_str(), 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
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
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kBase + "wine volatile\\child").c_str(), 0,
                          KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
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
