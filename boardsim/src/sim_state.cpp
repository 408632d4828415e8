#include "sim_state.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "profile_loader.h"
#include "signal_generator.h"
#include "statuses.h"

namespace velqsim {

namespace {

// Built on first use and never destroyed: the library may still be called
// while a process unloads its modules in any order.
SimState* g_state = nullptr;

std::mutex& StateMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

int64_t SteadyMicroseconds() {
  static const auto kOrigin = std::chrono::steady_clock::now();
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               kOrigin)
      .count();
}

void BuildFirstWorld(SimState& state) {
  const char* path = std::getenv("VELQSIM_CONFIG");
  if (path == nullptr || *path == '\0') {
    InstallWorld(state, MakeDefaultWorld());
    return;
  }
  ProfileResult result = LoadProfileFile(path);
  if (result.ok) {
    InstallWorld(state, std::move(result.world));
    return;
  }
  InstallRefusal(state, result.error);
  std::fprintf(stderr, "VLQAPI: %s\n", result.error.c_str());
}

// Whole samples due for `deltaUs` microseconds at `perSecond`, carrying the
// fraction (in millionths of a sample) to the next call.
int64_t DueCount(int64_t deltaUs, int64_t perSecond, int64_t* carry) {
  constexpr int64_t kMillion = 1000000;
  // Beyond ~3 years of clock in one step the count is limited; no scan
  // configuration can tell, since the FIFO holds far fewer samples.
  const int64_t wholeSeconds = std::min<int64_t>(deltaUs / kMillion, int64_t{100000000});
  const int64_t partUs = deltaUs % kMillion;
  const int64_t fromPart = partUs * perSecond + *carry;
  *carry = fromPart % kMillion;
  return wholeSeconds * perSecond + fromPart / kMillion;
}

void SettleScan(SimState& state, BoardState& board) {
  AdScan& scan = board.scan;
  if (!scan.running || scan.clockSource != 0) return;  // external clock: pulses only
  const int64_t now = NowUs(state);
  if (state.clockMode == kVelqSimUnthrottled) {
    scan.lastUs = now;
    AccrueSamples(board, board.fifoCapacity - scan.waiting, false);
    return;
  }
  const int64_t delta = now - scan.lastUs;
  if (delta <= 0) return;
  scan.lastUs = now;
  AccrueSamples(board, DueCount(delta, scan.samplesPerSecond, &scan.carry), false);
}

void SettleCounters(SimState& state, BoardState& board) {
  const int64_t now = NowUs(state);
  const int64_t delta = now - board.countersLastUs;
  if (delta <= 0) return;
  board.countersLastUs = now;
  const double seconds = static_cast<double>(delta) / 1e6;
  for (CounterState& counter : board.counters) {
    const double total = counter.fraction + counter.rate * seconds;
    const double whole = std::floor(total);
    counter.fraction = total - whole;
    // Counters are 32 bits wide and wrap.
    const double wrapped = std::fmod(whole, 4294967296.0);
    counter.value += static_cast<uint32_t>(wrapped);
  }
}

uint64_t OldestUnread(const AdScan& scan) {
  return scan.fifo.empty() ? scan.accrued : scan.fifo.front().start;
}

// Forgets the values no unread sample can see any more: an entry ends where
// the next one holds from.
void PruneOutputHistory(BoardState& board) {
  const uint64_t oldest = OldestUnread(board.scan);
  for (std::deque<OutputChange>& history : board.outputHistory) {
    while (history.size() >= 2 && history[1].fromSample <= oldest) history.pop_front();
  }
}

// What analog output `output` held at stream sample `index`.
int32_t OutputAt(const BoardState& board, int32_t output, uint64_t index) {
  if (output < 0 || static_cast<size_t>(output) >= board.outputHistory.size()) return 0;
  const std::deque<OutputChange>& history = board.outputHistory[static_cast<size_t>(output)];
  auto after = std::upper_bound(
      history.begin(), history.end(), index,
      [](uint64_t sample, const OutputChange& change) { return sample < change.fromSample; });
  if (after == history.begin()) return board.analogOutputs[static_cast<size_t>(output)];
  return std::prev(after)->microvolts;
}

}  // namespace

