// Opening and closing the device, and explaining the last error to the user.
#include "core/lifecycle.h"

#include <cstdint>
#include <cstdio>

#include "abi/board_api.h"
#include "acquire/buffers.h"
#include "core/driver_state.h"
#include "core/messages.h"
#include "core/trace.h"
#include "describe/fill_info.h"
#include "platform/platform.h"
#include "ui/dialogs.h"
#include "ui/resources.h"

namespace tarnix {

namespace {

// The board library versions this module was written against: 3.5.x from
// build 3 on.
constexpr int32_t kApiMajor = 3;
constexpr int32_t kApiMinor = 5;
constexpr int32_t kApiMinBuild = 3;

constexpr int16_t kInitWord = 2;
constexpr double kPresetSampleRate = 1000.0;
constexpr int32_t kPresetBlockSize = 256;
constexpr int kDriverNameLimit = 60;

// Asked in order major, minor, build; the first mismatch ends the check.
bool LibraryVersionAccepted() {
  if (VELQ_Query(velq::kLibrarySerial, velq::kVersionMajor, 0) != kApiMajor) return false;
  if (VELQ_Query(velq::kLibrarySerial, velq::kVersionMinor, 0) != kApiMinor) return false;
  return VELQ_Query(velq::kLibrarySerial, velq::kVersionBuild, 0) >= kApiMinBuild;
}

// String id explaining a code the module itself stored.
unsigned MessageForCode(int32_t code) {
  switch (code) {
    case -104:
      return IDS_WRONG_BLOCK_SIZE;
    case -103:
      return IDS_NO_CHANNEL;
    case -102:
      return IDS_WRONG_RATE;
    case -101:
      return IDS_NOT_SUPPORTED;
    case -100:
      return IDS_AD_BUSY;
    case 16:
      return IDS_RATE_CHANGED;
    case 17:
      return IDS_CHANNELS_CHANGED;
    default:
      return IDS_UNKNOWN_ERROR;
  }
}

}  // namespace

int32_t InitDevice(void* record) {
  DriverState& s = g_state;
  Trace("TARNIX:DRV_InitDevice\n");
  ShowSplash();
  // Once initialised, the first record stays the module's for good.
  if (s.initialized != 0) return 0;

  s.deviceRecord = record;
  if (!LibraryVersionAccepted()) {
    ShowMessage(IDS_WRONG_API_VERSION);
    return 0;
  }
  // A missing record cannot carry the right version either.
  RecordRef rec = Record();
  if (!rec.valid() || rec.get<int16_t>(TARNIX_RECORD(structVersion)) != kHostStructVersion) {
    ShowMessage(IDS_WRONG_HOST_VERSION);
    return 0;
  }
  s.boardCount = VELQ_Query(velq::kLibrarySerial, velq::kBoardCount, 0);
  if (s.boardCount < 1) {
    ShowMessage(IDS_NO_BOARDS);
    return 0;
  }
  s.serialNo = VELQ_Query(velq::kLibrarySerial, velq::kBoardSerial, 0);
  s.boardType = VELQ_Query(s.serialNo, velq::kBoardType, 0);

  char name[kDriverNameLimit];
  platform::LoadText(s.moduleHandle, IDS_DRIVER_NAME, name, kDriverNameLimit);
  rec.setText(TARNIX_RECORD(driverName), sizeof(DeviceRecord::driverName), name);
  rec.set<int16_t>(TARNIX_RECORD(initWord), kInitWord);

  s.initialized = static_cast<int16_t>(SetInputBufferSize(0));
  FillInfoStruct();
  rec.set<double>(TARNIX_RECORD(sampleRate), kPresetSampleRate);
  rec.set<int32_t>(TARNIX_RECORD(blockSize), kPresetBlockSize);
  return s.initialized;
}

int32_t KillDevice() {
  Trace("TARNIX - DRV_KillDevice\n");
  // A running scan is not stopped here, and the host buffer survives it
  // (KillBuffer keeps it while busy); the record stays known.
  KillBuffer();
  FreeLocalBuffer();
  g_state.serialNo = 0;
  return 1;
}

int32_t ShowError() {
  DriverState& s = g_state;
  RecordRef record = Record();
  // No record, no code to explain.
  if (!record.valid()) return 1;

  const int32_t code = record.get<int32_t>(TARNIX_RECORD(errorCode));
  if (code <= velq::kStatusToErrorCode) {
    // The library's own text; it is asked to terminate within 80 bytes, and
    // the last byte is forced in case it does not.
    char libraryText[velq::kErrorTextBytes] = {};
    VELQ_StrError(code - velq::kStatusToErrorCode, libraryText);
    libraryText[sizeof libraryText - 1] = '\0';
    std::snprintf(s.textBuffer, sizeof s.textBuffer, "%s", libraryText);
  } else {
    platform::LoadText(s.moduleHandle, MessageForCode(code), s.loadBuffer, sizeof s.loadBuffer);
    std::snprintf(s.textBuffer, sizeof s.textBuffer, "%s", s.loadBuffer);
  }
  platform::LoadText(s.moduleHandle, IDS_DRIVER_NAME, s.loadBuffer, sizeof s.loadBuffer);
  std::snprintf(s.captionBuffer, sizeof s.captionBuffer, "%s", s.loadBuffer);
  platform::ErrorBox(platform::ActiveWindow(), s.textBuffer, s.captionBuffer);
  return 1;
}

}  // namespace tarnix
