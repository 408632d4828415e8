// The module's only view of the operating system.
//
// Every operation the driver needs from the system is declared here, and only
// here; the build picks one backend: win32/ (the real Windows API and nothing
// more) or portable/ (Linux: the same contracts on the C++ runtime, with test
// hooks in portable_control.h). Driver code includes this header and never
// the system's own headers.
//
// Handles are opaque pointers. All texts are 8-bit, NUL-terminated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/calling.h"

namespace tarnix::platform {

using ModuleHandle = void*;  // the module's own instance (resources live there)
using WindowHandle = void*;  // a window or dialog; nullptr = none / desktop

// ---------------------------------------------------------------- debug output

// Writes one trace text to the system's debug output exactly as given (the
// caller supplies any newline). Never fails; a null text is ignored.
void DebugLine(const char* text);

// ------------------------------------------------------------- user interface

// The window that is active for the calling thread, or nullptr.
WindowHandle ActiveWindow();

// Shows a modal message box owned by `owner` with the error icon and a single
// OK button, and returns when the user has dismissed it.
void ErrorBox(WindowHandle owner, const char* text, const char* caption);

// Loads string `id` of the module's string table into `buffer`, copying at
// most `limit` - 1 characters and a terminator. Bytes of `buffer` after the
// terminator are not written. Returns the number of characters copied, 0 when
// the string does not exist (then only buffer[0] is written, and only when
// limit > 0). The caller guarantees `buffer` holds `limit` bytes.
int LoadText(ModuleHandle module, unsigned id, char* buffer, int limit);

// Messages delivered to a dialog procedure (the Windows values).
inline constexpr uint32_t kMsgInitDialog = 0x0110;  // WM_INITDIALOG
inline constexpr uint32_t kMsgCommand = 0x0111;     // WM_COMMAND
inline constexpr uint32_t kMsgTimer = 0x0113;       // WM_TIMER
inline constexpr uintptr_t kIdOk = 1;               // IDOK
inline constexpr uintptr_t kIdCancel = 2;           // IDCANCEL
inline constexpr uint16_t kComboSelEndOk = 9;       // CBN_SELENDOK
inline constexpr int kComboNone = -1;               // CB_ERR: no selection

// A dialog procedure: answers nonzero when it handled the message. The
// convention matches the system's, so the Windows backend hands it on as is.
using DialogProc = intptr_t(TARNIX_WINAPI*)(WindowHandle dialog, uint32_t message, uintptr_t wparam,
                                            intptr_t lparam);

// Runs dialog template `templateId` of `module` modally, owned by `owner`,
// driven by `proc`; returns the result given to EndDialog, or -1 when the
// dialog could not be created. The calling thread waits in the dialog's modal
// loop until then.
intptr_t RunDialog(ModuleHandle module, int templateId, WindowHandle owner, DialogProc proc);

// Closes the dialog with `result` once the current message has been handled.
void EndDialog(WindowHandle dialog, intptr_t result);

// Sets the text of control `controlId` (an edit) of `dialog`.
void SetControlText(WindowHandle dialog, int controlId, const char* text);

// Combo-box operations on control `controlId` of `dialog`. Entries keep the
// order in which they are added. ComboSelect with a position that is not in
// the list leaves the list without a selection. ComboSelected answers the
// selected position or kComboNone.
void ComboReset(WindowHandle dialog, int controlId);
void ComboAdd(WindowHandle dialog, int controlId, const char* text);
void ComboSelect(WindowHandle dialog, int controlId, int position);
int ComboSelected(WindowHandle dialog, int controlId);

// Starts timer `timerId` with a period of `milliseconds` on `dialog`; its
// messages (kMsgTimer, wparam = timerId) reach the dialog procedure. StopTimer
// ends it; stopping a timer that does not run does nothing.
void StartTimer(WindowHandle dialog, uintptr_t timerId, uint32_t milliseconds);
void StopTimer(WindowHandle dialog, uintptr_t timerId);

// ---------------------------------------------------------- global memory

// Compacts the global heap for `bytes`, allocates a fixed, zero-filled block
// of `bytes` bytes and locks it. Returns its address, or nullptr when the
// allocation fails (bytes == 0 is the caller's business: it never asks).
void* GlobalAllocate(uint32_t bytes);

// Releases a block from its address: looks up its handle, unlocks and frees
// it. Returns false, doing nothing, when `address` is not the address of a
// live block (nullptr included).
bool GlobalRelease(void* address);

// Size in bytes of the live block at `address`, 0 when there is none. Used by
// the module to remember capacities and by tests.
uint32_t GlobalBlockSize(const void* address);

// ---------------------------------------------------------------- registry

using RegistryKey = void*;  // an open key below one of the hives

// The hives the module stores in: the machine's, shared by every user of the
// computer (writing there takes administrator rights), and the current
// user's own.
enum class Hive { kLocalMachine, kCurrentUser };

inline constexpr long kRegOk = 0;                   // ERROR_SUCCESS
inline constexpr long kRegNotFound = 2;             // ERROR_FILE_NOT_FOUND
inline constexpr long kRegAccessDenied = 5;         // ERROR_ACCESS_DENIED
inline constexpr uint32_t kRegBinary = 3;           // REG_BINARY
inline constexpr uint32_t kRegDword = 4;            // REG_DWORD
inline constexpr uint32_t kKeyQueryValue = 1;       // KEY_QUERY_VALUE
inline constexpr uint32_t kKeySetValue = 2;         // KEY_SET_VALUE
inline constexpr uint32_t kKeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS

// Opens `path` (backslash-separated, below the root of `hive`) with `access`
// and no options. Returns kRegOk and the key in *key, or the system's error
// code (kRegNotFound when the key does not exist).
long RegOpen(const char* path, uint32_t access, RegistryKey* key, Hive hive = Hive::kLocalMachine);

// Creates `path` in `hive` and any missing keys on the way, or opens it where
// it exists: no class, an ordinary non-volatile key, `access`, default
// security.
long RegCreate(const char* path, uint32_t access, RegistryKey* key,
               Hive hive = Hive::kLocalMachine);

// Queries value `name` of `key`. With data == nullptr only *type and *size
// are answered. Otherwise *size gives the capacity of data on entry and the
// byte count on return; at most that capacity is written.
long RegQuery(RegistryKey key, const char* name, uint32_t* type, void* data, uint32_t* size);

// Sets value `name` of `key` to `size` bytes of `data` with `type`.
long RegSet(RegistryKey key, const char* name, uint32_t type, const void* data, uint32_t size);

// Closes a key opened by RegOpen or RegCreate.
void RegClose(RegistryKey key);

// The registry calls of one load or one save as a unit, where the store has
// one. Between RegGroupBegin and RegGroupEnd the portable store keeps a single
// transaction: a read group sees one state of the store, and a write group's
// changes reach the store together or not at all (a process killed on the way
// leaves none of them, and saves of other processes wait). The calling thread
// has the store to itself until RegGroupEnd. The system registry offers the
// module no such transaction: there each call stands alone and a group is no
// more than its calls. RegGroupEnd answers kRegOk, or the code of a commit
// that failed, in which case none of the group's changes were kept.
enum class RegGroupKind { kRead, kWrite };
void RegGroupBegin(RegGroupKind kind);
long RegGroupEnd();

// A heap buffer of `bytes` bytes for a registry value's data (contents
// unspecified), or nullptr when it cannot be had. ReleaseValueBuffer frees
// it; nullptr is ignored.
void* AllocateValueBuffer(uint32_t bytes);
void ReleaseValueBuffer(void* buffer);

}  // namespace tarnix::platform
