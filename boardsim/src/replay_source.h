// Recorded signals for "replay" inputs: a CSV written by tarnix-host
// (`acquire --csv`: a header of column names, then one row per scan, volts),
// a TARNIX recording (`acquire --wav`, abi/recording_format.h) or any other
// WAV file. Whatever cannot serve is refused when the profile is loaded, with
// the reason. A CSV is read whole then; a WAV file is read as it plays, a
// stretch at a time, so a long recording costs no more memory than a short
// one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace velqsim {

struct ReplayRequest {
  std::string path;
  std::string columnName;      // CSV: a header name; empty = use columnIndex
  int32_t columnIndex = -1;    // CSV: 0-based column; WAV: 0-based channel
  double fullScaleVolts = 10;  // WAV other than a recording: volts of a full-scale sample
  bool fullScaleGiven = false;
};

// One column of a recorded file, shared by every copy of the board
// description that names it. Samples are asked for under the library's lock,
// but a source guards itself too.
class ReplaySource {
 public:
  ReplaySource(uint64_t count, double secondsPerSample, bool perScan)
      : count_(count), secondsPerSample_(secondsPerSample), perScan_(perScan) {}
  virtual ~ReplaySource() = default;
  ReplaySource(const ReplaySource&) = delete;
  ReplaySource& operator=(const ReplaySource&) = delete;

  // Number of samples: at least one.
  uint64_t Count() const { return count_; }
  // The file's own time step; 0 when it has none.
  double SecondsPerSample() const { return secondsPerSample_; }
  // Played one sample per scan unless the profile asks for resampling (a
  // recording: each frame was one scan).
  bool PerScan() const { return perScan_; }
  // Sample `index` (below Count()) in microvolts.
  virtual int32_t Microvolts(uint64_t index) const = 0;

 private:
  uint64_t count_;
  double secondsPerSample_;
  bool perScan_;
};

// The column the request names, or nullptr with the reason in *why.
std::shared_ptr<const ReplaySource> LoadReplay(const ReplayRequest& request, std::string* why);

// WAV files through libsndfile (wav_replay.cpp).
std::shared_ptr<const ReplaySource> OpenWavReplay(const ReplayRequest& request, std::string* why);

// Rounded to the nearest microvolt, saturated to the int32 range (NaN: 0).
int32_t SaturatedMicrovolts(double microvolts);
// Volts to microvolts, the same way.
int32_t MicrovoltsOf(double volts);

}  // namespace velqsim
