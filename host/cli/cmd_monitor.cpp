// tarnix-host monitor: the live view. The module is driven as by `acquire`
// (same options and defaults), from one thread of its own, while a web page
// on the loopback address shows the traces, figures and counts as they
// arrive and starts and stops measurements through the module's entries.
#include <cstdio>
#include <memory>

#include "acquisition_options.h"
#include "commands.h"
#include "monitor_engine.h"
#include "monitor_recording.h"
#include "monitor_server.h"
#include "os.h"
#include "output_file.h"

namespace host {
namespace {

struct MonitorCliOptions : AcquisitionOptions {
  int port = 0;
  bool start = false;
  std::string wavFolder;
};

bool KeepServing() { return !InterruptRequested(); }

int RunMonitor(const GlobalOptions& globals, const MonitorCliOptions& o) {
  MonitorOptions options;
  if (int code = o.Resolve(&options.settings); code != kExitOk) return code;
  std::string why;
  if (!ResolveRecordingFolder(o.wavFolder, &options.wavFolder, &why)) {
    std::fprintf(stderr, "error: --wav-folder: %s\n", why.c_str());
    return kExitUsage;
  }
  ReportFileSizeLimits();

  MonitorEngine engine(options);
  int code = engine.Launch(globals, o.worksheet);
  if (code != kExitOk) return code;
  if (o.start) {
    CommandResult started = engine.Start(options.settings);
    if (!started.ok) {
      std::fprintf(stderr, "error: %s failed: %s\n", started.entry.c_str(),
                   started.message.c_str());
    }
  }
  // Ctrl-C (SIGTERM too, on POSIX) ends the serving, then the module is
  // shut down as by the page's stop.
  CatchInterrupts();
  code = ServeMonitor(engine, o.port, &KeepServing);
  engine.Shut();  // DRV_StopMeas if measuring, then DRV_KillDevice
  return code;
}

}  // namespace

void AddMonitorCommand(CLI::App& app, const GlobalOptions& globals, int* exit) {
  auto o = std::make_shared<MonitorCliOptions>();
  CLI::App* sub = app.add_subcommand(
      "monitor", "Serve a live view of the inputs on http://127.0.0.1:PORT/ (this machine only)");
  sub->add_option("--port", o->port, "Port on 127.0.0.1 (default: a free one, printed)");
  AddScanOptions(*sub, o.get(), "Sampling rate in Hz: samples per second over all channels");
  AddTimeoutOption(*sub, o.get(), "Say so when no block arrives for this many seconds");
  AddWorksheetOption(*sub, o.get(), "Load this worksheet's settings first");
  AddHostDelayOption(*sub, o.get(),
                     "Wait this many milliseconds after each block (a slow host, to see an "
                     "overrun);\nthe page can change it for each start",
                     kMaxLiveHostDelayMs);
  sub->add_flag("--start", o->start, "Start measuring at once instead of waiting for the page");
  sub->add_option("--wav-folder", o->wavFolder,
                  "Folder the page's Record button writes its WAV files into (default: the "
                  "working folder)");
  sub->footer(
      "The page's settings go through DRV_TestStruct and DRV_StartMeas; a refusal shows the\n"
      "module's own text. Examples:\n"
      "  tarnix-host monitor --port 8080\n"
      "  tarnix-host monitor -c 0-7 -r 100000 --block-size 1024 --start\n"
      "  tarnix-host monitor --wav-folder recordings");
  sub->callback([&globals, exit, o] { *exit = RunMonitor(globals, *o); });
}

}  // namespace host
