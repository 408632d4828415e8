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

#include "platform/calling.h"

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
typedef void (*TarnixMessageBoxHook)(const char* text, const char* caption,
                                     uint32_t style, void* context);
TARNIX_EXPORT void TarnixPortable_SetMessageBoxHook(TarnixMessageBoxHook hook, void* context);
TARNIX_EXPORT void TarnixPortable_SetMessageBoxToStderr(int enabled);
inline constexpr uint32_t kTarnixBoxStyleErrorOk = 0x10;  // MB_OK | MB_ICONERROR

// ---- dialog timers
// Real time (default): a dialog waits for its timers. Virtual: the dialog's
// clock jumps to the next timer at once; the milliseconds it skipped are
// counted and can be read back.
TARNIX_EXPORT void TarnixPortable_SetVirtualClock(int enabled);
TARNIX_EXPORT uint64_t TarnixPortable_VirtualMilliseconds();

// ---- fault injection
// Makes the named operation fail: skip `after` successful calls, then fail
// `count` calls (count < 0: every call from then on). Operations:
// "GlobalAllocate", "RegOpen", "RegCreate", "RegQuery", "RegSet",
// "ValueBuffer" (the heap buffer of a registry read), "RunDialog".
// TarnixPortable_ClearFaults() removes every fault.
TARNIX_EXPORT void TarnixPortable_FailOperation(const char* operation, int after, int count);
TARNIX_EXPORT void TarnixPortable_ClearFaults();

// ---- global memory
// Number of live global-memory blocks (leak checks in tests).
TARNIX_EXPORT int TarnixPortable_LiveBlocks();

}  // extern "C"

namespace tarnix::platform::portable {

// True when the named operation is to fail now (consumes one call).
bool ShouldFail(const char* operation);

}  // namespace tarnix::platform::portable
