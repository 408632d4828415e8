// Portable debug output, message boxes and string table.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/portable/portable_control.h"
#include "ui/resources.h"

namespace {

TarnixTraceHook g_traceHook = nullptr;
void* g_traceContext = nullptr;
bool g_traceToStderr = true;

TarnixMessageBoxHook g_boxHook = nullptr;
void* g_boxContext = nullptr;
bool g_boxToStderr = true;

// The module's string table, from the same texts as the resource script.
struct StringEntry {
  unsigned id;
  const char* text;
};
constexpr StringEntry kStrings[] = {
    {IDS_DRIVER_NAME, STR_DRIVER_NAME},
    {IDS_WRONG_HOST_VERSION, STR_WRONG_HOST_VERSION},
    {IDS_WRONG_API_VERSION, STR_WRONG_API_VERSION},
    {IDS_NO_BOARDS, STR_NO_BOARDS},
    {IDS_HELP_FILE, STR_HELP_FILE},
    {IDS_BUFFER_SIZE_FIXED, STR_BUFFER_SIZE_FIXED},
    {IDS_OVERRUN, STR_OVERRUN},
    {IDS_AD_BUSY, STR_AD_BUSY},
    {IDS_NOT_SUPPORTED, STR_NOT_SUPPORTED},
    {IDS_WRONG_RATE, STR_WRONG_RATE},
    {IDS_NO_CHANNEL, STR_NO_CHANNEL},
    {IDS_WRONG_BLOCK_SIZE, STR_WRONG_BLOCK_SIZE},
    {IDS_UNKNOWN_ERROR, STR_UNKNOWN_ERROR},
    {IDS_RATE_CHANGED, STR_RATE_CHANGED},
    {IDS_CHANNELS_CHANGED, STR_CHANNELS_CHANGED},
};

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
  for (const StringEntry& entry : kStrings) {
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
