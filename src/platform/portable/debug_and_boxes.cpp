// Portable debug output, message boxes and string table.
#include <cstdio>
#include <cstring>

#include "abi/portable_control.h"
#include "platform/platform.h"
#include "platform/portable/string_table.h"

namespace {

TarnixTraceHook g_traceHook = nullptr;
void* g_traceContext = nullptr;
bool g_traceToStderr = true;

TarnixMessageBoxHook g_boxHook = nullptr;
void* g_boxContext = nullptr;
bool g_boxToStderr = true;

}  // namespace

namespace tarnix::platform {

void DebugLine(const char* text) {
  if (text == nullptr) return;
  if (g_traceHook != nullptr) g_traceHook(text, g_traceContext);
  if (g_traceToStderr) std::fputs(text, stderr);
}

void ErrorBox(WindowHandle, const char* text, const char* caption) {
  if (g_boxHook != nullptr) g_boxHook(text, caption, kTarnixBoxStyleErrorOk, g_boxContext);
  if (g_boxToStderr) std::fprintf(stderr, "[message box] %s: %s\n", caption, text);
}

int LoadText(ModuleHandle, unsigned id, char* buffer, int limit) {
  if (buffer == nullptr || limit <= 0) return 0;
  for (const portable::StringResource& entry : portable::ModuleStrings()) {
    if (entry.id != id) continue;
    int n = 0;
    while (n < limit - 1 && entry.text[n] != '\0') {
      buffer[n] = entry.text[n];
      ++n;
    }
    buffer[n] = '\0';
    return n;
  }
  buffer[0] = '\0';
  return 0;
}

}  // namespace tarnix::platform

extern "C" void TarnixPortable_SetTraceHook(TarnixTraceHook hook, void* context) {
  g_traceHook = hook;
  g_traceContext = context;
}
extern "C" void TarnixPortable_SetTraceToStderr(int enabled) { g_traceToStderr = enabled != 0; }
extern "C" void TarnixPortable_SetMessageBoxHook(TarnixMessageBoxHook hook, void* context) {
  g_boxHook = hook;
  g_boxContext = context;
}
extern "C" void TarnixPortable_SetMessageBoxToStderr(int enabled) { g_boxToStderr = enabled != 0; }
