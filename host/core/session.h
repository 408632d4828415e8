// One run of the module as the host drives it: load the library, resolve its
// entry points, own the host record, initialise, report failures in the
// module's own words, and shut down in the host's order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "abi/device_record.h"
#include "driver_api.h"
#include "module_observer.h"
#include "os.h"

namespace host {

// Process exit codes of tarnix-host.
enum ExitCode : int {
  kExitOk = 0,
  kExitModule = 2,  // module missing, not loadable, or lacking entries
  kExitDriver = 3,  // the module refused or failed a call
  kExitFile = 4,    // an output file could not be written
  kExitUsage = 5,   // options that make no sense together
  kExitCheck = 6,   // the sequence check found lost or repeated samples
  kExitCut = 7,     // an output could not be written to the end (a full disk, a
                    // file-size limit): the run ended there, what was written is kept
};

// Options every subcommand shares.
struct GlobalOptions {
  std::string modulePath;   // empty: the module beside the program
  bool trace = false;       // show the module's trace lines on stderr
  std::string boardConfig;  // profile file for the simulated board library
  std::string simClock;     // simulated library's clock: realtime/virtual/unthrottled
  int recordVersion = 17;   // structVersion written into the record
};

// The host record's size: as large as a real host allocates, well beyond the
// bytes the module touches.
inline constexpr std::size_t kHostRecordBytes = 32768;
static_assert(kHostRecordBytes >= tarnix::kRecordBytesUsed);

class Session {
 public:
  Session() = default;
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Loads the module and resolves all entries; prints why not and answers a
  // nonzero exit code on failure.
  int Open(const GlobalOptions& options);
  // DRV_InitDevice with the host record; on refusal prints the module's
  // message and answers false.
  bool Initialise();
  // DRV_KillDevice (when initialised), then unloads. Safe to call twice.
  void Close();

  const DriverApi& api() const { return api_; }
  tarnix::RecordRef record() { return tarnix::RecordRef(record_.data()); }
  bool initialised() const { return initialised_; }

  // The text DRV_ShowError shows for the record's errorCode.
  std::string ErrorText();
  // Prints (to stderr) every message box the module showed since last asked;
  // answers how many there were, and appends their texts to `texts`.
  int ReportBoxes(std::vector<std::string>* texts = nullptr);
  // Prints "<what> failed: <module's error text>" and answers kExitDriver.
  int Fail(const std::string& what);

  // The serial number of the board the module last started, as its trace
  // says ("StartAD - Serial No = N"); 0 until a measurement started.
  int32_t startedSerial() const { return startedSerial_; }
  // The module file's version, "a.b.c.d"; empty where the platform has none.
  const std::string& moduleVersion() const { return moduleVersion_; }

 private:
  int ApplyBoardOptions(const GlobalOptions& options);
  void OnTrace(const std::string& text);

  std::unique_ptr<LoadedLibrary> library_;
  DriverApi api_;
  std::vector<uint8_t> record_ = std::vector<uint8_t>(kHostRecordBytes, 0);
  bool observing_ = false;
  bool initialised_ = false;
  bool printTrace_ = false;
  int32_t startedSerial_ = 0;
  std::string moduleVersion_;
};

// Opens the module and initialises it; answers kExitOk or why not.
int OpenAndInitialise(Session& session, const GlobalOptions& globals);

// Record text field of `width` bytes as a string (it may lack a terminator).
std::string RecordText(tarnix::RecordRef record, std::size_t offset, std::size_t width);

}  // namespace host
