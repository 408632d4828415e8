// Running the built tarnix-host as a separate process, the way a person at
// the bench does, and collecting what it printed. One implementation per
// flavour: run_host_posix.cpp (native) and run_host_win32.cpp (under Wine).
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace hosttest {

struct HostResult {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs tarnix-host from the build's bin directory with `args`.
HostResult RunHost(const std::vector<std::string>& args);

// The build's bin directory (TARNIX_BIN), with a trailing separator.
std::string BinDir();

// File name of a module build product for this flavour, e.g. the partial
// module: "partial/partial-module" + ".so" or ".dll".
std::string ModuleFile(const std::string& stem);

// A fresh path for a scratch file of this test run.
std::string ScratchPath(const std::string& name);

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Console output and text files of the DLL flavour end lines with CR LF.
inline std::string WithoutCarriageReturns(std::string text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace hosttest
