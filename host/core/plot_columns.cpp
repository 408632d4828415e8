#include "plot_columns.h"

#include <algorithm>

namespace host {

bool PlotColumns::Begin(const RunInfo& run) {
  run_ = run;
  channels_ = run.channels.size();
  whole_.Reset(channels_);
  span_ = 1;
  scans_ = 0;
  stretches_.clear();
  stretches_.reserve(capacity_ * channels_);
  return channels_ > 0;
}

bool PlotColumns::Take(const int16_t* codes, size_t count, int64_t first) {
  return whole_.Feed(codes, count, first, [this](const int16_t* scans, size_t n) {
    for (size_t i = 0; i < n; ++i) Add(scans + i * channels_);
    return true;
  });
}

void PlotColumns::Add(const int16_t* scan) {
  size_t stretch = static_cast<size_t>(scans_ / span_);
  if (stretch >= capacity_) {
    Halve();
    stretch = static_cast<size_t>(scans_ / span_);
  }
  if (stretch * channels_ >= stretches_.size()) {
    for (size_t p = 0; p < channels_; ++p) {
      Point point{scans_, scan[p]};
      stretches_.push_back({point, point});
    }
  } else {
    for (size_t p = 0; p < channels_; ++p) {
      Stretch& s = stretches_[stretch * channels_ + p];
      if (scan[p] < s.low.code) s.low = {scans_, scan[p]};
      if (scan[p] > s.high.code) s.high = {scans_, scan[p]};
    }
  }
  ++scans_;
}

// Neighbouring stretches merge: half as many, each twice as long.
void PlotColumns::Halve() {
  size_t count = stretches_.size() / channels_;
  for (size_t s = 0; s < count / 2; ++s) {
    for (size_t p = 0; p < channels_; ++p) {
      const Stretch& a = stretches_[2 * s * channels_ + p];
      const Stretch& b = stretches_[(2 * s + 1) * channels_ + p];
      Stretch merged{b.low.code < a.low.code ? b.low : a.low,
                     b.high.code > a.high.code ? b.high : a.high};
      stretches_[s * channels_ + p] = merged;
    }
  }
  stretches_.resize(count / 2 * channels_);
  span_ *= 2;
}

std::vector<PlotColumns::Point> PlotColumns::Trace(size_t position) const {
  std::vector<Point> points;
  for (size_t s = 0; s * channels_ < stretches_.size(); ++s) {
    const Stretch& stretch = stretches_[s * channels_ + position];
    Point first = stretch.low.scan <= stretch.high.scan ? stretch.low : stretch.high;
    Point second = stretch.low.scan <= stretch.high.scan ? stretch.high : stretch.low;
    points.push_back(first);
    if (second.scan != first.scan) points.push_back(second);
  }
  return points;
}

bool PlotColumns::Extremes(int16_t* low, int16_t* high) const {
  if (stretches_.empty()) return false;
  *low = stretches_.front().low.code;
  *high = stretches_.front().high.code;
  for (const Stretch& s : stretches_) {
    *low = std::min(*low, s.low.code);
    *high = std::max(*high, s.high.code);
  }
  return true;
}

}  // namespace host
