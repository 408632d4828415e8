// The hardware setup dialog (template 101) and the about box (template 103):
// their procedures and the routines that fill the setup dialog's controls.
//
// Every routine works on the dialog's window handle and on g_state. Board
// library answers are used as they come; nothing here reports a failure.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace tarnix {

// Dialog procedure of the setup dialog: fills it on initialisation, follows
// board picks at once, takes the four settings over on OK only.
intptr_t TARNIX_WINAPI SetupDialogProc(platform::WindowHandle dialog, uint32_t message,
                                       uintptr_t wparam, intptr_t lparam);
// Dialog procedure of the about box: OK closes it and refills the record.
intptr_t TARNIX_WINAPI AboutDialogProc(platform::WindowHandle dialog, uint32_t message,
                                       uintptr_t wparam, intptr_t lparam);

// "API Information": library version (from the record), operating system and
// number of boards; sets boardCount.
void ShowApiInfo(platform::WindowHandle dialog);
// Board list: the serial number of every board; selects entry boardIndex.
void FillBoardList(platform::WindowHandle dialog);
// Takes the board selected in the list (boardIndex, serialNo, boardType),
// shows its details, writes the record's boardVersionText and refills the
// four settings lists.
void ShowBoardInfo(platform::WindowHandle dialog);
// Settings lists, each selecting the current setting by position.
void FillADRange(platform::WindowHandle dialog);
void FillClkSrc(platform::WindowHandle dialog);
void FillADMode(platform::WindowHandle dialog);
void FillADGain(platform::WindowHandle dialog);
// Copies the selected positions of the four settings lists into g_state
// (-1 for a list without a selection).
void ReadDialogSettings(platform::WindowHandle dialog);

// The WM_COMMAND first parameter of a confirmed pick in the board list:
// CBN_SELENDOK in the high word, the list's id in the low word.
inline constexpr uintptr_t kBoardListPicked = 590829;

// Entries one list accepts from the board library. The library's counts are
// taken as they come, but a list is never filled beyond this many entries, so
// a nonsensical count cannot keep the dialog filling for minutes.
inline constexpr int32_t kMaxListEntries = 1024;

// Entries a list gets for a count the library gave: none for zero or less,
// never more than kMaxListEntries.
inline int32_t ListEntries(int32_t count) {
  if (count <= 0) return 0;
  return count < kMaxListEntries ? count : kMaxListEntries;
}

// Name of range kind `kind` (board query 147); a kind outside the known four
// gives a generic name so that entry positions still match range indices.
const char* RangeKindName(int32_t kind);

}  // namespace tarnix
