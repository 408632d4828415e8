// One measurement's block cycle, as the host runs it, for every part of
// tarnix-host that measures: `acquire` drives it in a plain loop, the live
// view between the page's commands. Start puts the settings into the record
// and starts the module; each Poll is one pass of the host's polling cycle
// (DRV_GetInputBufStatus, DRV_GetInputBuf, DRV_AdvanceInputBuf) and hands
// the delivered block to every attached consumer: statistics, the sequence
// check, recordings, the CSV, the plot, the live view's traces. So a block
// is taken the same way, and a recording written by the same code, whether
// the command line or the page asked for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "acquisition_settings.h"
#include "session.h"

namespace host {

// What a started measurement is, for the consumers of its blocks.
struct RunInfo {
  std::vector<int> channels;  // scan order: sample k belongs to channels[k % size]
  double rate = 0;            // sampleRate: samples per second over all channels
  int32_t blockSize = 0;
  int32_t bufferSize = 0;
  double rangeMin = 0,
         rangeMax = 0;        // input 0's range, volts: the module scales every sample by it
  std::string boardName;      // as the record has it
  int32_t boardSerial = 0;    // the board the module started; 0 when it did not say
  std::string moduleVersion;  // "a.b.c.d"; empty where the platform has none

  // The board spreads the rate over the scanned channels: one scan takes
  // channels / rate seconds.
  double ScanRate() const {
    return channels.empty() ? 0.0 : rate / static_cast<double>(channels.size());
  }
  // Volts of one code step: the module's upper range limit reads 2047.
  double VoltsPerCode() const { return rangeMax / 2047.0; }
  double Volts(int16_t code) const { return code * rangeMax / 2047.0; }
};

// Takes the samples of a measurement as they arrive.
class BlockConsumer {
 public:
  virtual ~BlockConsumer() = default;
  // Called when the consumer is attached to a running measurement, before
  // any block. Answers false (reason in failure()) when it cannot take part.
  virtual bool Begin(const RunInfo& run) = 0;
  // The next `count` codes of the stream, exactly as the module delivered
  // them; codes[0] is sample `first` of the run (sample 0 opens scan 0, so
  // first % channels is its place in its scan). Blocks may end inside a scan.
  // Answers false (reason in failure()) when it cannot go on; the loop then
  // drops it.
  virtual bool Take(const int16_t* codes, size_t count, int64_t first) = 0;
  virtual std::string failure() const { return ""; }
};

class BlockLoop {
 public:
  enum class Polled {
    kNothing,  // no whole block waits
    kBlock,    // one block moved
    kOverrun,  // one block moved, and the module stopped the measurement itself
  };

  explicit BlockLoop(Session& session) : session_(session) {}
  ~BlockLoop() { Stop(); }

  // The host's order: settings into the record, DRV_SetInputBufferSize,
  // DRV_TestStruct, DRV_StartMeas (and DRV_StopMeas after a failed start).
  // Answers the entry that refused, empty once measuring; the module's text
  // for a refusal is the session's ErrorText(). Message boxes the module
  // showed on the way are left for the caller to take.
  std::string Start(const AcquireSettings& settings);
  // One pass of the polling cycle; the block goes to every consumer.
  Polled Poll();
  // DRV_StopMeas when measuring; the consumers are let go.
  void Stop();

  // Adds a consumer to the running measurement: it sees every block from
  // the next one on. Answers false when its Begin refused.
  bool Attach(BlockConsumer& consumer);
  void Detach(BlockConsumer& consumer);
  // Consumers that refused a block since last asked; they were dropped.
  std::vector<BlockConsumer*> TakeFailed();

  bool measuring() const { return measuring_; }
  const RunInfo& run() const { return run_; }
  int64_t samples() const { return samples_; }
  int64_t blocks() const { return blocks_; }
  uint32_t fillPercent() const { return fillPercent_; }
  uint32_t peakFillPercent() const { return peakFillPercent_; }

 private:
  Session& session_;
  RunInfo run_;
  bool measuring_ = false;
  int64_t samples_ = 0;
  int64_t blocks_ = 0;
  uint32_t fillPercent_ = 0;
  uint32_t peakFillPercent_ = 0;
  std::vector<BlockConsumer*> consumers_;
  std::vector<BlockConsumer*> failed_;
};

}  // namespace host
