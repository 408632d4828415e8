// A file written as a stream that also rewrites a few bytes near its start
// (a recording's header), at any size: 64-bit offsets on every platform, and
// the system's own words when a write fails (a full disk, a file-size limit).
// One implementation per platform (output_file_posix.cpp, _win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace host {

enum class CreateMode {
  kReplace,  // an existing file is emptied, as the other outputs are
  kNew,      // an existing file is refused (CreateOutcome::kExists)
};

enum class CreateOutcome { kCreated, kExists, kFailed };

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Writes `size` bytes at `offset`; answers how many were written, fewer
  // only on failure (the system's reason in error()).
  virtual size_t WriteAt(uint64_t offset, const void* data, size_t size) = 0;
  // Cuts the file to `size` bytes (drops what a failed write left behind).
  virtual bool Truncate(uint64_t size) = 0;
  // Closes the file; answers whether everything reached the system.
  virtual bool Close() = 0;
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// From now on a write past a file-size limit fails with the system's reason
// (natively: SIGXFSZ, which would end the process, is ignored), for this
// file type and for plain C streams alike.
void ReportFileSizeLimits();

// Creates `path` for writing. On failure answers nullptr, with kExists or
// kFailed in *outcome and the system's reason in *error.
std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, CreateMode mode,
                                             CreateOutcome* outcome, std::string* error);

}  // namespace host
