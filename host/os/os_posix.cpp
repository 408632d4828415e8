// POSIX side of os.h: dlopen and friends.
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "os.h"

namespace host {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

class PosixLibrary final : public LoadedLibrary {
 public:
  explicit PosixLibrary(void* handle) : handle_(handle) {}
  ~PosixLibrary() override { dlclose(handle_); }
  void* Symbol(const char* name) const override { return dlsym(handle_, name); }
  void* Handle() const override { return handle_; }

 private:
  void* handle_;
};

}  // namespace

std::unique_ptr<LoadedLibrary> LoadLibraryAt(const std::string& path, std::string* error) {
  // A bare name would be searched on the library path; the host means a file.
  std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    if (error != nullptr) *error = why != nullptr ? why : "unknown reason";
    return nullptr;
  }
  return std::make_unique<PosixLibrary>(handle);
}

void* BoardLibrarySymbol(const char* name) {
  void* handle = dlopen("libvlqapi.so", RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return nullptr;
  void* symbol = dlsym(handle, name);
  dlclose(handle);  // drops only the reference RTLD_NOLOAD added
  return symbol;
}

// A shared object carries no version resource.
std::string ModuleFileVersion(const LoadedLibrary&) { return ""; }

const char* DefaultModuleFileName() { return "libtarnix.so"; }

std::string ProgramDirectory() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  std::string path(buffer, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

void SleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double ProcessCpuSeconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

uint64_t PeakMemoryBytes() {
  // The kernel's mark of this program alone: getrusage's maxrss would also
  // count what the parent held before it started this program.
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  unsigned long long kilobytes = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmHWM: %llu kB", &kilobytes) == 1) break;
  }
  std::fclose(status);
  return kilobytes * 1024;
}

double MonotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void SetEnvironment(const char* name, const char* value) { setenv(name, value, 1); }

void CatchInterrupts() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

bool InterruptRequested() { return g_interrupted != 0; }

bool MakeListeningPortExclusive(std::intptr_t socket) {
  // SO_REUSEADDR only lets a listener bind over connections of an earlier
  // run still in TIME_WAIT; SO_REUSEPORT, which would share the port with
  // any program of the same user, stays off.
  int yes = 1;
  return setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0;
}

}  // namespace host
