// Every channel of a measurement thinned, as it arrives, to what a picture
// of a given width can show: per stretch of scans the lowest and the
// highest code with the scans they came from, so peaks stay visible however
// long the run. Memory stays within 2 x columns stretches per channel: when
// they fill up, neighbours merge and each stretch covers twice the scans.
// A run short enough keeps every scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "block_loop.h"
#include "whole_scans.h"

namespace host {

class PlotColumns : public BlockConsumer {
 public:
  struct Point {
    int64_t scan = 0;
    int16_t code = 0;
  };

  explicit PlotColumns(size_t columns) : capacity_(2 * (columns == 0 ? 1 : columns)) {}

  bool Begin(const RunInfo& run) override;
  bool Take(const int16_t* codes, size_t count, int64_t first) override;

  const RunInfo& run() const { return run_; }
  // Whole scans seen (a last incomplete one is left out).
  int64_t scans() const { return scans_; }
  // The points to draw of the channel at `position` in the scan, in time
  // order: each stretch's lowest and highest (one point where they are the
  // same scan).
  std::vector<Point> Trace(size_t position) const;
  // Lowest and highest code over every channel; false when no scan came.
  bool Extremes(int16_t* low, int16_t* high) const;

 private:
  struct Stretch {
    Point low, high;
  };
  void Add(const int16_t* scan);
  void Halve();

  size_t capacity_;
  RunInfo run_;
  WholeScans whole_;
  size_t channels_ = 1;
  int64_t span_ = 1;  // scans per stretch
  int64_t scans_ = 0;
  std::vector<Stretch> stretches_;  // stretch s of channel p at s * channels_ + p
};

}  // namespace host
