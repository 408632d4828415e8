// POSIX side of output_file.h: pwrite at 64-bit offsets.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "output_file.h"

namespace host {
namespace {

class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override { Close(); }

  size_t WriteAt(uint64_t offset, const void* data, size_t size) override {
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
      ssize_t n = pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Failed(n < 0 ? errno : ENOSPC);
        break;
      }
      done += static_cast<size_t>(n);
    }
    return done;
  }

  bool Truncate(uint64_t size) override {
    return ftruncate(fd_, static_cast<off_t>(size)) == 0 || Failed(errno);
  }

  bool Close() override {
    if (fd_ < 0) return error_.empty();
    int fd = fd_;
    fd_ = -1;
    return close(fd) == 0 || Failed(errno);
  }

 private:
  bool Failed(int code) {
    error_ = std::strerror(code);
    return false;
  }
  int fd_;
};

}  // namespace

void ReportFileSizeLimits() {
  // Past a file-size limit the system would end the process with SIGXFSZ,
  // leaving a recording's header as it last stood; ignored, the write fails
  // (EFBIG, "File too large") and the program ends the run with that reason.
  std::signal(SIGXFSZ, SIG_IGN);
}

std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, CreateMode mode,
                                             CreateOutcome* outcome, std::string* error) {
  static_assert(sizeof(off_t) == 8, "recordings pass 4 GB: 64-bit file offsets needed");
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == CreateMode::kNew ? O_EXCL : O_TRUNC);
  int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) {
    *outcome = errno == EEXIST ? CreateOutcome::kExists : CreateOutcome::kFailed;
    *error = std::strerror(errno);
    return nullptr;
  }
  *outcome = CreateOutcome::kCreated;
  return std::make_unique<PosixOutputFile>(fd);
}

}  // namespace host
