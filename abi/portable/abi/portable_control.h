// Test and tool hooks of the portable backend (Linux build only).
//
// The portable backend stands in for the system: its debug output, message
// boxes, dialogs, global memory and registry. These C entry points let tests,
// the fuzzer and the host exerciser watch and steer it: capture trace lines,
// record message boxes, script the user of a dialog, run dialog timers on a
// virtual clock, and make one system operation fail to prove a recovery path.
// The module itself never calls them.
#pragma once

#include <cstdint>

#include "abi/calling.h"

extern "C" {

// ---- debug output
// Every trace text goes to the hook (when set) and to standard error (unless
// turned off). Passing nullptr removes the hook.
typedef void (*TarnixTraceHook)(const char* text, void* context);
TARNIX_EXPORT void TarnixPortable_SetTraceHook(TarnixTraceHook hook, void* context);
TARNIX_EXPORT void TarnixPortable_SetTraceToStderr(int enabled);

// ---- message boxes
// Every box is recorded (owner, text, caption, style), printed to standard
// error unless turned off, and answered OK at once.
typedef void (*TarnixMessageBoxHook)(const char* text, const char* caption, uint32_t style,
                                     void* context);
TARNIX_EXPORT void TarnixPortable_SetMessageBoxHook(TarnixMessageBoxHook hook, void* context);
TARNIX_EXPORT void TarnixPortable_SetMessageBoxToStderr(int enabled);
inline constexpr uint32_t kTarnixBoxStyleErrorOk = 0x10;  // MB_OK | MB_ICONERROR

// ---- dialog timers
// Real time (default): a dialog waits for its timers. Virtual: the dialog's
// clock jumps to the next timer at once; the milliseconds it skipped are
// counted and can be read back.
TARNIX_EXPORT void TarnixPortable_SetVirtualClock(int enabled);
TARNIX_EXPORT uint64_t TarnixPortable_VirtualMilliseconds();

// ---- dialogs: the scripted user
// Nobody sits at a portable dialog, so a script stands in for the user. Each
// call queues actions for the next dialog built from template `templateId`
// (0: whichever dialog opens next, the splash included); a dialog takes its
// actions in order, one after another, right after its initialisation.
// Actions, separated by ';' or newlines, case-insensitive:
//   pick C N      select entry N of combo box C and confirm it: WM_COMMAND
//                 with (CBN_SELENDOK << 16) | C, as a click in the list does
//   select C N    select entry N of combo box C without any notification
//   ok | cancel   press OK (WM_COMMAND 1) or Cancel (WM_COMMAND 2)
//   command W     WM_COMMAND with the 32-bit first parameter W (decimal or 0x)
//   wait MS       let MS milliseconds pass (timers that fall due fire)
// Answers the number of actions queued, or -1 (nothing queued) when the text
// does not parse. When a dialog has run out of actions it waits for its
// timers; with no timer left it is closed as the Escape key would close it:
// WM_COMMAND 2, and when the procedure does not end the dialog even then,
// the engine ends it with result 2 (TarnixPortable_LastDialogForced says so).
TARNIX_EXPORT int TarnixPortable_ScriptDialog(int templateId, const char* actions);
// Forgets every queued action; answers how many were still queued.
TARNIX_EXPORT int TarnixPortable_ClearDialogScript();

// ---- dialogs: what the user saw
// Every dialog leaves a snapshot of its controls when it closes. The queries
// below read the dialog that is open while a dialog hook runs, otherwise the
// snapshot of the dialog that closed last. Unknown controls answer -1 (or an
// empty text).
// Called after the dialog procedure has handled each message (message,
// wparam as delivered) and once more with message 0 just before the dialog
// closes.
typedef void (*TarnixDialogHook)(int templateId, uint32_t message, uintptr_t wparam, void* context);
TARNIX_EXPORT void TarnixPortable_SetDialogHook(TarnixDialogHook hook, void* context);
// Template of the dialog (0 when none has run), its result, and 1 when the
// engine had to end it because the procedure did not.
TARNIX_EXPORT int TarnixPortable_LastDialogTemplate();
TARNIX_EXPORT intptr_t TarnixPortable_LastDialogResult();
TARNIX_EXPORT int TarnixPortable_LastDialogForced();
// Number of dialogs opened so far in this process (to tell whether a call
// showed one).
TARNIX_EXPORT int TarnixPortable_DialogsOpened();
// Text of a control: an edit's text, a combo box's selected entry ("" when
// none), a button's or static's caption. Copied terminated within `bytes`;
// answers the full length, or -1 for an unknown control.
TARNIX_EXPORT int TarnixPortable_DialogControlText(int controlId, char* text, int bytes);
// Combo boxes: number of entries, entry `index` (as above), selected position
// (-1 when none). -1 for an unknown control or index.
TARNIX_EXPORT int TarnixPortable_DialogComboCount(int controlId);
TARNIX_EXPORT int TarnixPortable_DialogComboEntry(int controlId, int index, char* text, int bytes);
TARNIX_EXPORT int TarnixPortable_DialogComboSelection(int controlId);
// 1 enabled, 0 disabled, -1 unknown control.
TARNIX_EXPORT int TarnixPortable_DialogControlEnabled(int controlId);
// Every control with an id, one line each, in template order:
//   <id> edit "<text>"
//   <id> combo [disabled] sel=<n> "<entry>" "<entry>" ...
//   <id> button "<caption>"
// Copied terminated within `bytes`; answers the full length.
TARNIX_EXPORT int TarnixPortable_DialogDump(char* text, int bytes);

// ---- fault injection
// The system operations that can be made to fail; each is named as its enum
// value without the prefix ("GlobalAllocate", "RegOpen", ...):
//   GlobalAllocate                        a global-memory allocation
//   RegOpen, RegCreate, RegQuery, RegSet  the registry operations
//   ValueBuffer                           the heap buffer of a registry read
//   RunDialog                             creating a dialog
//   MachineWrite                          each create, open for writing and
//                                         value write in the local-machine
//                                         hive, as for a user without
//                                         administrator rights (the current
//                                         user's hive stays writable)
#define TARNIX_PORTABLE_FAULTS(X) \
  X(GlobalAllocate)               \
  X(RegOpen) X(RegCreate) X(RegQuery) X(RegSet) X(ValueBuffer) X(RunDialog) X(MachineWrite)
enum TarnixFault : int {
#define TARNIX_FAULT_ENUM(name) kTarnixFault##name,
  TARNIX_PORTABLE_FAULTS(TARNIX_FAULT_ENUM) kTarnixFaultCount
};
#undef TARNIX_FAULT_ENUM
// Makes the operation named `operation` fail: skip `after` successful calls,
// then fail `count` calls (count < 0: every call from then on). Answers 1, or
// 0 for a name that is no operation: then nothing is armed, so a misspelt
// fault cannot pass unnoticed. TarnixPortable_ClearFaults() removes every
// fault.
TARNIX_EXPORT int TarnixPortable_FailOperation(const char* operation, int after, int count);
TARNIX_EXPORT void TarnixPortable_ClearFaults();

// ---- registry
// The registry is an SQLite file, holding the local-machine and the
// current-user hive. Its place: the path set here (nullptr goes
// back to the default), else the environment variable TARNIX_REGISTRY, else
// $XDG_DATA_HOME/tarnix/registry.sqlite3, else
// ~/.local/share/tarnix/registry.sqlite3. Setting either control closes the
// open store; the next registry call opens it again. Read-only (nonzero)
// opens the store as a user without the right to write it: reads work,
// every create/open for writing answers 5 (access denied).
TARNIX_EXPORT void TarnixPortable_SetRegistryPath(const char* path);
TARNIX_EXPORT void TarnixPortable_SetRegistryReadOnly(int readOnly);
// Scratch (nonzero): a store thrown away after the run, as the fuzz target's
// is; its writes are not synced to the disk, which otherwise costs most of a
// fuzz run's time. Transactions are kept as ever (a save is one).
TARNIX_EXPORT void TarnixPortable_SetRegistryScratch(int scratch);

// ---- global memory
// Number of live global-memory blocks (leak checks in tests).
TARNIX_EXPORT int TarnixPortable_LiveBlocks();

}  // extern "C"