std::unique_lock<std::mutex> Lock() {
  std::unique_lock<std::mutex> lock(StateMutex());
  if (g_state == nullptr) {
    g_state = new SimState;
    BuildFirstWorld(*g_state);
  }
  return lock;
}

SimState& State() { return *g_state; }

void InstallWorld(SimState& state, WorldSpec world) {
  state.world = std::move(world);
  state.boards.clear();
  state.refusing = false;
  state.lastError.clear();
  state.overrides = state.world.answers;
  state.failures.clear();
  state.names.clear();
  state.clockMode = kVelqSimRealTime;
  state.virtualUs = 0;
  state.feedPending = false;
  state.fedSamples.clear();
  state.haveAdConfig = false;
  state.lastAdConfig = VelqSimAdConfig{};
  state.haveGetData = false;
  state.lastGetDataBuffer = nullptr;
  state.log.Clear();
  const int64_t now = NowUs(state);
  for (const BoardDescription& description : state.world.boards) {
    BoardState board;
    board.description = description;
    board.fifoCapacity = description.fifoCapacity;
    board.analogOutputs.assign(static_cast<size_t>(description.analogOutputs), 0);
    RestartOutputHistory(board);
    board.ports.assign(static_cast<size_t>(description.digitalPorts), 0);
    board.counters.resize(static_cast<size_t>(description.counters));
    for (size_t i = 0; i < board.counters.size() && i < description.counterRates.size(); ++i) {
      board.counters[i].rate = description.counterRates[i];
    }
    board.countersLastUs = now;
    state.boards.push_back(std::move(board));
  }
}

void InstallRefusal(SimState& state, const std::string& reason) {
  InstallWorld(state, WorldSpec{});
  state.world.boards.clear();
  state.boards.clear();
  state.overrides.clear();
  state.refusing = true;
  state.lastError = reason;
}

BoardState* FindBoard(SimState& state, int32_t serial) {
  for (BoardState& board : state.boards) {
    if (board.description.serial == serial) return &board;
  }
  return nullptr;
}

int64_t NowUs(const SimState& state) {
  return state.clockMode == kVelqSimVirtual ? state.virtualUs : SteadyMicroseconds();
}

void Settle(SimState& state, BoardState& board) {
  SettleScan(state, board);
  SettleCounters(state, board);
}

void SettleAll(SimState& state) {
  for (BoardState& board : state.boards) Settle(state, board);
}

void RebaseAll(SimState& state) {
  const int64_t now = NowUs(state);
  for (BoardState& board : state.boards) {
    board.scan.lastUs = now;
    board.countersLastUs = now;
  }
}

void AccrueSamples(BoardState& board, int64_t samples, bool unbounded) {
  AdScan& scan = board.scan;
  if (samples <= 0) return;
  const SampleLoss& loss = board.description.loss;
  if (loss.after >= 0 && !scan.lossDone && scan.accrued >= static_cast<uint64_t>(loss.after)) {
    // The injected fault: these samples never reach the FIFO, and nothing
    // says so.
    scan.lossDone = true;
    scan.accrued += static_cast<uint64_t>(loss.count);
  }
  const int64_t space = std::max<int64_t>(board.fifoCapacity - scan.waiting, 0);
  const int64_t kept = unbounded ? samples : std::min(samples, space);
  if (kept > 0) {
    Segment* last = scan.fifo.empty() ? nullptr : &scan.fifo.back();
    if (last != nullptr && last->start + static_cast<uint64_t>(last->count) == scan.accrued) {
      last->count += kept;
    } else {
      scan.fifo.push_back(Segment{scan.accrued, kept});
    }
    scan.waiting += kept;
  }
  const int64_t lost = samples - kept;
  if (lost > 0) {
    scan.bufferOverrun = 1;
    const int64_t total = static_cast<int64_t>(scan.lostSamples) + lost;
    scan.lostSamples = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
  }
  scan.accrued += static_cast<uint64_t>(samples);
}

