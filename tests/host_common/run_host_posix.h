// Native runner for the tarnix-host end-to-end tests.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "host_common/host_runner.h"

namespace hosttest {

inline std::string BinDir() {
  const char* bin = std::getenv("TARNIX_BIN");
  return std::string(bin != nullptr ? bin : ".") + "/";
}

inline std::string ModuleFile(const std::string& stem) { return BinDir() + stem + ".so"; }

inline std::string ScratchPath(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/tarnix-host-test-" +
         std::to_string(getpid()) + "-" + name;
}

namespace detail {

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace detail

inline HostResult RunHost(const std::vector<std::string>& args) {
  std::string out = ScratchPath("stdout.txt");
  std::string err = ScratchPath("stderr.txt");
  std::string command = detail::Quote(BinDir() + "tarnix-host");
  for (const std::string& arg : args) command += " " + detail::Quote(arg);
  command += " >" + detail::Quote(out) + " 2>" + detail::Quote(err) + " </dev/null";
  int status = std::system(command.c_str());
  HostResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  unlink(out.c_str());
  unlink(err.c_str());
  return result;
}

}  // namespace hosttest
