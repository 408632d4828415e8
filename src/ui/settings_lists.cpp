// Setup dialog: the four settings lists (range, clock source, mode, gain).
//
// Each list is emptied, filled and then selects the current setting by its
// position, so a setting keeps its position when the user switches boards; a
// setting that is no position in the new list leaves the list unselected.
#include <cstdio>

#include "abi/board_api.h"
#include "core/driver_state.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "ui/resources.h"
#include "ui/setup_dialog.h"

namespace tarnix {

namespace {

constexpr const char* kRangeKindNames[] = {
    "Unipolar Single Ended",
    "Bipolar Single Ended",
    "Unipolar Differential",
    "Bipolar Differential",
};
constexpr int32_t kRangeKindCount =
    static_cast<int32_t>(sizeof kRangeKindNames / sizeof kRangeKindNames[0]);

// What a list shows for a range kind the table does not know.
constexpr const char* kUnknownRangeKind = "Unknown Range";

// The range and gain lists take the board selected in the board list anew.
void TakeSelectedBoard(platform::WindowHandle dialog) {
  g_state.boardIndex = platform::ComboSelected(dialog, IDC_BOARD_LIST);
  g_state.serialNo = VELQ_Query(velq::kLibrarySerial, velq::kBoardSerial, g_state.boardIndex);
}

}  // namespace

const char* RangeKindName(int32_t kind) {
  if (kind < 0 || kind >= kRangeKindCount) return kUnknownRangeKind;
  return kRangeKindNames[kind];
}

void FillADRange(platform::WindowHandle dialog) {
  platform::ComboReset(dialog, IDC_RANGE_LIST);
  Trace("TARNIX - FillADRange\n");
  TakeSelectedBoard(dialog);
  int32_t ranges = ListEntries(VELQ_Query(g_state.serialNo, velq::kRangeCount, 0));
  for (int32_t i = 0; i < ranges; ++i) {
    int32_t kind = VELQ_Query(g_state.serialNo, velq::kRangeKind, i);
    platform::ComboAdd(dialog, IDC_RANGE_LIST, RangeKindName(kind));
  }
  platform::ComboSelect(dialog, IDC_RANGE_LIST, g_state.range);
}

namespace {

// The clock-source and mode lists hold two fixed entries each; only their
// list, trace line, texts and current setting differ.
void FillTwoEntryList(platform::WindowHandle dialog, int listId, const char* traceLine,
                      const char* first, const char* second, int32_t selection) {
  platform::ComboReset(dialog, listId);
  Trace(traceLine);
  platform::ComboAdd(dialog, listId, first);
  platform::ComboAdd(dialog, listId, second);
  platform::ComboSelect(dialog, listId, selection);
}

}  // namespace

void FillClkSrc(platform::WindowHandle dialog) {
  FillTwoEntryList(dialog, IDC_CLOCK_LIST, "TARNIX - FillClkSrc\n", "Internal Clock",
                   "External Clock", g_state.clockSource);
}

void FillADMode(platform::WindowHandle dialog) {
  FillTwoEntryList(dialog, IDC_MODE_LIST, "TARNIX - FillADMode\n", "Normal Mode", "Burst Mode",
                   g_state.mode);
}

void FillADGain(platform::WindowHandle dialog) {
  platform::ComboReset(dialog, IDC_GAIN_LIST);
  Trace("TARNIX - FillADGain\n");
  TakeSelectedBoard(dialog);
  int32_t gains = ListEntries(VELQ_Query(g_state.serialNo, velq::kGainCount, 0));
  for (int32_t i = 0; i < gains; ++i) {
    int32_t span = VELQ_Query(g_state.serialNo, velq::kGainSpan, i);
    // The first figure is the same for every gain; the second is half the
    // span (signed division truncates toward zero, and span / 2 never
    // overflows).
    char text[40];
    std::snprintf(text, sizeof text, "+/-%d or +/-%d", 10000, span / 2);
    platform::ComboAdd(dialog, IDC_GAIN_LIST, text);
  }
  platform::ComboSelect(dialog, IDC_GAIN_LIST, g_state.gain);
}

void ReadDialogSettings(platform::WindowHandle dialog) {
  g_state.range = platform::ComboSelected(dialog, IDC_RANGE_LIST);
  g_state.clockSource = platform::ComboSelected(dialog, IDC_CLOCK_LIST);
  g_state.mode = platform::ComboSelected(dialog, IDC_MODE_LIST);
  g_state.gain = platform::ComboSelected(dialog, IDC_GAIN_LIST);
}

}  // namespace tarnix
