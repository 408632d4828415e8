// tarnix-host acquire: one measurement from start to stop, with progress,
// per-channel statistics and, written as the blocks arrive, an optional WAV
// recording, CSV table and SVG plot; memory stays flat however long it runs.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "acquisition.h"
#include "acquisition_options.h"
#include "commands.h"
#include "csv_writer.h"
#include "os.h"
#include "output_file.h"
#include "plot_columns.h"
#include "sequence_check.h"
#include "signal_stats.h"
#include "svg_plot.h"
#include "wav_recorder.h"

namespace host {
namespace {

// Longest wait after each block the command line takes.
constexpr int kMaxHostDelayMs = 60000;

struct AcquireOptions : AcquisitionOptions {
  int blocks = 0;
  double duration = 0;
  std::string csv;
  std::string plot;
  std::string wav;
  bool checkSequence = false;
  bool countOnly = false;
};

void PrintStats(const ChannelStatistics& statistics) {
  std::printf("\n%8s %9s %11s %11s %11s %11s\n", "channel", "samples", "min (V)", "max (V)",
              "mean (V)", "RMS (V)");
  for (const ChannelStats& s : statistics.Stats()) {
    std::printf("%8d %9lld %11.4f %11.4f %11.4f %11.4f\n", s.channel,
                static_cast<long long>(s.count), s.min, s.max, s.mean, s.rms);
  }
}

// Opens each output file for writing once, before anything is measured, so
// that a path which cannot be written ends the run at once rather than after
// the measurement. A file this made is removed again; one already there is
// left as it was.
int CheckOutputsWritable(const AcquireOptions& o) {
  for (const std::string& path : {o.csv, o.plot, o.wav}) {
    if (path.empty()) continue;
    std::error_code unknown;
    const bool existed = std::filesystem::exists(path, unknown) || unknown;
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
      std::fprintf(stderr, "error: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
      return kExitFile;
    }
    std::fclose(file);
    if (!existed) std::remove(path.c_str());
  }
  return kExitOk;
}

// The files written as the blocks came, closed and summed up; the plot,
// drawn from what it kept. Answers kExitOk, or the exit code of a file
// that could not be finished.
int FinishOutputs(const AcquireOptions& o, WavRecorder& wav, CsvStream& csv,
                  const PlotColumns& plot) {
  int code = kExitOk;
  // A file that failed while the run went on has said so already.
  if (!o.wav.empty()) {
    const bool failedBefore = !wav.failure().empty();
    if (!wav.Finish()) {
      if (!failedBefore) {
        std::fprintf(stderr, "error: cannot write %s: %s\n", o.wav.c_str(), wav.failure().c_str());
      }
      code = kExitCut;
    }
    std::printf("wrote %llu scans (%.3f s) to %s, %llu bytes%s\n",
                static_cast<unsigned long long>(wav.frames()), wav.seconds(), o.wav.c_str(),
                static_cast<unsigned long long>(wav.bytes()), wav.rf64() ? " (RF64)" : "");
    std::printf("incomplete last scan left out: %zu samples\n", wav.leftOut());
  }
  if (!o.csv.empty()) {
    const bool failedBefore = !csv.failure().empty();
    if (!csv.Finish()) {
      if (!failedBefore) {
        std::fprintf(stderr, "error: cannot write %s: %s\n", o.csv.c_str(), csv.failure().c_str());
      }
      code = kExitCut;
    }
    std::printf("wrote %lld scans to %s\n", static_cast<long long>(csv.rows()), o.csv.c_str());
  }
  if (!o.plot.empty()) {
    char title[160];
    std::snprintf(title, sizeof title,
                  "TARNIX acquisition: %zu channel(s), %g samples/s (%g scans/s), %lld scans",
                  plot.run().channels.size(), plot.run().rate, plot.run().ScanRate(),
                  static_cast<long long>(plot.scans()));
    std::string why;
    if (!WriteSvgPlot(o.plot, plot, title, &why)) {
      std::fprintf(stderr, "error: cannot write %s: %s\n", o.plot.c_str(), why.c_str());
      return kExitFile;
    }
    std::printf("wrote plot to %s\n", o.plot.c_str());
  }
  return code;
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
  std::printf("peak memory: %llu KB\n", static_cast<unsigned long long>(PeakMemoryBytes() / 1024));
}

int RunAcquire(const GlobalOptions& globals, const AcquireOptions& o) {
  AcquireSettings settings;
  if (int code = o.Resolve(&settings); code != kExitOk) return code;
  if (o.countOnly && (!o.csv.empty() || !o.plot.empty() || !o.wav.empty())) {
    std::fprintf(stderr, "error: --count-only writes no --csv, --plot or --wav\n");
    return kExitUsage;
  }
  if (o.duration > 0) {
    settings.duration = o.duration;
  } else {
    settings.blocks = o.blocks > 0 ? o.blocks : 20;
  }

  int code = CheckOutputsWritable(o);
  if (code != kExitOk) return code;
  ReportFileSizeLimits();

  Session session;
  code = OpenAndInitialise(session, globals);
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

  // What takes the blocks as they pass; nothing keeps the samples.
  ChannelStatistics statistics;
  SequenceCheck check(settings.channels);
  WavRecorder wav(o.wav, CreateMode::kReplace);
  CsvStream csv(o.csv);
  PlotColumns plot(PlotColumnCount());
  std::vector<BlockConsumer*> consumers;
  std::vector<std::string> names;
  auto use = [&](bool wanted, BlockConsumer& consumer, const std::string& name) {
    if (!wanted) return;
    consumers.push_back(&consumer);
    names.push_back(name);
  };
  use(!o.countOnly, statistics, "the statistics");
  use(o.checkSequence, check, "the sequence check");
  use(!o.wav.empty(), wav, o.wav);
  use(!o.csv.empty(), csv, o.csv);
  use(!o.plot.empty(), plot, o.plot);

  ProgressDisplay display(StdoutIsTerminal());
  AcquireOutcome outcome = RunAcquisition(session, settings, display, consumers, names);
  session.Close();                                // DRV_KillDevice: the host's order ends here
  if (!outcome.started) return outcome.exitCode;  // no output was begun
  if (outcome.samples == 0) {
    PrintSummary(outcome);
    int finished = FinishOutputs(o, wav, csv, plot);
    if (outcome.exitCode != kExitOk) return outcome.exitCode;
    return finished != kExitOk ? finished : kExitDriver;
  }
  if (!o.countOnly) {
    PrintStats(statistics);
    std::printf(
        "%lld scans in %.2f s\n",
        static_cast<long long>(outcome.samples / static_cast<int64_t>(settings.channels.size())),
        outcome.seconds);
  }
  if (o.checkSequence) PrintCheck(check);
  PrintSummary(outcome);
  int finished = FinishOutputs(o, wav, csv, plot);
  if (outcome.exitCode != kExitOk) return outcome.exitCode;
  if (o.checkSequence && check.faults() > 0) return kExitCheck;
  return finished;
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
  sub->add_option("--wav", o->wav,
                  "Record the codes as they arrive into a WAV file (16-bit, one channel per "
                  "input,\none frame per scan, with its scale, rate and board; RF64 past 4 GB)");
  AddWorksheetOption(*sub, o.get(), "Load this worksheet's settings before measuring");
  sub->add_flag("--check-sequence", o->checkSequence,
                "Every channel carries a sequence signal: check that no sample is lost, "
                "repeated or reordered (exit 6 on a fault)");
  AddHostDelayOption(*sub, o.get(),
                     "Wait this many milliseconds after each block, like a slow host",
                     kMaxHostDelayMs);
  sub->add_flag("--count-only", o->countOnly,
                "Only count (and check) the samples: no statistics, CSV, plot or WAV");
  sub->footer(
      "Examples:\n"
      "  tarnix-host acquire --channels 0-3 --rate 1000 --blocks 20 --plot out/demo.svg\n"
      "  tarnix-host acquire -c 0,2 -r 500 --duration 2 --csv run.csv\n"
      "  tarnix-host acquire -c 0-7 -r 200000 --block-size 4096 --duration 3600 --wav run.wav\n"
      "  tarnix-host --trace acquire -c 5 --block-size 64 --blocks 4\n"
      "  tarnix-host --board-config seq.json acquire -c 0-7 --check-sequence --duration 10");
  sub->callback([&globals, exit, o] { *exit = RunAcquire(globals, *o); });
}

}  // namespace host
