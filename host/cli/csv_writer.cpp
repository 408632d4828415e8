#include "csv_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace host {

bool WriteCsv(const std::string& path, const Recording& recording, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  std::fputs("time_s", file);
  for (int channel : recording.channels) std::fprintf(file, ",ch%d_V", channel);
  std::fputc('\n', file);
  for (size_t scan = 0; scan < recording.scans(); ++scan) {
    std::fprintf(file, "%.6f", recording.TimeOf(scan));
    for (size_t position = 0; position < recording.channels.size(); ++position) {
      std::fprintf(file, ",%.6f", recording.Volts(scan, position));
    }
    std::fputc('\n', file);
  }
  bool ok = std::ferror(file) == 0;
  if (std::fclose(file) != 0) ok = false;
  if (!ok) *error = "write error";
  return ok;
}

}  // namespace host
