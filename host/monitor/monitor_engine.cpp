#include "monitor_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "channel_list.h"
#include "monitor_recording.h"
#include "os.h"

namespace host {
namespace {

// Points per second and channel the traces get at most; the statistics
// still see every sample.
constexpr double kTracePointsPerSecond = 500;

}  // namespace

int MonitorEngine::Launch(const GlobalOptions& globals, const std::string& worksheet) {
  SetWindow(options_.windowSeconds);
  std::promise<int> ready;
  std::future<int> answer = ready.get_future();
  thread_ = std::thread(&MonitorEngine::Loop, this, globals, worksheet, std::move(ready));
  int code = answer.get();
  if (code != kExitOk) Shut();
  return code;
}

void MonitorEngine::Shut() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

CommandResult MonitorEngine::Start(const AcquireSettings& settings) {
  Command command;
  command.kind = Command::Kind::kStart;
  command.settings = settings;
  return Post(command);
}

CommandResult MonitorEngine::Stop() {
  Command command;
  command.kind = Command::Kind::kStop;
  return Post(command);
}

CommandResult MonitorEngine::Record(const std::string& name) {
  Command command;
  command.kind = Command::Kind::kRecord;
  command.name = name;
  return Post(command);
}

CommandResult MonitorEngine::StopRecording() {
  Command command;
  command.kind = Command::Kind::kStopRecording;
  return Post(command);
}

CommandResult MonitorEngine::Point(PointKind kind, int32_t target, int32_t value) {
  Command command;
  command.kind = Command::Kind::kPoint;
  command.point = kind;
  command.target = target;
  command.value = value;
  return Post(command);
}

void MonitorEngine::SetWindow(double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.windowSeconds = std::clamp(seconds, kMinWindowSeconds, kMaxWindowSeconds);
}

// Hands a command to the engine's thread, which alone calls the module, and
// waits for its answer.
CommandResult MonitorEngine::Post(Command& command) {
  std::future<CommandResult> done = command.done.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quit_) return {false, "", "the monitor is shutting down"};
    commands_.push_back(&command);
  }
  wake_.notify_all();
  return done.get();
}

MonitorSnapshot MonitorEngine::Snapshot(int64_t run, int64_t pointCursor,
                                        int64_t messageCursor) const {
  std::lock_guard<std::mutex> lock(mutex_);
  MonitorSnapshot shot = state_;
  shot.figures = statistics_.figures();
  // A cursor from another run starts that client over.
  if (run != state_.run) pointCursor = 0;
  for (const TracePoint& point : window_) {
    if (point.index >= pointCursor) shot.points.push_back(point);
  }
  shot.messages.clear();
  for (const MonitorMessage& message : state_.messages) {
    if (message.sequence > messageCursor) shot.messages.push_back(message);
  }
  return shot;
}

void MonitorEngine::Loop(const GlobalOptions& globals, std::string worksheet,
                         std::promise<int> ready) {
  int code = OpenAndInitialise(session_, globals);
  if (code == kExitOk && !worksheet.empty()) {
    session_.api().LoadWorksheet(worksheet.c_str());
    session_.ReportBoxes();
  }
  if (code == kExitOk) DescribeBoard();
  ready.set_value(code);
  if (code != kExitOk) return;
  while (true) {
    Command* command = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      auto posted = [this] { return quit_ || !commands_.empty(); };
      if (!loop_.measuring()) {
        wake_.wait_for(lock, std::chrono::milliseconds(100), posted);
      } else if (double rest = pollAfter_ - MonotonicSeconds(); rest > 0) {
        // A slow host's wait: commands are still served during it.
        wake_.wait_for(lock, std::chrono::duration<double>(rest), posted);
      }
      if (quit_) break;
      if (!commands_.empty()) {
        command = commands_.front();
        commands_.pop_front();
      }
    }
    if (command != nullptr) {
      Execute(*command);
      continue;
    }
    if (loop_.measuring() && MonotonicSeconds() >= pollAfter_ && !Poll()) SleepMilliseconds(1);
  }
  if (loop_.measuring()) EndRun("idle");
  session_.Close();  // DRV_KillDevice
  std::lock_guard<std::mutex> lock(mutex_);
  for (Command* left : commands_) left->done.set_value({false, "", "the monitor is shutting down"});
  commands_.clear();
}

