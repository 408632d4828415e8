// Progress of an acquisition: a bar redrawn in place on a terminal, plain
// log lines otherwise (files, pipes, CI logs).
#pragma once

#include <cstdint>

namespace host {

struct ProgressState {
  int blocks = 0;
  int targetBlocks = 0;  // 0 when the end is set by time instead
  double fraction = 0;   // of the whole run, 0..1
  int64_t samples = 0;
  uint32_t fillPercent = 0;  // MeasInfoEx offset 20, as the module reports it
  int overruns = 0;
};

class ProgressDisplay {
 public:
  explicit ProgressDisplay(bool terminal) : terminal_(terminal) {}
  // Shows the state if enough time has passed since the last update (or
  // `force`).
  void Update(const ProgressState& state, bool force = false);
  // Ends the display (the bar's line is finished).
  void Finish(const ProgressState& state);

 private:
  void Draw(const ProgressState& state);
  bool terminal_;
  double lastShown_ = -1;
  bool drawn_ = false;
};

}  // namespace host
