// Continuity check of a stream of sequence signals: every scanned channel is
// expected to step by a fixed number of codes from one sample to the next,
// wrapping back to its bottom code at the top of its window. Any lost,
// repeated or reordered sample shows as a break. Fed with the codes as the
// module delivers them (scan-interleaved, any split into blocks); a consumer
// of the block loop for `acquire --check-sequence`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "block_loop.h"

namespace host {

struct ChannelContinuity {
  int channel = 0;
  int64_t checked = 0;     // samples compared with the one before
  int64_t gaps = 0;        // breaks forward: samples missing
  int64_t repeats = 0;     // breaks backward: samples seen again
  int32_t step = 0;        // codes per sample, learned from the first two codes
  bool usable = true;      // false when the first two codes do not climb
  std::string firstFault;  // what the first break looked like, empty when none
};

class SequenceCheck : public BlockConsumer {
 public:
  explicit SequenceCheck(std::vector<int> channels);

  // As a consumer of a measurement on the channels it was made for.
  bool Begin(const RunInfo&) override { return true; }
  bool Take(const int16_t* codes, size_t count, int64_t) override {
    Feed(codes, count);
    return true;
  }

  // The next `count` codes of the stream, continuing where the last call
  // ended.
  void Feed(const int16_t* codes, size_t count);

  const std::vector<ChannelContinuity>& channels() const { return results_; }
  // Breaks (gaps and repeats) over all channels, plus one per unusable channel.
  int64_t faults() const;
  int64_t checked() const;

 private:
  struct Track {
    bool haveFirst = false;
    bool haveStep = false;
    int32_t last = 0;
    int32_t bottom = 0;  // code the sequence starts from and wraps back to
    int32_t top = 0;     // last code before a wrap, once seen
    bool topKnown = false;
    int64_t period = 0;            // samples from one wrap to the next, once seen
    int64_t sinceWrap = 0;         // samples since the last wrap (or the start)
    bool periodClean = false;      // nothing broke since the last wrap
    bool crossedZero = false;      // the short step at code 0 was taken this period
    bool zeroStepLearned = false;  // a clean period had it
  };

  void FeedOne(size_t position, int32_t code);
  void Break(size_t position, bool repeat, int32_t code, const std::string& why);
  void StartPeriod(Track& track);

  std::vector<int> channelNumbers_;
  std::vector<ChannelContinuity> results_;
  std::vector<Track> tracks_;
  size_t next_ = 0;     // position in the scan of the next code
  int64_t sample_ = 0;  // stream index of the next code
};

}  // namespace host
