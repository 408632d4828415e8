#include "acquisition.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "os.h"

namespace host {
namespace {

std::string NameOf(const BlockConsumer* consumer, const std::vector<BlockConsumer*>& consumers,
                   const std::vector<std::string>& names) {
  auto at = std::find(consumers.begin(), consumers.end(), consumer);
  size_t i = static_cast<size_t>(at - consumers.begin());
  return i < names.size() ? names[i] : "an output";
}

}  // namespace

AcquireOutcome RunAcquisition(Session& session, const AcquireSettings& s, ProgressDisplay& display,
                              const std::vector<BlockConsumer*>& consumers,
                              const std::vector<std::string>& names) {
  AcquireOutcome outcome;
  BlockLoop loop(session);
  const double started = MonotonicSeconds();
  const double cpuStarted = ProcessCpuSeconds();
  std::string refused = loop.Start(s);
  if (!refused.empty()) {
    outcome.exitCode = session.Fail(refused);
    return outcome;
  }
  session.ReportBoxes();  // e.g. a buffer size the module would not take
  for (BlockConsumer* consumer : consumers) {
    if (!loop.Attach(*consumer)) {
      std::fprintf(stderr, "error: cannot write %s: %s\n",
                   NameOf(consumer, consumers, names).c_str(), consumer->failure().c_str());
      loop.Stop();
      outcome.exitCode = kExitFile;
      return outcome;
    }
  }
  outcome.started = true;
  // Ctrl-C ends the measurement as its end would: everything written so
  // far is kept, closed and summed up.
  CatchInterrupts();

  const size_t channels = s.channels.size();
  const double scansWanted =
      s.duration ? std::ceil(*s.duration * s.rate / static_cast<double>(channels)) : 0;
  // Whole scans taken so far.
  auto scansDone = [&] {
    return static_cast<double>(static_cast<size_t>(loop.samples()) / channels);
  };
  ProgressState progress;
  progress.targetBlocks = s.blocks.value_or(0);
  double lastBlock = MonotonicSeconds();
  while (true) {
    if (s.blocks ? progress.blocks >= *s.blocks : scansDone() >= scansWanted) break;
    if (InterruptRequested()) {
      display.Finish(progress);
      std::fprintf(stderr, "stopped by Ctrl-C after %d blocks\n", progress.blocks);
      outcome.interrupted = true;
      break;
    }
    BlockLoop::Polled polled = loop.Poll();
    progress.fillPercent = loop.fillPercent();
    if (polled == BlockLoop::Polled::kNothing) {
      if (MonotonicSeconds() - lastBlock > s.timeout) {
        display.Finish(progress);
        std::fprintf(stderr, "error: no block arrived within %g s (fill %u%%)\n", s.timeout,
                     progress.fillPercent);
        outcome.exitCode = kExitDriver;
        break;
      }
      display.Update(progress);
      SleepMilliseconds(1);
      continue;
    }
    if (s.hostDelayMs > 0) SleepMilliseconds(s.hostDelayMs);
    lastBlock = MonotonicSeconds();
    ++progress.blocks;
    progress.samples = loop.samples();
    progress.fraction = s.blocks ? static_cast<double>(progress.blocks) / *s.blocks
                                 : scansDone() / std::max(scansWanted, 1.0);
    std::vector<BlockConsumer*> failed = loop.TakeFailed();
    if (!failed.empty()) {
      display.Finish(progress);
      for (BlockConsumer* consumer : failed) {
        std::fprintf(stderr, "error: cannot write %s any further: %s; the measurement ends here\n",
                     NameOf(consumer, consumers, names).c_str(), consumer->failure().c_str());
      }
      outcome.exitCode = kExitCut;
      break;
    }
    if (polled == BlockLoop::Polled::kOverrun) {
      ++progress.overruns;
      outcome.overrun = true;
      display.Finish(progress);
      session.ReportBoxes(&outcome.overrunMessages);
      std::fprintf(stderr, "error: the measurement was stopped by an overrun after %d blocks\n",
                   progress.blocks);
      outcome.exitCode = kExitDriver;
      break;
    }
    display.Update(progress, progress.blocks == 1);
  }
  if (outcome.exitCode == kExitOk && !outcome.interrupted) display.Finish(progress);
  outcome.samples = loop.samples();
  outcome.peakFillPercent = loop.peakFillPercent();
  loop.Stop();
  outcome.seconds = MonotonicSeconds() - started;
  outcome.cpuSeconds = ProcessCpuSeconds() - cpuStarted;
  return outcome;
}

}  // namespace host
