// Whole scans out of blocks that may end inside one: what a table row, a
// recording's frame or a plot point needs. The part of a scan a block ends
// with is carried into the next; a consumer that joins a running
// measurement starts with the next whole scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

class WholeScans {
 public:
  explicit WholeScans(size_t channels = 1) { Reset(channels); }

  void Reset(size_t channels) {
    channels_ = channels == 0 ? 1 : channels;
    carry_.clear();
    carry_.reserve(channels_);
    started_ = false;
  }

  // Feeds the next `count` codes of the stream, codes[0] being sample
  // `first` of the run; calls emit(scans, scanCount) for each run of whole
  // scans, in order (scans holds scanCount x channels codes). Stops at the
  // first emit that answers false and answers false.
  template <typename Emit>
  bool Feed(const int16_t* codes, size_t count, int64_t first, Emit&& emit) {
    size_t k = 0;
    if (!started_) {
      // Up to the next scan's start: a scan begun before this consumer came.
      size_t into = static_cast<size_t>(first % static_cast<int64_t>(channels_));
      k = into == 0 ? 0 : channels_ - into;
      if (k > count) return true;
      started_ = true;
    }
    if (!carry_.empty()) {
      while (k < count && carry_.size() < channels_) carry_.push_back(codes[k++]);
      if (carry_.size() < channels_) return true;
      if (!emit(carry_.data(), size_t{1})) return false;
      carry_.clear();
    }
    size_t whole = (count - k) / channels_;
    if (whole > 0 && !emit(codes + k, whole)) return false;
    k += whole * channels_;
    carry_.assign(codes + k, codes + count);
    return true;
  }

  // Codes of an incomplete scan waiting for the rest of it: at the end of a
  // run, the part-scan left out.
  size_t carried() const { return carry_.size(); }
  size_t channels() const { return channels_; }

 private:
  size_t channels_ = 1;
  std::vector<int16_t> carry_;
  bool started_ = false;
};

}  // namespace host