void MonitorEngine::Execute(Command& command) {
  switch (command.kind) {
    case Command::Kind::kStart:
      command.done.set_value(BeginRun(command.settings));
      return;
    case Command::Kind::kStop:
      if (loop_.measuring()) EndRun("idle");
      command.done.set_value({true, "", ""});
      return;
    case Command::Kind::kRecord:
      command.done.set_value(BeginRecording(command.name));
      return;
    case Command::Kind::kStopRecording:
      if (recorder_) EndRecording("");
      command.done.set_value({true, "", ""});
      return;
    case Command::Kind::kPoint: {
      PointOutcome outcome = PerformPoint(session_, command.point, command.target, command.value);
      command.done.set_value(
          {outcome.ok, outcome.ok ? "" : outcome.entry, outcome.message, outcome.value});
      return;
    }
  }
}

// Read once, on the acquisition thread, right after initialisation: the
// module rewrites the description only from its dialogs and worksheets,
// which the live view does not open.
void MonitorEngine::DescribeBoard() {
  tarnix::RecordRef record = session_.record();
  board_.name = RecordText(record, TARNIX_RECORD(boardName), 20);
  board_.counts = ReadBoardCounts(record);
  // Counters have no table to bound their count; a page of more rows than
  // any port table holds would only mean a count gone wrong.
  board_.counts.counters = std::min(board_.counts.counters, tarnix::kPortCapacity);
  board_.inputMin = InputRangeMin(record);
  board_.inputMax = InputRangeMax(record);
  if (board_.counts.outputPorts > 0) {
    int width = record.get<int16_t>(TARNIX_RECORD(portsA) + TARNIX_OFFSET(PortEntryA, portWidth));
    if (width >= 1 && width <= 32) board_.portWidth = width;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  state_.inputMin = board_.inputMin;
  state_.inputMax = board_.inputMax;
}

// The host's order (BlockLoop::Start); a refusal is explained by
// DRV_ShowError.
CommandResult MonitorEngine::BeginRun(const AcquireSettings& s) {
  if (loop_.measuring()) EndRun("idle");
  CommandResult result;
  result.entry = loop_.Start(s);
  if (!result.entry.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    NoteBoxes("module");
    result.message = session_.ErrorText();
    Note("refused", result.entry + ": " + result.message);
    return result;
  }
  run_ = s;
  run_.bufferSize = loop_.run().bufferSize;
  lastBlockAt_ = MonotonicSeconds();
  pollAfter_ = 0;
  timeoutNoted_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    NoteBoxes("module");  // e.g. a buffer size the module would not take
    MonitorSnapshot& st = state_;
    st.inputMin = loop_.run().rangeMin;
    st.inputMax = loop_.run().rangeMax;
    st.state = "measuring";
    ++st.run;
    st.channels = s.channels;
    st.rate = s.rate;
    st.blockSize = s.blockSize;
    st.bufferSize = run_.bufferSize;
    st.hostDelayMs = s.hostDelayMs;
    st.blocks = st.samples = st.overruns = 0;
    st.fillPercent = 0;
    window_.clear();
    nextPoint_ = 0;
  }
  loop_.Attach(*this);
  result.ok = true;
  return result;
}

void MonitorEngine::EndRun(const char* state) {
  if (recorder_) {
    EndRecording(std::string(state) == "idle" ? "the measurement was stopped"
                                              : std::string("the measurement was ") + state);
  }
  loop_.Stop();
  std::lock_guard<std::mutex> lock(mutex_);
  state_.state = state;
}

CommandResult MonitorEngine::BeginRecording(const std::string& name) {
  CommandResult result;
  if (recorder_) {
    result.message = "already recording to " + recordingFile_;
  } else if (!loop_.measuring()) {
    result.message = "nothing is being measured: start a measurement first";
  } else if (std::string problem = RecordingNameProblem(name); !problem.empty()) {
    result.message = problem;
  } else {
    auto recorder =
        std::make_unique<WavRecorder>(JoinPath(options_.wavFolder, name), CreateMode::kNew);
    if (loop_.Attach(*recorder)) {
      recorder_ = std::move(recorder);
      recordingFile_ = name;
      ShowRecording();
      result.ok = true;
      return result;
    }
    result.message =
        recorder->created() == CreateOutcome::kExists
            ? name + " already exists in " + options_.wavFolder + ": choose another name"
            : "cannot create " + name + " in " + options_.wavFolder + ": " + recorder->failure();
  }
  return result;  // the page shows the reason beside the button
}

