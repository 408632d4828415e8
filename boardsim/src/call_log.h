// The record of every VELQ_ call, one text line each, oldest first.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace velqsim {

class CallLog {
 public:
  // Oldest lines are dropped beyond this, so an endless unthrottled run
  // cannot exhaust memory.
  static constexpr size_t kMaxLines = 200000;

  void Add(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Clear() { lines_.clear(); }
  size_t Count() const { return lines_.size(); }
  const std::string* Line(size_t index) const {
    return index < lines_.size() ? &lines_[index] : nullptr;
  }

 private:
  std::deque<std::string> lines_;
};

inline const char* PointerText(const void* pointer) { return pointer ? "ptr" : "null"; }

}  // namespace velqsim