int64_t TakeSamples(BoardState& board, int32_t* buffer, int64_t count) {
  AdScan& scan = board.scan;
  int64_t stored = 0;
  while (stored < count && !scan.fifo.empty()) {
    Segment& front = scan.fifo.front();
    const int64_t step = std::min(count - stored, front.count);
    for (int64_t i = 0; i < step; ++i) {
      buffer[stored + i] = StreamSample(board, front.start + static_cast<uint64_t>(i));
    }
    stored += step;
    front.start += static_cast<uint64_t>(step);
    front.count -= step;
    if (front.count == 0) scan.fifo.pop_front();
  }
  scan.waiting -= stored;
  PruneOutputHistory(board);
  return stored;
}

void WriteAnalogOutput(SimState& state, BoardState& board, int32_t output, int32_t microvolts) {
  Settle(state, board);  // what is due up to now was converted with the old value
  board.analogOutputs[static_cast<size_t>(output)] = microvolts;
  const uint64_t from =
      state.clockMode == kVelqSimUnthrottled ? OldestUnread(board.scan) : board.scan.accrued;
  std::deque<OutputChange>& history = board.outputHistory[static_cast<size_t>(output)];
  while (!history.empty() && history.back().fromSample >= from) history.pop_back();
  history.push_back(OutputChange{from, microvolts});
  PruneOutputHistory(board);
}

void RestartOutputHistory(BoardState& board) {
  board.outputHistory.assign(board.analogOutputs.size(), {});
  for (size_t i = 0; i < board.analogOutputs.size(); ++i) {
    board.outputHistory[i].push_back(OutputChange{0, board.analogOutputs[i]});
  }
}

int32_t InputValue(const BoardState& board, int32_t channel, double seconds, uint64_t scanIndex) {
  if (channel < 0 || static_cast<size_t>(channel) >= board.description.signals.size()) return 0;
  const SignalSpec& signal = board.description.signals[static_cast<size_t>(channel)];
  if (signal.kind == SignalKind::kLoopback) {
    const size_t output = static_cast<size_t>(signal.output);
    return output < board.analogOutputs.size() ? board.analogOutputs[output] : 0;
  }
  const uint32_t seed =
      static_cast<uint32_t>(board.description.serial) * 131u + static_cast<uint32_t>(channel);
  return SignalValue(board.description.signals[static_cast<size_t>(channel)], seconds, scanIndex,
                     seed);
}

int32_t StreamSample(const BoardState& board, uint64_t index) {
  const AdScan& scan = board.scan;
  const uint64_t count = scan.channels.size();
  if (count == 0 || scan.scanRate <= 0.0) return 0;
  const int32_t channel = scan.channels[index % count];
  const std::vector<SignalSpec>& signals = board.description.signals;
  if (channel >= 0 && static_cast<size_t>(channel) < signals.size() &&
      signals[static_cast<size_t>(channel)].kind == SignalKind::kLoopback) {
    return OutputAt(board, signals[static_cast<size_t>(channel)].output, index);
  }
  const uint64_t scanIndex = index / count;
  const double seconds = static_cast<double>(scanIndex) / scan.scanRate;
  return InputValue(board, channel, seconds, scanIndex);
}

bool Intercepted(SimState& state, const char* function, int32_t* status) {
  if (state.refusing) {
    *status = kNotReady;
    return true;
  }
  auto rule = state.failures.find(function);
  if (rule == state.failures.end()) return false;
  *status = rule->second.status;
  if (rule->second.times > 0 && --rule->second.times == 0) state.failures.erase(rule);
  return true;
}

}  // namespace velqsim
