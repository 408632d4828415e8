#include "wav_recorder.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "abi/recording_format.h"
#include "os.h"

namespace host {
namespace {

namespace rec = tarnix::recording;

// How often the header catches up with the frames written: what a killed
// run can lose at most.
constexpr double kRefreshSeconds = 0.25;

// Numbers that read back exactly.
std::string Exact(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// A value on one line: no line breaks or other control characters.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return text;
}

void Line(std::string& out, const char* key, const std::string& value) {
  out += key;
  out += '=';
  out += value;
  out += '\n';
}

}  // namespace

uint32_t HeaderSampleRate(double scanRate) {
  double rounded = std::floor(scanRate + 0.5);
  if (!(rounded >= 1)) return 1;
  return rounded > 4294967295.0 ? 4294967295u : static_cast<uint32_t>(rounded);
}

std::string UtcTimestamp() {
  std::time_t now = std::time(nullptr);
  char text[32] = "1970-01-01T00:00:00Z";
  if (const std::tm* utc = std::gmtime(&now))
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
  return text;
}

std::string RecordingDescription(const RunInfo& run, const std::string& startTime) {
  std::string channels, scale, offsets;
  for (size_t i = 0; i < run.channels.size(); ++i) {
    if (i > 0) {
      channels += ',';
      scale += ',';
      offsets += ',';
    }
    channels += std::to_string(run.channels[i]);
    // The module scales every input by input 0's range, symmetric about 0 V.
    scale += Exact(run.VoltsPerCode());
    offsets += '0';
  }
  std::string text;
  Line(text, rec::kKeyFormat, rec::kFormatName);
  Line(text, rec::kKeyChannels, channels);
  Line(text, rec::kKeyVoltsPerCode, scale);
  Line(text, rec::kKeyOffsetVolts, offsets);
  Line(text, rec::kKeyScanRate, Exact(run.ScanRate()));
  if (run.boardSerial != 0) Line(text, rec::kKeyBoardSerial, std::to_string(run.boardSerial));
  Line(text, rec::kKeyBoardName, OneLine(run.boardName));
  Line(text, rec::kKeyStartTime, startTime);
  if (!run.moduleVersion.empty()) Line(text, rec::kKeyModuleVersion, run.moduleVersion);
  // An even length: the chunk then needs no pad byte, which not every
  // reader skips.
  if (text.size() % 2 != 0) text += '\n';
  return text;
}

bool WavRecorder::Begin(const RunInfo& run) {
  scans_.Reset(run.channels.size());
  scanRate_ = run.ScanRate();
  WavFormat format;
  format.channels = static_cast<uint16_t>(run.channels.size());
  format.sampleRate = HeaderSampleRate(scanRate_);
  format.description = RecordingDescription(run, UtcTimestamp());
  refreshedAt_ = MonotonicSeconds();
  return writer_.Create(path_, mode_, format, &created_);
}

bool WavRecorder::Take(const int16_t* codes, size_t count, int64_t first) {
  bool ok = scans_.Feed(codes, count, first, [this](const int16_t* scans, size_t n) {
    return writer_.Append(scans, n);
  });
  if (ok && MonotonicSeconds() - refreshedAt_ >= kRefreshSeconds) {
    refreshedAt_ = MonotonicSeconds();
    ok = writer_.Refresh();
  }
  return ok;
}

bool WavRecorder::Finish() { return writer_.Close(); }

}  // namespace host
