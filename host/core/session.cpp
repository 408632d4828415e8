#include "session.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "abi/velqsim.h"

namespace host {
namespace {

// Trace texts arrive as the module writes them: most end in a newline, some
// do not. Each is shown on a line of its own.
void PrintTrace(const std::string& text) {
  std::string shown = text;
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
  std::fprintf(stderr, "[trace] %s\n", shown.c_str());
  std::fflush(stderr);
}

template <typename Fn>
Fn BoardFunction(const char* name) {
  Fn fn = nullptr;
  void* address = BoardLibrarySymbol(name);
  std::memcpy(&fn, &address, sizeof address);
  return fn;
}

// The module to load when --module is not given: beside the program (the
// build tree, the Windows install folder), else in the installed module
// folder relative to the program (a native install: bin/../lib/<triplet>/tarnix/).
// When neither exists the first is named in the error.
std::string DefaultModulePath() {
  std::string beside = ProgramDirectory() + DefaultModuleFileName();
  const std::string installedDir = TARNIX_INSTALLED_MODULE_DIR;
  if (installedDir.empty() || std::ifstream(beside).good()) return beside;
  std::string installed = ProgramDirectory() + installedDir + DefaultModuleFileName();
  return std::ifstream(installed).good() ? installed : beside;
}

}  // namespace

std::string RecordText(tarnix::RecordRef record, std::size_t offset, std::size_t width) {
  const char* text = reinterpret_cast<const char*>(record.at(offset));
  return std::string(text, strnlen(text, width));
}

Session::~Session() { Close(); }

int OpenAndInitialise(Session& session, const GlobalOptions& globals) {
  int code = session.Open(globals);
  if (code != kExitOk) return code;
  return session.Initialise() ? kExitOk : kExitDriver;
}

int Session::Open(const GlobalOptions& options) {
  std::string path = options.modulePath.empty() ? DefaultModulePath() : options.modulePath;
  if (!options.boardConfig.empty() && !std::ifstream(options.boardConfig).good()) {
    std::fprintf(stderr, "error: cannot read board profile '%s'\n", options.boardConfig.c_str());
    return kExitUsage;
  }
  // Every trace line passes here, shown or not: the start of a measurement
  // names the board's serial number, which the host finds nowhere else.
  printTrace_ = options.trace;
  ObserverOptions observer;
  observer.trace = [this](const std::string& text) { OnTrace(text); };
  BeginObserving(observer);
  observing_ = true;
  std::string why;
  library_ = LoadLibraryAt(path, &why);
  if (!library_) {
    StopObserving();
    observing_ = false;
    std::fprintf(stderr, "error: cannot load the module '%s': %s\n", path.c_str(), why.c_str());
    return kExitModule;
  }
  std::vector<std::string> missing = ResolveDriverApi(*library_, &api_);
  if (!missing.empty()) {
    StopObserving();
    observing_ = false;
    library_.reset();
    std::fprintf(stderr, "error: the module '%s' lacks %zu of the %d entry points:\n", path.c_str(),
                 missing.size(), kEntryPointCount);
    for (const std::string& name : missing) std::fprintf(stderr, "  missing: %s\n", name.c_str());
    return kExitModule;
  }
  AttachModule(*library_);
  moduleVersion_ = ModuleFileVersion(*library_);
  record().set<int16_t>(TARNIX_RECORD(structVersion), static_cast<int16_t>(options.recordVersion));
  return ApplyBoardOptions(options);
}

// The simulated board library takes a profile and a clock mode through its
// own control entries; the real library has neither.
int Session::ApplyBoardOptions(const GlobalOptions& options) {
  // The types come from the controls' declarations; the host links none of
  // them and finds them in the loaded library by name.
  using LoadProfileFn = decltype(&VELQSIM_LoadProfile);
  using LastErrorFn = decltype(&VELQSIM_LastError);
  using SetClockFn = decltype(&VELQSIM_SetClock);
  if (!options.boardConfig.empty()) {
    auto load = BoardFunction<LoadProfileFn>("VELQSIM_LoadProfile");
    if (load == nullptr) {
      std::fprintf(stderr,
                   "error: the board library takes no profile (it is not the simulated one)\n");
      return kExitUsage;
    }
    if (load(options.boardConfig.c_str()) < 0) {
      // The reason names the profile's files by path, twice at times.
      char reason[4096] = {};
      if (auto lastError = BoardFunction<LastErrorFn>("VELQSIM_LastError")) {
        lastError(reason, sizeof reason);
      }
      std::fprintf(stderr, "error: board profile '%s' refused: %s\n", options.boardConfig.c_str(),
                   reason);
      return kExitUsage;
    }
  }
  if (!options.simClock.empty()) {
    auto setClock = BoardFunction<SetClockFn>("VELQSIM_SetClock");
    if (setClock == nullptr) {
      std::fprintf(stderr, "error: the board library has no simulated clock\n");
      return kExitUsage;
    }
    VelqSimClock mode = options.simClock == "virtual"       ? kVelqSimVirtual
                        : options.simClock == "unthrottled" ? kVelqSimUnthrottled
                                                            : kVelqSimRealTime;
    setClock(mode);
  }
  return kExitOk;
}

void Session::OnTrace(const std::string& text) {
  if (printTrace_) PrintTrace(text);
  const char* marker = std::strstr(text.c_str(), "StartAD - Serial No = ");
  long serial = 0;
  if (marker != nullptr && std::sscanf(marker, "StartAD - Serial No = %ld", &serial) == 1) {
    startedSerial_ = static_cast<int32_t>(serial);
  }
}

bool Session::Initialise() {
  int32_t result = api_.InitDevice(record_.data());
  std::vector<BoxSeen> boxes = TakeBoxes();
  if (result != 0) {
    initialised_ = true;
    for (const BoxSeen& box : boxes) std::fprintf(stderr, "message: %s\n", box.text.c_str());
    return true;
  }
  // The initialisation checks show their refusal at once instead of leaving
  // a code in the record.
  std::string reason = boxes.empty() ? "no reason given" : boxes.back().text;
  std::fprintf(stderr, "error: DRV_InitDevice failed: %s\n", reason.c_str());
  return false;
}

void Session::Close() {
  if (!library_) return;
  if (initialised_) {
    api_.KillDevice();
    initialised_ = false;
  }
  if (observing_) {
    StopObserving();
    observing_ = false;
  }
  library_.reset();
}

std::string Session::ErrorText() {
  TakeBoxes();
  api_.ShowError();
  std::vector<BoxSeen> boxes = TakeBoxes();
  if (!boxes.empty()) return boxes.back().text;
  char text[64];
  std::snprintf(text, sizeof text, "error code %d",
                static_cast<int>(record().get<int32_t>(TARNIX_RECORD(errorCode))));
  return text;
}

int Session::ReportBoxes(std::vector<std::string>* texts) {
  std::vector<BoxSeen> boxes = TakeBoxes();
  for (const BoxSeen& box : boxes) {
    std::fprintf(stderr, "message: %s\n", box.text.c_str());
    if (texts != nullptr) texts->push_back(box.text);
  }
  return static_cast<int>(boxes.size());
}

int Session::Fail(const std::string& what) {
  ReportBoxes();
  std::string text = ErrorText();
  std::fprintf(stderr, "error: %s failed: %s\n", what.c_str(), text.c_str());
  return kExitDriver;
}

}  // namespace host
