// Shared set-up of the worksheet and registry tests: a fresh driver state, a
// private registry file in a temporary directory, and the trace captured.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"
#include "platform/platform.h"

namespace tarnix::testing {

inline constexpr char kWorksheetBase[] = "Software\\Morvane\\VELQ\\Sorvik\\";

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
