// Shared set-up of the regression tests for inputs the fuzz target found: a
// freshly loaded module, a host record of the size hosts allocate, the
// default simulated boards on a virtual clock, a private registry file, and
// the module's trace kept for the failure messages.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "abi/device_record.h"
#include "abi/driver_exports.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "core/driver_state.h"
#include "platform/platform.h"

namespace tarnix::hardening {

class HardeningTest : public ::testing::Test {
 protected:
  static constexpr std::size_t kHostRecordBytes = 32768;

  void SetUp() override {
    const platform::ModuleHandle module = g_state.moduleHandle;
    g_state = DriverState{};
    g_state.moduleHandle = module;
    ASSERT_EQ(VELQSIM_Reset(), 0);
    VELQSIM_SetClock(kVelqSimVirtual);
    TarnixPortable_ClearFaults();
    TarnixPortable_ClearDialogScript();
    TarnixPortable_SetVirtualClock(1);
    TarnixPortable_SetTraceToStderr(0);
    TarnixPortable_SetMessageBoxToStderr(0);
    TarnixPortable_SetTraceHook(
        [](const char* text, void* self) { static_cast<HardeningTest*>(self)->trace_ += text; },
        this);
    // Below TMPDIR, which ctest points into the build folder.
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnix-hardening-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    TarnixPortable_SetRegistryPath((dir_ + "/registry.sqlite3").c_str());
    record_.assign(kHostRecordBytes, 0);
    Set<int16_t>(TARNIX_RECORD(structVersion), kHostStructVersion);
  }

  void TearDown() override {
    platform::GlobalRelease(g_state.hostBuffer);
    platform::GlobalRelease(g_state.localBuffer);
    g_state.hostBuffer = nullptr;
    g_state.localBuffer = nullptr;
    EXPECT_EQ(TarnixPortable_LiveBlocks(), 0) << "global memory the module lost track of";
    TarnixPortable_SetTraceHook(nullptr, nullptr);
    TarnixPortable_SetTraceToStderr(1);
    TarnixPortable_SetMessageBoxToStderr(1);
    TarnixPortable_ClearFaults();
    TarnixPortable_SetRegistryPath(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  template <typename T>
  T Get(std::size_t offset) const {
    T value;
    std::memcpy(&value, record_.data() + offset, sizeof value);
    return value;
  }
  template <typename T>
  void Set(std::size_t offset, T value) {
    std::memcpy(record_.data() + offset, &value, sizeof value);
  }

  // Opened as the host does it, with its usual settings.
  void Open() {
    ASSERT_EQ(DRV_InitDevice(record_.data()), 1) << trace_;
    Set<uint16_t>(TARNIX_RECORD(adChannelMask), 0x3);
    Set<double>(TARNIX_RECORD(sampleRate), 1000.0);
  }

  // Samples a block address really holds, from the global-memory block.
  static uint32_t SamplesHeld(const int16_t* block) {
    return platform::GlobalBlockSize(block) / sizeof(int16_t);
  }

  std::vector<uint8_t> record_;
  std::string trace_;
  std::string dir_;
};

}  // namespace tarnix::hardening
