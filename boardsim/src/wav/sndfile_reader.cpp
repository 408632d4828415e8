// WAV replay through libsndfile (native builds).
#include <sndfile.h>

#include <vector>

#include "replay_source.h"

namespace velqsim {

bool ReadWavChannel(const ReplayRequest& request, ReplaySource* out, std::string* why) {
  if (!request.columnName.empty()) {
    *why = "\"column\" of a WAV file is its channel number (0 = first)";
    return false;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(request.path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    *why = std::string("not a readable WAV file: ") + sf_strerror(nullptr);
    return false;
  }
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  const bool supported = subtype == SF_FORMAT_PCM_16 || subtype == SF_FORMAT_PCM_24 ||
                         subtype == SF_FORMAT_PCM_32 || subtype == SF_FORMAT_FLOAT;
  std::string fault;
  if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV &&
      (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAVEX) {
    fault = "not a WAV file";
  } else if (!supported) {
    fault = "sample format not supported (16, 24 or 32-bit PCM or 32-bit float only)";
  } else if (request.columnIndex >= info.channels) {
    fault = "no channel " + std::to_string(request.columnIndex) + ": the file has " +
            std::to_string(info.channels);
  } else if (info.frames < 1 || info.samplerate < 1) {
    fault = "no samples";
  }
  if (!fault.empty()) {
    sf_close(file);
    *why = fault;
    return false;
  }
  // Whole file in frames of info.channels values; PCM reads as -1..1.
  std::vector<double> frame(static_cast<size_t>(info.channels));
  out->microvolts.reserve(static_cast<size_t>(info.frames));
  while (sf_readf_double(file, frame.data(), 1) == 1) {
    out->microvolts.push_back(
        MicrovoltsOf(frame[static_cast<size_t>(request.columnIndex)] * request.fullScaleVolts));
  }
  sf_close(file);
  if (out->microvolts.empty()) {
    *why = "no samples could be read";
    return false;
  }
  out->secondsPerSample = 1.0 / info.samplerate;
  return true;
}

}  // namespace velqsim
