#include "csv_writer.h"

#include <cerrno>
#include <cstring>

namespace host {

bool CsvStream::Begin(const RunInfo& run) {
  run_ = run;
  scans_.Reset(run.channels.size());
  file_ = std::fopen(path_.c_str(), "w");
  if (file_ == nullptr) {
    error_ = std::strerror(errno);
    return false;
  }
  std::fputs("time_s", file_);
  for (int channel : run.channels) std::fprintf(file_, ",ch%d_V", channel);
  std::fputc('\n', file_);
  return std::ferror(file_) == 0 || Failed();
}

bool CsvStream::Take(const int16_t* codes, size_t count, int64_t first) {
  if (file_ == nullptr) return false;
  const size_t channels = run_.channels.size();
  const double scanRate = run_.ScanRate();
  return scans_.Feed(codes, count, first, [&](const int16_t* scans, size_t n) {
    for (size_t i = 0; i < n; ++i, ++rows_) {
      std::fprintf(file_, "%.6f", scanRate > 0 ? static_cast<double>(rows_) / scanRate : 0.0);
      for (size_t p = 0; p < channels; ++p) {
        std::fprintf(file_, ",%.6f", run_.Volts(scans[i * channels + p]));
      }
      std::fputc('\n', file_);
    }
    // A write the buffer passed on that failed shows here.
    return std::ferror(file_) == 0 || Failed();
  });
}

bool CsvStream::Finish() {
  if (file_ == nullptr) return error_.empty();
  bool ok = std::fflush(file_) == 0 || Failed();
  if (std::fclose(file_) != 0 && ok) ok = Failed();
  file_ = nullptr;
  return ok;
}

bool CsvStream::Failed() {
  if (error_.empty()) error_ = errno != 0 ? std::strerror(errno) : "write error";
  return false;
}

}  // namespace host
