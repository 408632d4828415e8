// Shared set-up of the worksheet and registry tests: a fresh driver state, a
// private registry file in a temporary directory, and the trace captured.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"
#include "platform/platform.h"

namespace tarnix::testing {

inline constexpr char kWorksheetBase[] = "Software\\Morvane\\VELQ\\Sorvik\\";

using Strings = std::vector<std::string>;

inline const std::string kFailedRead = "TARNIX:RegReadNumber - Failed to read key\n";
inline const std::string kWrite = "TARNIX:RegWriteNumber\n";

inline std::string LoadLine(const char* settings) {
  return std::string("TARNIX:DRV_LoadWorksheet - ") + settings;
}
inline std::string SaveLine(const char* settings) {
  return std::string("TARNIX:DRV_SaveWorksheet - ") + settings;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ModuleHandle module = g_state.moduleHandle;
    g_state = DriverState{};
    g_state.moduleHandle = module;
    VELQSIM_Reset();
    TarnixPortable_ClearFaults();
    TarnixPortable_SetRegistryReadOnly(0);
    // Below TMPDIR, which ctest points into the build folder.
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnix-registry-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    storePath_ = dir_ + "/registry.sqlite3";
    TarnixPortable_SetRegistryPath(storePath_.c_str());
    TarnixPortable_SetTraceToStderr(0);
    TarnixPortable_SetTraceHook(
        [](const char* text, void* context) {
          static_cast<std::vector<std::string>*>(context)->push_back(text);
        },
        &traces_);
  }

  void TearDown() override {
    TarnixPortable_SetTraceHook(nullptr, nullptr);
    TarnixPortable_SetTraceToStderr(1);
    TarnixPortable_ClearFaults();
    TarnixPortable_SetRegistryReadOnly(0);
    TarnixPortable_SetRegistryPath(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Raw value as stored: type and bytes; false when the key or value is
  // missing.
  static bool ReadRaw(const std::string& path, const char* name, uint32_t* type,
                      std::vector<uint8_t>* data,
                      platform::Hive hive = platform::Hive::kLocalMachine) {
    platform::RegistryKey key = nullptr;
    if (platform::RegOpen(path.c_str(), platform::kKeyQueryValue, &key, hive) != platform::kRegOk) {
      return false;
    }
    uint32_t size = 0;
    bool ok = platform::RegQuery(key, name, type, nullptr, &size) == platform::kRegOk;
    if (ok) {
      data->assign(size, 0);
      ok = platform::RegQuery(key, name, type, data->data(), &size) == platform::kRegOk;
    }
    platform::RegClose(key);
    return ok;
  }

  // Stores a value as another tool would.
  static void WriteRaw(const std::string& path, const char* name, uint32_t type,
                       const std::vector<uint8_t>& data,
                       platform::Hive hive = platform::Hive::kLocalMachine) {
    platform::RegistryKey key = nullptr;
    ASSERT_EQ(platform::RegCreate(path.c_str(), platform::kKeyAllAccess, &key, hive),
              platform::kRegOk);
    EXPECT_EQ(platform::RegSet(key, name, type, data.data(), static_cast<uint32_t>(data.size())),
              platform::kRegOk);
    platform::RegClose(key);
  }

  // Deletes a value as another tool would: the platform has no call for it,
  // so straight from the store's tables, the key found by its path.
  void DeleteRaw(const std::string& path, const char* name,
                 platform::Hive hive = platform::Hive::kLocalMachine) {
    platform::RegistryKey probe = nullptr;
    ASSERT_EQ(platform::RegOpen(path.c_str(), platform::kKeyQueryValue, &probe, hive),
              platform::kRegOk);
    platform::RegClose(probe);
    TarnixPortable_SetRegistryPath(storePath_.c_str());  // closes the module's connection
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(storePath_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    int64_t key = hive == platform::Hive::kCurrentUser ? -1 : 0;
    std::stringstream parts(path);
    for (std::string part; std::getline(parts, part, '\\');) {
      sqlite3_stmt* find = nullptr;
      sqlite3_prepare_v2(db, "SELECT id FROM reg_key WHERE parent = ?1 AND folded = lower(?2)", -1,
                         &find, nullptr);
      sqlite3_bind_int64(find, 1, key);
      sqlite3_bind_text(find, 2, part.c_str(), -1, SQLITE_TRANSIENT);
      ASSERT_EQ(sqlite3_step(find), SQLITE_ROW) << part;
      key = sqlite3_column_int64(find, 0);
      sqlite3_finalize(find);
    }
    sqlite3_stmt* drop = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM reg_value WHERE key = ?1 AND folded = lower(?2)", -1, &drop,
                       nullptr);
    sqlite3_bind_int64(drop, 1, key);
    sqlite3_bind_text(drop, 2, name, -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(drop), SQLITE_DONE);
    EXPECT_EQ(sqlite3_changes(db), 1) << name << " was not there";
    sqlite3_finalize(drop);
    sqlite3_close_v2(db);
  }

  static void SetSettings(int32_t serial, int32_t clock, int32_t gain, int32_t range,
                          int32_t mode) {
    g_state.serialNo = serial;
    g_state.clockSource = clock;
    g_state.gain = gain;
    g_state.range = range;
    g_state.mode = mode;
  }

  // The number stored in a value, or nullopt when there is none.
  static std::optional<int32_t> StoredNumber(const std::string& path, const char* name,
                                             platform::Hive hive) {
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!ReadRaw(path, name, &type, &data, hive) || type != platform::kRegDword ||
        data.size() != 4) {
      return std::nullopt;
    }
    return static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                static_cast<uint32_t>(data[3]) << 24);
  }

  static std::vector<int32_t> Settings() {
    return {g_state.serialNo, g_state.clockSource, g_state.gain, g_state.range, g_state.mode};
  }

  std::string dir_;
  std::string storePath_;
  std::vector<std::string> traces_;
};

}  // namespace tarnix::testing
