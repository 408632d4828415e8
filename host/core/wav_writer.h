// A recording streamed to disk as it is measured: a RIFF/WAVE file of 16-bit
// PCM frames that common tools read without help, laid out as
// abi/recording_format.h declares (a "JUNK" reserve, "fmt ", the "tnxr"
// description, "data"). The header's sizes are rewritten by every Refresh,
// so a run that is killed leaves a file whose header covers what was
// refreshed; past 4 GB the file turns into RF64 in place (the reserve
// becomes the "ds64" chunk with the 64-bit sizes). A write that fails (a
// full disk, a file-size limit) ends the file at the last whole frame it
// holds, with the header to match, and every later call answers false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output_file.h"

namespace host {

struct WavFormat {
  uint16_t channels = 1;
  uint32_t sampleRate = 1;  // frames per second, as the header holds it
  std::string description;  // the "tnxr" chunk's text
};

class WavWriter {
 public:
  // The largest size a RIFF header field holds: past it the file is RF64.
  static constexpr uint64_t kRiffLimit = 0xFFFFFFFFu;

  // `riffLimit` below kRiffLimit makes small files RF64 too (to try it).
  explicit WavWriter(uint64_t riffLimit = kRiffLimit) : riffLimit_(riffLimit) {}
  ~WavWriter() { Close(); }

  // Creates the file and writes its header. On failure the file is not
  // made (or is removed); *outcome tells an existing file (kNew) apart.
  bool Create(const std::string& path, CreateMode mode, const WavFormat& format,
              CreateOutcome* outcome);
  // `count` frames of `channels` codes each, buffered.
  bool Append(const int16_t* frames, size_t count);
  // Buffered frames to the file, then the header's sizes.
  bool Refresh();
  // Refresh and close; answers whether everything is in the file.
  bool Close();

  uint64_t frames() const { return frames_; }  // frames handed in and not lost
  uint64_t bytes() const;                      // the file's size once refreshed
  bool rf64() const { return rf64_; }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  bool WriteWhole(uint64_t offset, const void* data, size_t size);
  bool WriteOut();
  bool WriteSizes();
  bool Fail(const std::string& why);

  uint64_t riffLimit_;
  std::unique_ptr<OutputFile> file_;
  size_t frameBytes_ = 2;
  uint64_t dataStart_ = 0;    // offset of the first frame
  uint64_t dataWritten_ = 0;  // bytes of frames in the file
  uint64_t frames_ = 0;
  std::vector<uint8_t> pending_;
  bool rf64_ = false;
  std::string error_;
};

}  // namespace host
