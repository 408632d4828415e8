// What tarnix-host needs from the operating system, one implementation per
// platform (os_posix.cpp, os_win32.cpp): loading the module and finding its
// entry points, the program's own directory, terminals and sleeping, the
// user's request to stop, and the live view's listening socket.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace host {

// A dynamically loaded library; unloaded when destroyed.
class LoadedLibrary {
 public:
  virtual ~LoadedLibrary() = default;
  // Address of an exported symbol, nullptr when the library lacks it.
  virtual void* Symbol(const char* name) const = 0;
  // The system's handle (HMODULE / dlopen handle).
  virtual void* Handle() const = 0;
};

// Loads the library at `path` as the host does (its own dependencies are
// looked up beside it first). On failure answers nullptr and the system's
// reason in *error.
std::unique_ptr<LoadedLibrary> LoadLibraryAt(const std::string& path, std::string* error);

// Address of `name` in the board library that the module has already
// brought in (VLQAPI.dll / libvlqapi.so), nullptr when it is not loaded or
// lacks the symbol. The host uses it only for the simulated library's
// control entries.
void* BoardLibrarySymbol(const char* name);

// The module's file version, "a.b.c.d", from its version resource; empty
// where the platform has none (natively) or the file carries none.
std::string ModuleFileVersion(const LoadedLibrary& module);

// File name of the module as built for this platform.
const char* DefaultModuleFileName();

// Directory of the running program, with a trailing separator.
std::string ProgramDirectory();

// Whether standard output is an interactive terminal.
bool StdoutIsTerminal();

void SleepMilliseconds(int milliseconds);

// Monotonic seconds since an arbitrary start.
double MonotonicSeconds();

// Processor time (user and system) this process has used so far, seconds.
double ProcessCpuSeconds();

// The most memory this process has held at once so far, bytes (natively the
// kernel's high-water mark of its resident memory since it was started,
// VmHWM; on Windows the peak working set); 0 where the system does not say.
uint64_t PeakMemoryBytes();

// Sets an environment variable for this process (and what it loads).
void SetEnvironment(const char* name, const char* value);

// From now on Ctrl-C no longer ends the process at once but is noted for
// InterruptRequested(), so a serving loop can stop the module before the
// program ends. POSIX: SIGINT and SIGTERM. Windows: Ctrl-C, Ctrl-Break and
// closing the console window (which waits, within the system's grace
// period, for the program to end itself).
void CatchInterrupts();
// Whether one of the requests above came since CatchInterrupts().
bool InterruptRequested();

// Socket options for a listening TCP socket (the system's socket handle or
// descriptor), set before it is bound: its port is this program's alone
// while it listens, so a second program asking for the same port is
// refused instead of sharing it (and taking some of its connections).
// Answers whether the system accepted them.
bool MakeListeningPortExclusive(std::intptr_t socket);

}  // namespace host
