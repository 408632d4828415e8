#include "sequence_check.h"

#include <utility>

namespace host {

// The module turns microvolts into codes by dividing with truncation toward
// zero, so code 0 covers readings from one step below zero to one step above
// it: a sequence whose step is a whole number of codes climbs by one code
// less than its step once per period, where it passes zero (e.g. ... -1, 0,
// 0, 1 ...). That short step is accepted once per period, and once a clean
// period has shown it, it is required.

SequenceCheck::SequenceCheck(std::vector<int> channels)
    : channelNumbers_(std::move(channels)),
      results_(channelNumbers_.size()),
      tracks_(channelNumbers_.size()) {
  for (size_t i = 0; i < channelNumbers_.size(); ++i) results_[i].channel = channelNumbers_[i];
}

void SequenceCheck::Feed(const int16_t* codes, size_t count) {
  if (channelNumbers_.empty()) return;
  for (size_t i = 0; i < count; ++i) {
    FeedOne(next_, codes[i]);
    next_ = next_ + 1 == channelNumbers_.size() ? 0 : next_ + 1;
    ++sample_;
  }
}

int64_t SequenceCheck::faults() const {
  int64_t total = 0;
  for (const ChannelContinuity& c : results_) total += c.gaps + c.repeats + (c.usable ? 0 : 1);
  return total;
}

int64_t SequenceCheck::checked() const {
  int64_t total = 0;
  for (const ChannelContinuity& c : results_) total += c.checked;
  return total;
}

void SequenceCheck::StartPeriod(Track& track) {
  track.sinceWrap = 0;
  track.periodClean = true;
  track.crossedZero = false;
}

void SequenceCheck::Break(size_t position, bool repeat, int32_t code, const std::string& why) {
  ChannelContinuity& result = results_[position];
  Track& track = tracks_[position];
  if (repeat) {
    ++result.repeats;
  } else {
    ++result.gaps;
  }
  if (result.firstFault.empty()) {
    result.firstFault = "sample " + std::to_string(sample_) + ": code " + std::to_string(code) +
                        " after " + std::to_string(track.last) + " (" + why + ")";
  }
  track.periodClean = false;
}

void SequenceCheck::FeedOne(size_t position, int32_t code) {
  ChannelContinuity& result = results_[position];
  Track& track = tracks_[position];
  if (!track.haveFirst) {
    track.haveFirst = true;
    track.bottom = code;
    track.last = code;
    StartPeriod(track);
    return;
  }
  if (!result.usable) return;
  if (!track.haveStep) {
    track.haveStep = true;
    result.step = code - track.last;
    if (result.step <= 0) {
      result.usable = false;
      result.firstFault = "no sequence: the first two codes are " + std::to_string(track.last) +
                          " and " + std::to_string(code);
      return;
    }
    ++result.checked;
    ++track.sinceWrap;
    track.last = code;
    return;
  }
  ++result.checked;
  const int32_t step = result.step;
  const int32_t last = track.last;
  ++track.sinceWrap;
  if (code == last + step) {
    // The regular step, unless this period was due its short step at zero.
    if (track.zeroStepLearned && !track.crossedZero && last <= 0 && code > 0) {
      Break(position, false, code, "missed the short step at zero");
    }
  } else if (last <= 0 && code >= 0 && code == last + step - 1 && !track.crossedZero) {
    track.crossedZero = true;
  } else if (code < last && code == track.bottom) {
    // Back to the bottom: a wrap, if it came from the top after a whole period.
    if (track.topKnown && last > track.top && track.periodClean) {
      // The period first learned was itself cut short: this one is whole.
      Break(position, false, code,
            "an earlier period wrapped below the top " + std::to_string(last));
      track.top = last;
      track.period = track.sinceWrap;
      track.zeroStepLearned = track.crossedZero;
    } else if (track.topKnown && last == track.top && track.periodClean &&
               track.sinceWrap > track.period) {
      // A loss only shortens a period: the one first learned lacked a sample
      // (one of the two codes at zero, the only loss a first period hides).
      Break(position, false, code,
            "an earlier period was " + std::to_string(track.sinceWrap - track.period) + " short");
      track.period = track.sinceWrap;
      track.zeroStepLearned = track.crossedZero;
    } else if (track.topKnown &&
               (last != track.top || (track.periodClean && track.sinceWrap != track.period))) {
      Break(position, false, code, "wrapped early: the top is " + std::to_string(track.top));
    } else if (!track.topKnown && track.periodClean) {
      track.topKnown = true;
      track.top = last;
      track.period = track.sinceWrap;
      track.zeroStepLearned = track.crossedZero;
    }
    StartPeriod(track);
  } else if (code == last) {
    Break(position, true, code, "repeated");
  } else if (code > last) {
    Break(position, false, code, "jumped ahead");
  } else if (track.topKnown) {
    // Backward jump: either a loss that spans the wrap (a short way forward
    // around the cycle) or samples delivered again (a short way back).
    const int64_t ahead =
        (int64_t{track.top} - last) / step + (int64_t{code} - track.bottom) / step;
    const bool lossOverWrap = ahead < track.period / 2;
    Break(position, !lossOverWrap, code, lossOverWrap ? "jumped over the wrap" : "went back");
    if (lossOverWrap) {
      StartPeriod(track);
      track.periodClean = false;
    }
  } else {
    Break(position, true, code, "went back");
  }
  track.last = code;
}

}  // namespace host
