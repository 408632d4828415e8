// Setup dialog: the "API Information" group, the board list and the
// "Board Information" group.
#include <cstdio>

#include "abi/board_api.h"
#include "core/driver_state.h"
#include "platform/platform.h"
#include "ui/resources.h"
#include "ui/setup_dialog.h"

namespace tarnix {

namespace {

// Formats one number into a control; the buffer holds any 32-bit value.
void SetNumber(platform::WindowHandle dialog, int controlId, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  platform::SetControlText(dialog, controlId, text);
}

}  // namespace

void ShowApiInfo(platform::WindowHandle dialog) {
  // The library version was written into the record by the last description
  // fill; a text that fills all 40 bytes has no terminator there.
  char apiVersion[41] = {};
  RecordRef record = Record();
  if (record.valid()) {
    for (int i = 0; i < 40; ++i) {
      apiVersion[i] = static_cast<char>(record.get<uint8_t>(TARNIX_RECORD(apiVersionText) + i));
    }
  }
  platform::SetControlText(dialog, IDC_API_VERSION, apiVersion);

  g_state.boardCount = VELQ_Query(velq::kLibrarySerial, velq::kBoardCount, 0);
  SetNumber(dialog, IDC_BOARD_COUNT, g_state.boardCount);

  int32_t system = VELQ_Query(velq::kLibrarySerial, velq::kOperatingSystem, 0);
  platform::SetControlText(dialog, IDC_OPERATING_SYSTEM,
                           system == 1 ? "Windows 95/98" : "Windows NT");
}

void FillBoardList(platform::WindowHandle dialog) {
  platform::ComboReset(dialog, IDC_BOARD_LIST);
  int32_t boards = ListEntries(g_state.boardCount);
  for (int32_t i = 0; i < boards; ++i) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", VELQ_Query(velq::kLibrarySerial, velq::kBoardSerial, i));
    platform::ComboAdd(dialog, IDC_BOARD_LIST, text);
    platform::ComboSelect(dialog, IDC_BOARD_LIST, g_state.boardIndex);
  }
}

void ShowBoardInfo(platform::WindowHandle dialog) {
  g_state.boardIndex = platform::ComboSelected(dialog, IDC_BOARD_LIST);
  g_state.serialNo = VELQ_Query(velq::kLibrarySerial, velq::kBoardSerial, g_state.boardIndex);
  const int32_t serial = g_state.serialNo;

  g_state.boardType = VELQ_Query(serial, velq::kBoardType, 0);
  int32_t revision = VELQ_Query(serial, velq::kRevision, 0);
  int32_t date14 = VELQ_Query(serial, velq::kDatePart14, 0);
  int32_t date13 = VELQ_Query(serial, velq::kDatePart13, 0);
  int32_t date12 = VELQ_Query(serial, velq::kDatePart12, 0);

  // One byte more than the library's 40, always terminated, in case the
  // library fills the whole buffer.
  char name[velq::kBoardNameBytes + 1] = {};
  VELQ_StrBoardName(serial, name);
  name[velq::kBoardNameBytes] = '\0';
  platform::SetControlText(dialog, IDC_BOARD_NAME, name);

  SetNumber(dialog, IDC_BOARD_TYPE, g_state.boardType);
  SetNumber(dialog, IDC_BOARD_REVISION, revision);
  char date[40];
  std::snprintf(date, sizeof date, "%d/%d/%d", date14, date13, date12);
  platform::SetControlText(dialog, IDC_BOARD_DATE, date);

  int32_t build = VELQ_Query(serial, velq::kBoardVersionBuild, 0);
  int32_t minor = VELQ_Query(serial, velq::kBoardVersionMinor, 0);
  int32_t major = VELQ_Query(serial, velq::kBoardVersionMajor, 0);
  char version[40];
  std::snprintf(version, sizeof version, "%d.%d.%d", major, minor, build);
  RecordRef record = Record();
  if (record.valid()) record.setText(TARNIX_RECORD(boardVersionText), 40, version);

  FillADRange(dialog);
  FillClkSrc(dialog);
  FillADMode(dialog);
  FillADGain(dialog);
}

}  // namespace tarnix
