// The simulated library's whole runtime state, guarded by one mutex.
//
// Every exported function takes the lock through Lock(), which also builds the
// first world on first use (the default world, or the profile named by the
// environment variable VELQSIM_CONFIG).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "abi/velqsim.h"
#include "board_model.h"
#include "call_log.h"

namespace velqsim {

// A run of consecutive stream samples waiting in the FIFO. Samples are
// computed when read, so a FIFO of a million samples costs a few segments.
struct Segment {
  uint64_t start;  // stream index of the first sample
  int64_t count;
};

struct AdScan {
  bool configured = false;
  bool running = false;
  int32_t rate = 0;
  int32_t clockSource = 0;  // 0 internal, 1 external
  int32_t mode = 0;         // 0 normal (rate = samples/s), 1 burst (rate = scans/s)
  std::vector<int32_t> channels;
  std::vector<int32_t> gainCodes;
  int64_t samplesPerSecond = 0;
  double scanRate = 0.0;  // scans per second
  uint64_t accrued = 0;   // stream samples produced since the start
  int64_t carry = 0;      // part of the next sample, in millionths
  int64_t lastUs = 0;     // clock reading of the last accrual
  std::deque<Segment> fifo;
  int64_t waiting = 0;        // samples held in fifo
  int32_t lostSamples = 0;    // query 105: samples dropped (saturating)
  int32_t bufferOverrun = 0;  // query 107: 1 once the FIFO had to drop samples
  bool lossDone = false;      // the board's injected sample loss has happened
};

// A value written to an analog output, holding from stream sample
// `fromSample` of the board's scan on.
struct OutputChange {
  uint64_t fromSample;
  int32_t microvolts;
};

struct CounterState {
  uint32_t value = 0;
  double rate = 0.0;      // counts per second
  double fraction = 0.0;  // part of the next count
};

struct BoardState {
  BoardDescription description;
  AdScan scan;
  int64_t fifoCapacity = kDefaultFifoCapacity;
  std::vector<int32_t> analogOutputs;  // last microvolts per output
  // Per output, the values it held since the oldest sample still unread,
  // oldest first: what a wired input converted at each sample.
  std::vector<std::deque<OutputChange>> outputHistory;
  std::vector<uint32_t> ports;  // last value written per port
  std::vector<CounterState> counters;
  int64_t countersLastUs = 0;
};

struct FailRule {
  int32_t status = 0;
  int32_t times = 0;  // -1 = every call
};

struct SimState {
  WorldSpec world;
  std::vector<BoardState> boards;
  bool refusing = false;                   // a profile failed: every VELQ_ call fails
  std::string lastError;                   // why, for VELQSIM_LastError
  std::map<AnswerKey, int32_t> overrides;  // VELQSIM_SetAnswer
  std::map<std::string, FailRule> failures;
  std::map<int32_t, std::string> names;  // VELQSIM_SetBoardName
  int32_t clockMode = kVelqSimRealTime;
  int64_t virtualUs = 0;
  bool feedPending = false;
  std::vector<int32_t> fedSamples;
  int32_t fedDelivered = 0;
  bool haveAdConfig = false;
  VelqSimAdConfig lastAdConfig{};
  bool haveGetData = false;
  int32_t lastGetDataSerial = 0;
  void* lastGetDataBuffer = nullptr;
  int32_t lastGetDataCount = 0;
  CallLog log;
};

// Locks the state (building it on first use); hold the lock while using State().
std::unique_lock<std::mutex> Lock();
SimState& State();

// Replaces the world and forgets every runtime setting (overrides, faults,
// clock mode, log...). `refusing` marks a failed profile.
void InstallWorld(SimState& state, WorldSpec world);
void InstallRefusal(SimState& state, const std::string& reason);

BoardState* FindBoard(SimState& state, int32_t serial);

// Current reading of the active clock, in microseconds.
int64_t NowUs(const SimState& state);
// Brings a board's scan and counters up to the present of the clock.
void Settle(SimState& state, BoardState& board);
void SettleAll(SimState& state);
// Re-bases every board on the clock after its mode changed.
void RebaseAll(SimState& state);

// Adds `samples` new stream samples to the FIFO, dropping what does not fit
// (and raising the overrun indicators) unless `unbounded`.
void AccrueSamples(BoardState& board, int64_t samples, bool unbounded);
// Moves up to `count` samples from the FIFO into `buffer`; answers how many.
int64_t TakeSamples(BoardState& board, int32_t* buffer, int64_t count);
// Sets analog output `output` (in range). The samples the scan has taken so
// far keep the value they converted; a wired input reads the new value from
// the next sample on. Unthrottled, where the FIFO is filled ahead of any
// time, the new value holds from the oldest sample not yet read.
void WriteAnalogOutput(SimState& state, BoardState& board, int32_t output, int32_t microvolts);
// Starts every output's history afresh with its present value, for a scan
// counted from sample 0.
void RestartOutputHistory(BoardState& board);

// Value of stream sample `index` of the board's configured scan.
int32_t StreamSample(const BoardState& board, uint64_t index);
// Generator value of an input at `seconds` (what the stream samples) in scan
// number `scanIndex`; for an input wired to an output, the output's present
// value.
int32_t InputValue(const BoardState& board, int32_t channel, double seconds, uint64_t scanIndex);

// Refusal and injected failures: true when the call must answer *status
// without acting.
bool Intercepted(SimState& state, const char* function, int32_t* status);

}  // namespace velqsim
