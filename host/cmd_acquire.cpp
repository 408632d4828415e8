// tarnix-host acquire: one measurement from start to stop, with progress,
// per-channel statistics and optional CSV and SVG output.
#include <cstdio>
#include <memory>

#include "acquisition.h"
#include "channel_list.h"
#include "commands.h"
#include "csv_writer.h"
#include "os.h"
#include "svg_plot.h"

namespace host {
namespace {

struct AcquireOptions {
  std::string channels = "0-3";
  double rate = 1000;
  int32_t blockSize = 256;
  int32_t bufferSize = 0;
  int blocks = 0;
  double duration = 0;
  double timeout = 5;
  std::string csv;
  std::string plot;
  std::string worksheet;
};

void PrintStats(const Recording& recording) {
  std::printf("\n%8s %9s %11s %11s %11s %11s\n", "channel", "samples", "min (V)", "max (V)",
              "mean (V)", "RMS (V)");
  for (const ChannelStats& s : ComputeStats(recording)) {
    std::printf("%8d %9lld %11.4f %11.4f %11.4f %11.4f\n", s.channel,
                static_cast<long long>(s.count), s.min, s.max, s.mean, s.rms);
  }
}

int WriteOutputs(const AcquireOptions& o, const Recording& recording) {
  std::string why;
  if (!o.csv.empty()) {
    if (!WriteCsv(o.csv, recording, &why)) {
      std::fprintf(stderr, "error: cannot write %s: %s\n", o.csv.c_str(), why.c_str());
      return kExitFile;
    }
    std::printf("wrote %zu scans to %s\n", recording.scans(), o.csv.c_str());
  }
  if (!o.plot.empty()) {
    char title[160];
    std::snprintf(title, sizeof title,
                  "TARNIX acquisition: %zu channel(s), %g samples/s (%g scans/s), %zu scans",
                  recording.channels.size(), recording.rate, recording.ScanRate(),
                  recording.scans());
    if (!WriteSvgPlot(o.plot, recording, title, &why)) {
      std::fprintf(stderr, "error: cannot write %s: %s\n", o.plot.c_str(), why.c_str());
      return kExitFile;
    }
    std::printf("wrote plot to %s\n", o.plot.c_str());
  }
  return kExitOk;
}

int RunAcquire(const GlobalOptions& globals, const AcquireOptions& o) {
  AcquireSettings settings;
  std::string why;
  settings.channels = ParseChannelList(o.channels, &why);
  if (settings.channels.empty()) {
    std::fprintf(stderr, "error: --channels: %s\n", why.c_str());
    return kExitUsage;
  }
  settings.rate = o.rate;
  settings.blockSize = o.blockSize;
  settings.bufferSize = o.bufferSize;
  settings.timeout = o.timeout;
  if (o.duration > 0) {
    settings.duration = o.duration;
  } else {
    settings.blocks = o.blocks > 0 ? o.blocks : 20;
  }

  Session session;
  int code = OpenAndInitialise(session, globals);
  if (code != kExitOk) return code;
  if (!o.worksheet.empty()) {
    session.api().LoadWorksheet(o.worksheet.c_str());
    session.ReportBoxes();
  }
  PrintBoardDescription(session.record(), false);
  std::printf("\nacquiring %zu channel(s) at %g samples/s (%g scans/s), blocks of %d samples\n",
              settings.channels.size(), settings.rate,
              settings.rate / static_cast<double>(settings.channels.size()), settings.blockSize);
  std::fflush(stdout);

  ProgressDisplay display(StdoutIsTerminal());
  Recording recording;
  AcquireOutcome outcome = RunAcquisition(session, settings, display, &recording);
  session.Close();  // DRV_KillDevice: the host's order ends here
  if (recording.codes.empty()) return outcome.exitCode != kExitOk ? outcome.exitCode : kExitDriver;
  PrintStats(recording);
  std::printf("%zu scans in %.2f s\n", recording.scans(), outcome.seconds);
  int written = WriteOutputs(o, recording);
  return outcome.exitCode != kExitOk ? outcome.exitCode : written;
}

}  // namespace

void AddAcquireCommand(CLI::App& app, const GlobalOptions& globals, int* exit) {
  auto o = std::make_shared<AcquireOptions>();
  CLI::App* sub = app.add_subcommand("acquire", "Run one measurement and summarise the samples");
  sub->add_option("-c,--channels", o->channels, "Analog inputs to scan, e.g. 0-3,6")
      ->capture_default_str();
  sub->add_option("-r,--rate", o->rate,
                  "Sampling rate in Hz: samples per second over all channels (a scan of N "
                  "channels takes N/rate seconds)")
      ->capture_default_str();
  sub->add_option("--block-size", o->blockSize, "Samples per block (all channels)")
      ->capture_default_str();
  sub->add_option("--buffer-size", o->bufferSize,
                  "Host buffer in samples (default: 8 blocks or half a second of scans)");
  auto* blocks = sub->add_option("-n,--blocks", o->blocks, "Stop after this many blocks (default 20)");
  auto* duration = sub->add_option("-d,--duration", o->duration, "Stop after this many seconds of scans");
  blocks->excludes(duration);
  sub->add_option("--timeout", o->timeout, "Give up when no block arrives for this many seconds")
      ->capture_default_str();
  sub->add_option("--csv", o->csv, "Write the samples as CSV: time, then volts per channel");
  sub->add_option("--plot", o->plot, "Draw every channel against time into an SVG file");
  sub->add_option("--worksheet", o->worksheet, "Load this worksheet's settings before measuring");
  sub->footer(
      "Examples:\n"
      "  tarnix-host acquire --channels 0-3 --rate 1000 --blocks 20 --plot out/demo.svg\n"
      "  tarnix-host acquire -c 0,2 -r 500 --duration 2 --csv run.csv\n"
      "  tarnix-host --trace acquire -c 5 --block-size 64 --blocks 4");
  sub->callback([&globals, exit, o] { *exit = RunAcquire(globals, *o); });
}

}  // namespace host
