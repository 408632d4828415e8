// tarnix-host monitor: the live view. The module is driven as by `acquire`
// (same options and defaults), from one thread of its own, while a web page
// on the loopback address shows the traces, figures and counts as they
// arrive and starts and stops measurements through the module's entries.
#include <csignal>
#include <cstdio>
#include <memory>

#include "channel_list.h"
#include "commands.h"
#include "monitor_engine.h"
#include "monitor_server.h"

namespace host {
namespace {

struct MonitorCliOptions {
  std::string channels = "0-3";
  double rate = 1000;
  int32_t blockSize = 256;
  int32_t bufferSize = 0;
  double timeout = 5;
  std::string worksheet;
  int port = 0;
  int hostDelayMs = 0;
  bool start = false;
};

volatile std::sig_atomic_t g_interrupted = 0;
void OnSignal(int) { g_interrupted = 1; }
bool KeepServing() { return g_interrupted == 0; }

int RunMonitor(const GlobalOptions& globals, const MonitorCliOptions& o) {
  MonitorOptions options;
  std::string why;
  options.settings.channels = ParseChannelList(o.channels, &why);
  if (options.settings.channels.empty()) {
    std::fprintf(stderr, "error: --channels: %s\n", why.c_str());
    return kExitUsage;
  }
  options.settings.rate = o.rate;
  options.settings.blockSize = o.blockSize;
  options.settings.bufferSize = o.bufferSize;
  options.settings.timeout = o.timeout;
  options.hostDelayMs = o.hostDelayMs;

  MonitorEngine engine(options);
  int code = engine.Launch(globals, o.worksheet);
  if (code != kExitOk) return code;
  if (o.start) {
    CommandResult started = engine.Start(options.settings, options.hostDelayMs);
    if (!started.ok) {
      std::fprintf(stderr, "error: %s failed: %s\n", started.entry.c_str(),
                   started.message.c_str());
    }
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
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
  sub->add_option("-c,--channels", o->channels, "Analog inputs to scan, e.g. 0-3,6")
      ->capture_default_str();
  sub->add_option("-r,--rate", o->rate, "Sampling rate in Hz: samples per second over all channels")
      ->capture_default_str();
  sub->add_option("--block-size", o->blockSize, "Samples per block (all channels)")
      ->capture_default_str();
  sub->add_option("--buffer-size", o->bufferSize,
                  "Host buffer in samples (default: 8 blocks or half a second of scans)");
  sub->add_option("--timeout", o->timeout, "Say so when no block arrives for this many seconds")
      ->capture_default_str();
  sub->add_option("--worksheet", o->worksheet, "Load this worksheet's settings first");
  sub->add_option("--host-delay", o->hostDelayMs,
                  "Wait this many milliseconds after each block (a slow host, to see an overrun);\n"
                  "the page can change it for each start")
      ->check(CLI::Range(0, 10000));
  sub->add_flag("--start", o->start, "Start measuring at once instead of waiting for the page");
  sub->footer(
      "The page's settings go through DRV_TestStruct and DRV_StartMeas; a refusal shows the\n"
      "module's own text. Examples:\n"
      "  tarnix-host monitor --port 8080\n"
      "  tarnix-host monitor -c 0-7 -r 100000 --block-size 1024 --start");
  sub->callback([&globals, exit, o] { *exit = RunMonitor(globals, *o); });
}

}  // namespace host
