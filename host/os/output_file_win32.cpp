// Windows side of output_file.h: WriteFile at 64-bit offsets given in the
// OVERLAPPED of a synchronous handle.
#include <windows.h>

#include <cstdio>

#include "output_file.h"

namespace host {
namespace {

std::string SystemText(DWORD code) {
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 &&
         (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ' || text[n - 1] == '.')) {
    text[--n] = 0;
  }
  char line[600];
  std::snprintf(line, sizeof line, "%s (system error %lu)", n > 0 ? text : "write failed",
                static_cast<unsigned long>(code));
  return line;
}

class Win32OutputFile final : public OutputFile {
 public:
  explicit Win32OutputFile(HANDLE file) : file_(file) {}
  ~Win32OutputFile() override { Close(); }

  size_t WriteAt(uint64_t offset, const void* data, size_t size) override {
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
      size_t rest = size - done;
      DWORD chunk = rest > (1u << 30) ? (1u << 30) : static_cast<DWORD>(rest);
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset + done);
      at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
      DWORD written = 0;
      BOOL ok = WriteFile(file_, bytes + done, chunk, &written, &at);
      done += written;
      if (!ok || written == 0) {
        Failed(ok ? ERROR_DISK_FULL : GetLastError());
        break;
      }
    }
    return done;
  }

  bool Truncate(uint64_t size) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file_)) {
      return Failed(GetLastError());
    }
    return true;
  }

  bool Close() override {
    if (file_ == INVALID_HANDLE_VALUE) return error_.empty();
    HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    return CloseHandle(file) || Failed(GetLastError());
  }

 private:
  bool Failed(DWORD code) {
    error_ = SystemText(code);
    return false;
  }
  HANDLE file_;
};

}  // namespace

// A write past a limit fails with the system's reason anyway.
void ReportFileSizeLimits() {}

std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, CreateMode mode,
                                             CreateOutcome* outcome, std::string* error) {
  // Others may read the file while it grows (a player, a copy).
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            mode == CreateMode::kNew ? CREATE_NEW : CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    *outcome = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? CreateOutcome::kExists
                                                                         : CreateOutcome::kFailed;
    *error = SystemText(code);
    return nullptr;
  }
  *outcome = CreateOutcome::kCreated;
  return std::make_unique<Win32OutputFile>(file);
}

}  // namespace host
