// Debug output captured inside the process.
//
// OutputDebugStringA first raises the debug-print exception (0x40010006)
// with the text's length and address; only when nobody handles it does the
// text go to a debugger or a DBWIN monitor. A vectored handler runs before
// any frame handler, so it sees every line of every thread, in order, with
// its exact text, and continuing execution ends the call there. Wine raises
// the exception the same way, so this works unchanged under Wine.
//
// The handler takes every debug line of the process, recorded or not: where
// Wine runs under qemu-user, the system's own path for an unhandled debug
// line crashed the test programs, so no line is left to it.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "wine/support/harness.h"

namespace winetest {
namespace {

constexpr DWORD kDebugPrintException = 0x40010006;  // DBG_PRINTEXCEPTION_C

// Never destroyed: the module's detach lines arrive while the process is
// already running its static destructors.
struct TraceState {
  std::mutex lock;
  std::vector<std::string> traces;
  std::atomic<bool> capturing{false};
  std::atomic<DWORD> onlyThread{0};  // 0: every thread
  std::once_flag handlerInstalled;
  bool echo = std::getenv("TARNIX_WINE_ECHO_TRACES") != nullptr;
};
TraceState& State() {
  static TraceState* state = new TraceState;
  return *state;
}

LONG CALLBACK OnDebugPrint(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode != kDebugPrintException || record->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const DWORD only = State().onlyThread.load();
  if (!State().capturing.load() || (only != 0 && only != GetCurrentThreadId())) {
    if (State().echo) {
      std::fprintf(stderr, "[debug] %s",
                   reinterpret_cast<const char*>(record->ExceptionInformation[1]));
    }
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  // The length includes the terminator; stop at the first zero in any case.
  std::size_t length = static_cast<std::size_t>(record->ExceptionInformation[0]);
  const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
  std::string line;
  if (text != nullptr) {
    std::size_t n = 0;
    while (n < length && text[n] != '\0') ++n;
    line.assign(text, n);
  }
  std::lock_guard<std::mutex> lock(State().lock);
  State().traces.push_back(std::move(line));
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

void InstallDebugOutputHandler() {
  std::call_once(State().handlerInstalled, [] { AddVectoredExceptionHandler(1, OnDebugPrint); });
}

namespace {
void StartCapture(DWORD onlyThread) {
  TraceState& state = State();
  InstallDebugOutputHandler();
  std::lock_guard<std::mutex> lock(state.lock);
  state.traces.clear();
  state.onlyThread.store(onlyThread);
  state.capturing.store(true);
}
}  // namespace

void StartTraceCapture() { StartCapture(0); }

void StartTraceCaptureOnThisThread() { StartCapture(GetCurrentThreadId()); }

void StopTraceCapture() { State().capturing.store(false); }

std::vector<std::string> TakeTraces() {
  std::lock_guard<std::mutex> lock(State().lock);
  std::vector<std::string> taken;
  taken.swap(State().traces);
  return taken;
}

}  // namespace winetest
