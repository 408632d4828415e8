#include "monitor_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "channel_list.h"
#include "os.h"
#include "signal_stats.h"

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
      if (!measuring_) {
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
    if (measuring_ && MonotonicSeconds() >= pollAfter_ && !Poll()) SleepMilliseconds(1);
  }
  if (measuring_) EndRun("idle");
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
      if (measuring_) EndRun("idle");
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

// The host's order: settings into the record, DRV_SetInputBufferSize,
// DRV_TestStruct, DRV_StartMeas. A refusal is explained by DRV_ShowError.
CommandResult MonitorEngine::BeginRun(const AcquireSettings& s) {
  if (measuring_) EndRun("idle");
  const DriverApi& api = session_.api();
  tarnix::RecordRef record = session_.record();
  int32_t bufferSize = s.bufferSize > 0 ? s.bufferSize : DefaultBufferSize(s);
  WriteSettings(record, s, bufferSize);
  CommandResult result;
  if (api.SetInputBufferSize(bufferSize) == 0) {
    result.entry = "DRV_SetInputBufferSize";
  } else if (api.TestStruct() == 0) {
    result.entry = "DRV_TestStruct";
  } else {
    std::lock_guard<std::mutex> lock(mutex_);
    NoteBoxes("module");  // e.g. a buffer size the module would not take
  }
  if (result.entry.empty() && api.StartMeas() == 0) {
    result.entry = "DRV_StartMeas";
  }
  if (!result.entry.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    NoteBoxes("module");
    result.message = session_.ErrorText();
    Note("refused", result.entry + ": " + result.message);
    if (result.entry == "DRV_StartMeas") api.StopMeas();  // back to idle, as the host does
    return result;
  }

  run_ = s;
  run_.bufferSize = bufferSize;
  rangeMax_ = InputRangeMax(record);
  const double scanRate = s.rate / static_cast<double>(s.channels.size());
  scanStride_ =
      std::max<int64_t>(1, static_cast<int64_t>(std::ceil(scanRate / kTracePointsPerSecond)));
  scans_ = 0;
  position_ = 0;
  scan_.assign(s.channels.size(), 0.0);
  measuring_ = true;
  lastBlockAt_ = MonotonicSeconds();
  pollAfter_ = 0;
  timeoutNoted_ = false;

  std::lock_guard<std::mutex> lock(mutex_);
  MonitorSnapshot& st = state_;
  st.inputMin = InputRangeMin(record);
  st.inputMax = rangeMax_;
  st.state = "measuring";
  ++st.run;
  st.channels = s.channels;
  st.rate = s.rate;
  st.blockSize = s.blockSize;
  st.bufferSize = bufferSize;
  st.hostDelayMs = s.hostDelayMs;
  st.blocks = st.samples = st.overruns = 0;
  st.fillPercent = 0;
  st.figures.assign(s.channels.size(), ChannelFigures{});
  for (size_t i = 0; i < s.channels.size(); ++i) st.figures[i].channel = s.channels[i];
  window_.clear();
  nextPoint_ = 0;
  result.ok = true;
  return result;
}

void MonitorEngine::EndRun(const char* state) {
  session_.api().StopMeas();
  measuring_ = false;
  std::lock_guard<std::mutex> lock(mutex_);
  state_.state = state;
}

bool MonitorEngine::Poll() {
  const DriverApi& api = session_.api();
  tarnix::RecordRef record = session_.record();
  int32_t ready = api.GetInputBufStatus();
  uint32_t fill = ReportedFillPercent(api);
  if (ready == 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.fillPercent = fill;
    if (!timeoutNoted_ && MonotonicSeconds() - lastBlockAt_ > run_.timeout) {
      char text[96];
      std::snprintf(text, sizeof text, "no block arrived within %g s (fill %u%%)", run_.timeout,
                    fill);
      Note("host", text);
      timeoutNoted_ = true;
    }
    return false;
  }
  // The library may lower the count in blockSize to what it delivered; each
  // block asks for the full size again.
  record.set<int32_t>(TARNIX_RECORD(blockSize), run_.blockSize);
  const int16_t* block = api.GetInputBuf();
  int32_t delivered = std::clamp(record.get<int32_t>(TARNIX_RECORD(blockSize)), 0, run_.blockSize);
  record.set<int32_t>(TARNIX_RECORD(blockSize), run_.blockSize);
  api.AdvanceInputBuf();
  const bool overrun = !ModuleMeasuring(api);
  lastBlockAt_ = MonotonicSeconds();
  timeoutNoted_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (block != nullptr) Consume(block, delivered);
    ++state_.blocks;
    state_.fillPercent = fill;
    if (overrun) {
      // The module stopped the measurement itself and told the user why.
      ++state_.overruns;
      NoteBoxes("overrun");
    }
  }
  if (overrun) {
    EndRun("stopped by overrun");
  } else if (run_.hostDelayMs > 0) {
    pollAfter_ = MonotonicSeconds() + run_.hostDelayMs / 1000.0;
  }
  return true;
}

// Every sample goes into its channel's figures; every scanStride_-th whole
// scan into the traces. A scan may span two blocks.
void MonitorEngine::Consume(const int16_t* block, int32_t count) {
  const size_t channels = scan_.size();
  const double scanRate = run_.rate / static_cast<double>(channels);
  for (int32_t k = 0; k < count; ++k) {
    double v = CodeToVolts(block[k], rangeMax_);
    state_.figures[position_].Add(v);
    scan_[position_] = v;
    if (++position_ < channels) continue;
    position_ = 0;
    if (scans_ % scanStride_ == 0) {
      window_.push_back(TracePoint{nextPoint_++, static_cast<double>(scans_) / scanRate, scan_});
    }
    ++scans_;
  }
  state_.samples += count;
  const double newest = window_.empty() ? 0 : window_.back().time;
  while (!window_.empty() && window_.front().time < newest - state_.windowSeconds) {
    window_.pop_front();
  }
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
