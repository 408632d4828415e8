// The live view's acquisition side. One thread of its own loads the module,
// initialises it and makes every DRV_ call from then on, as the host does
// from its one thread; the web server's threads only post commands to it and
// read snapshots of what it measured.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition_settings.h"
#include "block_loop.h"
#include "board_description.h"
#include "session.h"
#include "signal_stats.h"
#include "single_point.h"
#include "wav_recorder.h"

namespace host {

// Longest wait after each block the live view takes, from its command line
// or from its page at a start.
inline constexpr int kMaxLiveHostDelayMs = 10000;

// The traces' sliding window, seconds: what the page may ask for. A minute
// of thinned points over 16 inputs stays within a few megabytes.
inline constexpr double kMinWindowSeconds = 1;
inline constexpr double kMaxWindowSeconds = 60;

struct MonitorOptions {
  AcquireSettings settings;  // the measurement the page starts with
  double windowSeconds = 5;  // sliding window of the traces
  std::string wavFolder;     // where the Record button writes (absolute)
};

// The board as the module described it in the record after initialisation
// (and the worksheet, when one was loaded): what the page offers panels for.
struct MonitorBoard {
  std::string name;
  BoardCounts counts;
  int portWidth = 8;  // bits per digital port, from the first port's entry
  double inputMin = 0, inputMax = 0;
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

// The page's recording: the one running, or the last one.
struct RecordingStatus {
  std::string state = "none";  // none, recording, ended
  std::string file;            // its name in the folder
  uint64_t frames = 0;         // scans in the file
  uint64_t bytes = 0;          // the file's size
  double seconds = 0;          // of measurement in the file
  std::string note;            // why it ended, when not by the Record button
};

struct MonitorSnapshot {
  std::string state = "idle";  // idle, measuring, stopped by overrun
  int64_t run = 0;             // raised by every start
  std::vector<int> channels;
  double rate = 0;
  int32_t blockSize = 0;
  int32_t bufferSize = 0;
  int hostDelayMs = 0;
  double windowSeconds = 0;
  double inputMin = 0, inputMax = 0;  // the run's input range, volts
  int64_t blocks = 0;
  int64_t samples = 0;
  int64_t overruns = 0;
  uint32_t fillPercent = 0;
  std::vector<ChannelFigures> figures;
  RecordingStatus recording;
  std::vector<TracePoint> points;  // newer than the asked cursor
  std::vector<MonitorMessage> messages;
};

// Answer to a command posted by the page.
struct CommandResult {
  bool ok = false;
  std::string entry;    // the DRV_ entry that refused, when one did
  std::string message;  // the module's text for the refusal
  uint32_t value = 0;   // a single-point call's value written or read
};

// The engine takes the blocks of its measurement itself (figures and
// traces); a recording is a second consumer of the same loop.
class MonitorEngine : private BlockConsumer {
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
  // One single-point call through the module's entry; allowed while
  // measuring (between two polls, on the acquisition thread).
  CommandResult Point(PointKind kind, int32_t target, int32_t value = 0);
  // Starts recording what is measured into `name`, a plain file name in the
  // options' folder that does not exist yet; refused (with the reason in
  // `message`) when nothing is measured or the name will not do.
  CommandResult Record(const std::string& name);
  CommandResult StopRecording();
  // Length of the traces' window, clamped to the limits above.
  void SetWindow(double seconds);

  // State now, with trace points whose index is at least `pointCursor` and
  // messages after `messageCursor`.
  MonitorSnapshot Snapshot(int64_t run, int64_t pointCursor, int64_t messageCursor) const;
  const MonitorOptions& options() const { return options_; }
  // Set once the module is initialised, before Launch answers.
  const MonitorBoard& board() const { return board_; }

 private:
  struct Command {
    enum class Kind { kStart, kStop, kPoint, kRecord, kStopRecording } kind = Kind::kStop;
    AcquireSettings settings;
    std::string name;
    PointKind point = PointKind::kDigitalRead;
    int32_t target = 0, value = 0;
    std::promise<CommandResult> done;
  };

  void Loop(const GlobalOptions& globals, std::string worksheet, std::promise<int> ready);
  CommandResult Post(Command& command);
  void Execute(Command& command);
  CommandResult BeginRun(const AcquireSettings& settings);
  void EndRun(const char* state);
  CommandResult BeginRecording(const std::string& name);
  // Closes the recording; `note` says why when it was not the page's wish.
  void EndRecording(const std::string& note);
  void ShowRecording();
  void DescribeBoard();
  // One pass of the host's polling cycle; answers whether a block was moved.
  bool Poll();
  // The blocks, as the loop's consumer: every sample into its channel's
  // figures, every scanStride_-th whole scan into the traces.
  bool Begin(const RunInfo& run) override;
  bool Take(const int16_t* codes, size_t count, int64_t first) override;
  void Note(const std::string& kind, const std::string& text);  // mutex_ held
  void NoteBoxes(const std::string& kind);                      // mutex_ held

  MonitorOptions options_;
  MonitorBoard board_;
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
  BlockLoop loop_{session_};
  AcquireSettings run_;
  std::unique_ptr<WavRecorder> recorder_;
  std::string recordingFile_;
  ChannelStatistics statistics_;  // guarded by mutex_ while measuring
  int64_t scanStride_ = 1;        // every n-th scan becomes a trace point
  int64_t scans_ = 0;             // complete scans of the run
  std::vector<double> scan_;      // the scan being filled
  size_t position_ = 0;           // next sample's place in the scan
  double lastBlockAt_ = 0;
  double pollAfter_ = 0;  // a slow host's wait after a block ends here
  bool timeoutNoted_ = false;
};

}  // namespace host
