// A recording of a measurement as it runs: every whole scan becomes one
// frame of a WAV file (one channel per scanned input, the codes exactly as
// the module delivered them), written by WavWriter, with the description a
// reader needs to turn codes into volts and to know what was recorded. The
// command line's --wav and the live view's Record button both use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "block_loop.h"
#include "wav_writer.h"
#include "whole_scans.h"

namespace host {

// The "tnxr" chunk's text for a recording of `run` that began at
// `startTime` (UTC, ISO 8601), keys as abi/recording_format.h declares them.
std::string RecordingDescription(const RunInfo& run, const std::string& startTime);
// The header's sample rate: the scan rate rounded, at least 1.
uint32_t HeaderSampleRate(double scanRate);
// Now, UTC, as "2026-12-09T15:04:05Z".
std::string UtcTimestamp();

class WavRecorder : public BlockConsumer {
 public:
  WavRecorder(std::string path, CreateMode mode, uint64_t riffLimit = WavWriter::kRiffLimit)
      : path_(std::move(path)), mode_(mode), writer_(riffLimit) {}

  // Creates the file for `run`: from now on each whole scan is one frame.
  bool Begin(const RunInfo& run) override;
  bool Take(const int16_t* codes, size_t count, int64_t first) override;
  std::string failure() const override { return writer_.error(); }
  // The last frames and the final header to the file, which is closed.
  bool Finish();

  const std::string& path() const { return path_; }
  // Why Begin failed: the file existed (CreateMode::kNew) or could not be made.
  CreateOutcome created() const { return created_; }
  uint64_t frames() const { return writer_.frames(); }
  uint64_t bytes() const { return writer_.bytes(); }
  double seconds() const { return scanRate_ > 0 ? static_cast<double>(frames()) / scanRate_ : 0; }
  // Codes of a last incomplete scan, left out of the file.
  size_t leftOut() const { return scans_.carried(); }
  bool rf64() const { return writer_.rf64(); }

 private:
  std::string path_;
  CreateMode mode_;
  WavWriter writer_;
  WholeScans scans_;
  CreateOutcome created_ = CreateOutcome::kFailed;
  double scanRate_ = 0;
  double refreshedAt_ = 0;
};

}  // namespace host
