// tarnix-host acquire: one measurement from start to stop, with progress,
// per-channel statistics and optional CSV and SVG output.
#include <cstdio>
#include <memory>

#include "acquisition.h"
#include "acquisition_options.h"
#include "commands.h"
#include "csv_writer.h"
#include "os.h"
#include "svg_plot.h"

namespace host {
namespace {

// Longest wait after each block the command line takes.
constexpr int kMaxHostDelayMs = 60000;

struct AcquireOptions : AcquisitionOptions {
  int blocks = 0;
  double duration = 0;
  std::string csv;
  std::string plot;
  bool checkSequence = false;
  bool countOnly = false;
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

void PrintCheck(const SequenceCheck& check) {
  std::printf("\nsequence check:\n%8s %12s %8s %8s %6s\n", "channel", "checked", "gaps", "repeats",
              "step");
  for (const ChannelContinuity& c : check.channels()) {
    std::printf("%8d %12lld %8lld %8lld %6d\n", c.channel, static_cast<long long>(c.checked),
                static_cast<long long>(c.gaps), static_cast<long long>(c.repeats), c.step);
  }
  for (const ChannelContinuity& c : check.channels()) {
    if (!c.firstFault.empty())
      std::printf("  channel %d, first fault: %s\n", c.channel, c.firstFault.c_str());
  }
  if (check.faults() == 0) {
    std::printf("sequence check passed: %lld samples checked\n",
                static_cast<long long>(check.checked()));
  } else {
    std::printf("sequence check FAILED: %lld fault(s) in %lld samples checked\n",
                static_cast<long long>(check.faults()), static_cast<long long>(check.checked()));
  }
}

// What every run reports, whether it ended well or by an overrun.
void PrintSummary(const AcquireOutcome& outcome) {
  std::printf("\nsamples moved: %lld in %.2f s\n", static_cast<long long>(outcome.samples),
              outcome.seconds);
  std::printf("overruns: %d\n", outcome.overrun ? 1 : 0);
  for (const std::string& text : outcome.overrunMessages) {
    std::printf("overrun message: %s\n", text.c_str());
  }
  const double perSecond = outcome.seconds > 0 ? outcome.cpuSeconds / outcome.seconds : 0;
  std::printf("host CPU: %.4f s per second of acquisition (%.1f %%)\n", perSecond, perSecond * 100);
  std::printf("peak fill: %u %%\n", outcome.peakFillPercent);
}

int RunAcquire(const GlobalOptions& globals, const AcquireOptions& o) {
  AcquireSettings settings;
  if (int code = o.Resolve(&settings); code != kExitOk) return code;
  settings.keepSamples = !o.countOnly;
  if (o.countOnly && (!o.csv.empty() || !o.plot.empty())) {
    std::fprintf(stderr, "error: --count-only keeps no samples for --csv or --plot\n");
    return kExitUsage;
  }
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
  SequenceCheck check(settings.channels);
  AcquireOutcome outcome =
      RunAcquisition(session, settings, display, &recording, o.checkSequence ? &check : nullptr);
  session.Close();  // DRV_KillDevice: the host's order ends here
  if (outcome.samples == 0) {
    PrintSummary(outcome);
    return outcome.exitCode != kExitOk ? outcome.exitCode : kExitDriver;
  }
  if (settings.keepSamples) {
    PrintStats(recording);
    std::printf("%zu scans in %.2f s\n", recording.scans(), outcome.seconds);
  }
  if (o.checkSequence) PrintCheck(check);
  PrintSummary(outcome);
  int written = WriteOutputs(o, recording);
  if (outcome.exitCode != kExitOk) return outcome.exitCode;
  if (o.checkSequence && check.faults() > 0) return kExitCheck;
  return written;
}

}  // namespace

void AddAcquireCommand(CLI::App& app, const GlobalOptions& globals, int* exit) {
  auto o = std::make_shared<AcquireOptions>();
  CLI::App* sub = app.add_subcommand("acquire", "Run one measurement and summarise the samples");
  AddScanOptions(*sub, o.get(),
                 "Sampling rate in Hz: samples per second over all channels (a scan of N "
                 "channels takes N/rate seconds)");
  auto* blocks =
      sub->add_option("-n,--blocks", o->blocks, "Stop after this many blocks (default 20)");
  auto* duration =
      sub->add_option("-d,--duration", o->duration, "Stop after this many seconds of scans");
  blocks->excludes(duration);
  AddTimeoutOption(*sub, o.get(), "Give up when no block arrives for this many seconds");
  sub->add_option("--csv", o->csv, "Write the samples as CSV: time, then volts per channel");
  sub->add_option("--plot", o->plot, "Draw every channel against time into an SVG file");
  AddWorksheetOption(*sub, o.get(), "Load this worksheet's settings before measuring");
  sub->add_flag("--check-sequence", o->checkSequence,
                "Every channel carries a sequence signal: check that no sample is lost, "
                "repeated or reordered (exit 6 on a fault)");
  AddHostDelayOption(*sub, o.get(),
                     "Wait this many milliseconds after each block, like a slow host",
                     kMaxHostDelayMs);
  sub->add_flag("--count-only", o->countOnly,
                "Keep no samples (no statistics, CSV or plot): for long runs");
  sub->footer(
      "Examples:\n"
      "  tarnix-host acquire --channels 0-3 --rate 1000 --blocks 20 --plot out/demo.svg\n"
      "  tarnix-host acquire -c 0,2 -r 500 --duration 2 --csv run.csv\n"
      "  tarnix-host --trace acquire -c 5 --block-size 64 --blocks 4\n"
      "  tarnix-host --board-config seq.json acquire -c 0-7 --check-sequence --duration 10");
  sub->callback([&globals, exit, o] { *exit = RunAcquire(globals, *o); });
}

}  // namespace host
