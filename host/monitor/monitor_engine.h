// The live view's acquisition side. One thread of its own loads the module,
// initialises it and makes every DRV_ call from then on, as the host does
// from its one thread; the web server's threads only post commands to it and
// read snapshots of what it measured.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition.h"
#include "session.h"
#include "signal_stats.h"

namespace host {

// Longest wait after each block the live view takes, from its command line
// or from its page at a start.
inline constexpr int kMaxLiveHostDelayMs = 10000;

struct MonitorOptions {
  AcquireSettings settings;  // the measurement the page starts with
  double windowSeconds = 5;  // sliding window of the traces
};

// Per-channel figures over every sample of the current run.
struct ChannelFigures : RunningFigures {
  int channel = 0;
};

// One thinned point of the traces: time of its scan and one value per
// channel, in volts.
struct TracePoint {
  int64_t index = 0;  // counts the points of a run, from 0
  double time = 0;
  std::vector<double> volts;
};

struct MonitorMessage {
  int64_t sequence = 0;
  std::string kind;  // "refused", "overrun", "module", "host"
  std::string text;
};

struct MonitorSnapshot {
  std::string state = "idle";  // idle, measuring, stopped by overrun
  int64_t run = 0;             // raised by every start
  std::vector<int> channels;
  double rate = 0;
  int32_t blockSize = 0;
  int32_t bufferSize = 0;
  int hostDelayMs = 0;
  int64_t blocks = 0;
  int64_t samples = 0;
  int64_t overruns = 0;
  uint32_t fillPercent = 0;
  std::vector<ChannelFigures> figures;
  std::vector<TracePoint> points;  // newer than the asked cursor
  std::vector<MonitorMessage> messages;
};

// Answer to a start or stop posted by the page.
struct CommandResult {
  bool ok = false;
  std::string entry;    // the DRV_ entry that refused, when one did
  std::string message;  // the module's text for the refusal
};

class MonitorEngine {
 public:
  explicit MonitorEngine(MonitorOptions options) : options_(std::move(options)) {}
  ~MonitorEngine() { Shut(); }

  // Starts the acquisition thread, which opens and initialises the module.
  // Answers kExitOk once the module is ready, or why it is not.
  int Launch(const GlobalOptions& globals, const std::string& worksheet);
  // Stops a running measurement, DRV_KillDevice, ends the thread.
  void Shut();

  // Posted from any thread; answered once the acquisition thread has done it.
  CommandResult Start(const AcquireSettings& settings);
  CommandResult Stop();

  // State now, with trace points whose index is at least `pointCursor` and
  // messages after `messageCursor`.
  MonitorSnapshot Snapshot(int64_t run, int64_t pointCursor, int64_t messageCursor) const;
  const MonitorOptions& options() const { return options_; }

 private:
  struct Command {
    bool start = false;
    AcquireSettings settings;
    std::promise<CommandResult> done;
  };

  void Loop(const GlobalOptions& globals, std::string worksheet, std::promise<int> ready);
  CommandResult Post(Command& command);
  void Execute(Command& command);
  CommandResult BeginRun(const AcquireSettings& settings);
  void EndRun(const char* state);
  // One pass of the host's polling cycle; answers whether a block was moved.
  bool Poll();
  void Consume(const int16_t* block, int32_t count);
  void Note(const std::string& kind, const std::string& text);  // mutex_ held
  void NoteBoxes(const std::string& kind);                      // mutex_ held

  MonitorOptions options_;
  Session session_;  // touched only by the acquisition thread
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Command*> commands_;
  bool quit_ = false;

  // Guarded by mutex_.
  MonitorSnapshot state_;
  std::deque<TracePoint> window_;
  int64_t nextPoint_ = 0;
  int64_t nextMessage_ = 1;

  // Acquisition thread only.
  bool measuring_ = false;
  AcquireSettings run_;
  double rangeMax_ = 0;
  int64_t scanStride_ = 1;    // every n-th scan becomes a trace point
  int64_t scans_ = 0;         // complete scans of the run
  std::vector<double> scan_;  // the scan being filled
  size_t position_ = 0;       // next sample's place in the scan
  double lastBlockAt_ = 0;
  bool timeoutNoted_ = false;
};

}  // namespace host
