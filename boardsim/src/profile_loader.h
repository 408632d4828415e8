// Reading a board set from a JSON profile (see boardsim/README.md).
#pragma once

#include <string>

#include "board_model.h"

namespace velqsim {

struct ProfileResult {
  bool ok = false;
  WorldSpec world;
  std::string error;  // "line N, column C: reason" or "path: reason"
};

// Relative replay file paths are taken from `baseDirectory` (with its
// trailing separator; empty: the working directory). A profile file's own
// directory is the base for LoadProfileFile.
ProfileResult ParseProfileText(const std::string& text, const std::string& baseDirectory = "");
ProfileResult LoadProfileFile(const std::string& path);

// 1-based line and column of the byte at 1-based position `byte` in text.
void LineAndColumnOf(const std::string& text, size_t byte, size_t* line, size_t* column);

}  // namespace velqsim
