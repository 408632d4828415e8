// Windows side of os.h: LoadLibrary and friends.
#include <io.h>
// Before windows.h, which would otherwise bring in the old winsock.h.
#include <winsock2.h>
// Only after winsock2.h (its own line, so that sorting keeps the order).
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "os.h"

namespace host {
namespace {

std::atomic<bool> g_interrupted{false};

// Runs on a thread the system starts for the event.
BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_interrupted = true;
      return TRUE;
    case CTRL_CLOSE_EVENT:
      // The system ends the process as soon as this returns; waiting here
      // lets the serving loop stop the module first. The program's own
      // exit ends this thread, the system's grace period at the latest.
      g_interrupted = true;
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

class Win32Library final : public LoadedLibrary {
 public:
  explicit Win32Library(HMODULE handle) : handle_(handle) {}
  ~Win32Library() override { FreeLibrary(handle_); }
  void* Symbol(const char* name) const override {
    return reinterpret_cast<void*>(GetProcAddress(handle_, name));
  }
  void* Handle() const override { return handle_; }

 private:
  HMODULE handle_;
};

std::string SystemMessage(DWORD code) {
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ')) text[--n] = 0;
  char line[600];
  std::snprintf(line, sizeof line, "%s (system error %lu)", n > 0 ? text : "load failed",
                static_cast<unsigned long>(code));
  return line;
}

}  // namespace

std::unique_ptr<LoadedLibrary> LoadLibraryAt(const std::string& path, std::string* error) {
  // With a full path, the altered search order finds VLQAPI.dll beside the
  // module, where the host installs it.
  char full[MAX_PATH * 2];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  const char* file = (n > 0 && n < sizeof full) ? full : path.c_str();
  if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) {
    if (error != nullptr) *error = SystemMessage(GetLastError());
    return nullptr;
  }
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE handle = LoadLibraryExA(file, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  DWORD code = GetLastError();
  SetErrorMode(oldMode);
  if (handle == nullptr) {
    if (error != nullptr) *error = SystemMessage(code);
    return nullptr;
  }
  return std::make_unique<Win32Library>(handle);
}

void* BoardLibrarySymbol(const char* name) {
  HMODULE board = GetModuleHandleA("VLQAPI.dll");
  return board == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(board, name));
}

std::string ModuleFileVersion(const LoadedLibrary& module) {
  char path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameA(static_cast<HMODULE>(module.Handle()), path, sizeof path);
  if (n == 0 || n >= sizeof path) return "";
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return "";
  std::vector<char> info(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoA(path, 0, size, info.data()) ||
      !VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
      fixed == nullptr || length < sizeof *fixed) {
    return "";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu",
                static_cast<unsigned long>(HIWORD(fixed->dwFileVersionMS)),
                static_cast<unsigned long>(LOWORD(fixed->dwFileVersionMS)),
                static_cast<unsigned long>(HIWORD(fixed->dwFileVersionLS)),
                static_cast<unsigned long>(LOWORD(fixed->dwFileVersionLS)));
  return text;
}

const char* DefaultModuleFileName() { return "tarnix.dll"; }

std::string ProgramDirectory() {
  char path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return ".\\";
  std::string text(path, n);
  size_t slash = text.find_last_of("\\/");
  return slash == std::string::npos ? ".\\" : text.substr(0, slash + 1);
}

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

void SleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           1e7;  // 100 ns units
  };
  return seconds(kernel) + seconds(user);
}

uint64_t PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

double MonotonicSeconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void SetEnvironment(const char* name, const char* value) {
  SetEnvironmentVariableA(name, value);
  _putenv_s(name, value);
}

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool InterruptRequested() { return g_interrupted.load(); }

bool MakeListeningPortExclusive(std::intptr_t socket) {
  // Without it, a second socket that sets SO_REUSEADDR could bind the same
  // port and take over connections meant for this one. (The two options
  // exclude each other, so SO_REUSEADDR is not set.)
  BOOL yes = TRUE;
  return setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                    reinterpret_cast<const char*>(&yes), sizeof yes) == 0;
}

}  // namespace host