void MonitorEngine::EndRecording(const std::string& note) {
  loop_.Detach(*recorder_);
  std::string why = note;
  if (!recorder_->Finish() && why.empty())
    why = "cannot write it any further: " + recorder_->failure();
  ShowRecording();
  recorder_.reset();
  std::lock_guard<std::mutex> lock(mutex_);
  state_.recording.state = "ended";
  state_.recording.note = why;
}

void MonitorEngine::ShowRecording() {
  std::lock_guard<std::mutex> lock(mutex_);
  RecordingStatus& r = state_.recording;
  r.state = "recording";
  r.file = recordingFile_;
  r.frames = recorder_->frames();
  r.bytes = recorder_->bytes();
  r.seconds = recorder_->seconds();
  r.note.clear();
}

bool MonitorEngine::Poll() {
  BlockLoop::Polled polled = loop_.Poll();
  if (polled == BlockLoop::Polled::kNothing) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.fillPercent = loop_.fillPercent();
    if (!timeoutNoted_ && MonotonicSeconds() - lastBlockAt_ > run_.timeout) {
      char text[96];
      std::snprintf(text, sizeof text, "no block arrived within %g s (fill %u%%)", run_.timeout,
                    loop_.fillPercent());
      Note("host", text);
      timeoutNoted_ = true;
    }
    return false;
  }
  lastBlockAt_ = MonotonicSeconds();
  timeoutNoted_ = false;
  // Only a recording can refuse a block.
  const bool recordingFailed = !loop_.TakeFailed().empty();
  if (recorder_) {
    if (!recordingFailed) {
      ShowRecording();
    } else {
      // The measurement goes on; the recording ends with what it holds.
      EndRecording("cannot write it any further: " + recorder_->failure());
      std::lock_guard<std::mutex> lock(mutex_);
      Note("host", "recording " + state_.recording.file + " stopped: " + state_.recording.note);
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.blocks = loop_.blocks();
    state_.samples = loop_.samples();
    state_.fillPercent = loop_.fillPercent();
    if (polled == BlockLoop::Polled::kOverrun) {
      // The module stopped the measurement itself and told the user why.
      ++state_.overruns;
      NoteBoxes("overrun");
    }
  }
  if (polled == BlockLoop::Polled::kOverrun) {
    EndRun("stopped by overrun");
  } else if (run_.hostDelayMs > 0) {
    pollAfter_ = MonotonicSeconds() + run_.hostDelayMs / 1000.0;
  }
  return true;
}

bool MonitorEngine::Begin(const RunInfo& run) {
  const double scanRate = run.ScanRate();
  scanStride_ =
      std::max<int64_t>(1, static_cast<int64_t>(std::ceil(scanRate / kTracePointsPerSecond)));
  scans_ = 0;
  position_ = 0;
  scan_.assign(run.channels.size(), 0.0);
  std::lock_guard<std::mutex> lock(mutex_);
  return statistics_.Begin(run);
}

bool MonitorEngine::Take(const int16_t* codes, size_t count, int64_t first) {
  const RunInfo& run = loop_.run();
  const size_t channels = scan_.size();
  const double scanRate = run.ScanRate();
  std::lock_guard<std::mutex> lock(mutex_);
  statistics_.Take(codes, count, first);
  for (size_t k = 0; k < count; ++k) {
    scan_[position_] = run.Volts(codes[k]);
    if (++position_ < channels) continue;
    position_ = 0;
    if (scans_ % scanStride_ == 0) {
      window_.push_back(TracePoint{nextPoint_++, static_cast<double>(scans_) / scanRate, scan_});
    }
    ++scans_;
  }
  const double newest = window_.empty() ? 0 : window_.back().time;
  while (!window_.empty() && window_.front().time < newest - state_.windowSeconds) {
    window_.pop_front();
  }
  return true;
}

void MonitorEngine::Note(const std::string& kind, const std::string& text) {
  state_.messages.push_back({nextMessage_++, kind, text});
  // The page shows the latest few; older ones need not be kept.
  if (state_.messages.size() > 64) state_.messages.erase(state_.messages.begin());
}

void MonitorEngine::NoteBoxes(const std::string& kind) {
  for (const BoxSeen& box : TakeBoxes()) Note(kind, box.text);
}

}  // namespace host
