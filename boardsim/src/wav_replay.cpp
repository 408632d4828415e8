// WAV replay through libsndfile (Debian's natively; built from its source
// for the Windows flavours). The file stays open while the profile is in
// use and is read a stretch of frames at a time as the scan reaches them.
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "abi/recording_format.h"
#include "recording_description.h"
#include "replay_source.h"

namespace velqsim {

namespace {

// Values (frames x channels) read from the file at once.
constexpr int64_t kValuesPerRead = 32768;
// A recording's description is a few hundred bytes; far more is no description.
constexpr size_t kDescriptionLimit = 1 << 20;

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

// How a file value becomes microvolts: a recording's code on its own scale,
// or another file's sample (-1..1) times its full scale.
struct WavScale {
  bool codes = false;
  double voltsPerCode = 0;
  double offsetVolts = 0;
  double fullScaleVolts = 0;
};

class WavReplay final : public ReplaySource {
 public:
  WavReplay(SndfileHandle file, const SF_INFO& info, int32_t column, const WavScale& scale,
            double secondsPerSample)
      : ReplaySource(static_cast<uint64_t>(info.frames), secondsPerSample, scale.codes),
        file_(std::move(file)),
        channels_(info.channels),
        column_(column),
        scale_(scale),
        framesPerRead_(std::max<int64_t>(1, kValuesPerRead / info.channels)) {}

  int32_t Microvolts(uint64_t index) const override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < first_ || index - first_ >= window_.size()) Fill(index);
    return window_[static_cast<size_t>(index - first_)];
  }

 private:
  // Reads the stretch from `index` on. Frames the file no longer holds (it
  // was cut short after the profile was loaded) read as 0 V.
  void Fill(uint64_t index) const {
    const int64_t frames =
        static_cast<int64_t>(std::min<uint64_t>(Count() - index, uint64_t(framesPerRead_)));
    window_.assign(static_cast<size_t>(frames), 0);
    first_ = index;
    if (sf_seek(file_.get(), static_cast<sf_count_t>(index), SEEK_SET) < 0) return;
    const size_t values = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
    sf_count_t got = 0;
    if (scale_.codes) {
      codes_.resize(values);
      got = sf_readf_short(file_.get(), codes_.data(), frames);
    } else {
      samples_.resize(values);
      got = sf_readf_double(file_.get(), samples_.data(), frames);
    }
    for (sf_count_t i = 0; i < got; ++i) {
      const size_t at = static_cast<size_t>(i) * static_cast<size_t>(channels_) +
                        static_cast<size_t>(column_);
      window_[static_cast<size_t>(i)] =
          scale_.codes ? CodeMicrovolts(codes_[at], scale_.voltsPerCode, scale_.offsetVolts)
                       : MicrovoltsOf(samples_[at] * scale_.fullScaleVolts);
    }
  }

  SndfileHandle file_;
  int32_t channels_;
  int32_t column_;
  WavScale scale_;
  int64_t framesPerRead_;
  mutable std::mutex mutex_;
  mutable uint64_t first_ = 0;  // file frame of window_[0]
  mutable std::vector<int32_t> window_;
  mutable std::vector<short> codes_;
  mutable std::vector<double> samples_;
};

// The recording's description chunk: false when the file has none (any
// other WAV file); true with its text, or with the reason it cannot be read
// in *why.
bool FindDescription(SNDFILE* file, std::string* text, std::string* why) {
  SF_CHUNK_INFO chunk{};
  std::snprintf(chunk.id, sizeof chunk.id, "%s", tarnix::recording::kChunkId);
  chunk.id_size = 4;
  SF_CHUNK_ITERATOR* found = sf_get_chunk_iterator(file, &chunk);
  if (found == nullptr) return false;
  if (sf_get_chunk_size(found, &chunk) != SF_ERR_NO_ERROR || chunk.datalen > kDescriptionLimit) {
    *why = "recording description chunk of an unreadable size";
    return true;
  }
  std::vector<char> bytes(chunk.datalen);
  chunk.data = bytes.data();
  if (chunk.datalen > 0 && sf_get_chunk_data(found, &chunk) != SF_ERR_NO_ERROR) {
    *why = "recording description chunk cannot be read";
    return true;
  }
  text->assign(bytes.begin(), bytes.end());
  return true;
}

bool IsWavContainer(int format) {
  const int type = format & SF_FORMAT_TYPEMASK;
  return type == SF_FORMAT_WAV || type == SF_FORMAT_WAVEX || type == SF_FORMAT_RF64;
}

}  // namespace

std::shared_ptr<const ReplaySource> OpenWavReplay(const ReplayRequest& request, std::string* why) {
  if (!request.columnName.empty()) {
    *why = "\"column\" of a WAV file is its channel number (0 = first)";
    return nullptr;
  }
  SF_INFO info{};
  SndfileHandle file(sf_open(request.path.c_str(), SFM_READ, &info));
  if (!file) {
    *why = std::string("not a readable WAV file: ") + sf_strerror(nullptr);
    return nullptr;
  }
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  std::string description;
  std::string fault;
  const bool recording = FindDescription(file.get(), &description, &fault);
  if (!fault.empty()) {
    *why = fault;
    return nullptr;
  }
  if (!IsWavContainer(info.format)) {
    fault = "not a WAV file";
  } else if (request.columnIndex >= info.channels) {
    fault = "no channel " + std::to_string(request.columnIndex) + ": the file has " +
            std::to_string(info.channels);
  } else if (info.frames < 1 || info.samplerate < 1) {
    fault = "no samples";
  } else if (recording && subtype != SF_FORMAT_PCM_16) {
    fault = "a TARNIX recording holds 16-bit codes, this one another sample format";
  } else if (recording && request.fullScaleGiven) {
    fault = "a TARNIX recording carries its own scale; \"fullScale\" is for other WAV files";
  } else if (!recording && subtype != SF_FORMAT_PCM_16 && subtype != SF_FORMAT_PCM_24 &&
             subtype != SF_FORMAT_PCM_32 && subtype != SF_FORMAT_FLOAT) {
    fault = "sample format not supported (16, 24 or 32-bit PCM or 32-bit float only)";
  }
  if (!fault.empty()) {
    *why = fault;
    return nullptr;
  }
  WavScale scale;
  double secondsPerSample = 1.0 / info.samplerate;
  if (recording) {
    RecordingDescription parsed;
    if (!ParseRecordingDescription(description, info.channels, &parsed, why)) return nullptr;
    const size_t column = static_cast<size_t>(request.columnIndex);
    scale.codes = true;
    scale.voltsPerCode = parsed.voltsPerCode[column];
    scale.offsetVolts = parsed.offsetVolts[column];
    secondsPerSample = 1.0 / parsed.scanRate;
  } else {
    scale.fullScaleVolts = request.fullScaleVolts;
  }
  return std::make_shared<WavReplay>(std::move(file), info, request.columnIndex, scale,
                                     secondsPerSample);
}

}  // namespace velqsim
