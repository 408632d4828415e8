#include "call_log.h"

#include <cstdarg>
#include <cstdio>

namespace velqsim {

void CallLog::Add(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (lines_.size() >= kMaxLines) lines_.pop_front();
  lines_.emplace_back(line);
}

}  // namespace velqsim
