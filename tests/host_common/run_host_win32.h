// Runner for the tarnix-host end-to-end tests under Wine: starts
// tarnix-host.exe with its output sent to files, as a console user would.
#pragma once
#include <windows.h>

#include <cstdlib>
#include <string>

#include "host_common/host_runner.h"

namespace hosttest {

namespace detail {

// ctest hands over the bin directory as a Unix path; Wine's Z: drive is the
// Unix root.
inline std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

inline HANDLE OpenForChild(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace detail

inline std::string BinDir() {
  const char* bin = std::getenv("TARNIX_BIN");
  return detail::WindowsPath(std::string(bin != nullptr ? bin : ".")) + "\\";
}

inline std::string ModuleFile(const std::string& stem) {
  std::string path = BinDir() + stem + ".dll";
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

inline std::string ScratchPath(const std::string& name) {
  static int serial = 0;
  char dir[MAX_PATH] = {};
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + "tarnix-host-test-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++serial) + "-" + name;
}

// A run that has not ended after this long is taken for hung and killed.
inline constexpr DWORD kRunTimeoutMs = 180000;

inline HostResult RunHost(const std::vector<std::string>& args) {
  // A crashing program would otherwise wait for Wine's debugger, which
  // nobody drives here: let it end with its exception code instead.
  static const bool noDebugger = [] {
    char overrides[1024] = {};
    DWORD n = GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    std::string value = n > 0 && n < sizeof overrides ? std::string(overrides) + ";" : "";
    return SetEnvironmentVariableA("WINEDLLOVERRIDES", (value + "winedbg.exe=d").c_str()) != 0;
  }();
  (void)noDebugger;
  std::string out = ScratchPath("stdout.txt");
  std::string err = ScratchPath("stderr.txt");
  std::string program = BinDir() + "tarnix-host.exe";
  std::string command = "\"" + program + "\"";
  for (const std::string& arg : args) command += " \"" + arg + "\"";
  HostResult result;
  HANDLE outFile = detail::OpenForChild(out);
  HANDLE errFile = detail::OpenForChild(err);
  if (outFile == INVALID_HANDLE_VALUE || errFile == INVALID_HANDLE_VALUE) {
    if (outFile != INVALID_HANDLE_VALUE) CloseHandle(outFile);
    if (errFile != INVALID_HANDLE_VALUE) CloseHandle(errFile);
    result.err = "test harness: cannot create " + out + " or " + err;
    return result;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outFile;
  startup.hStdError = errFile;
  PROCESS_INFORMATION process{};
  std::string line = command;
  if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &process)) {
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, kRunTimeoutMs) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 0xDEAD);
      WaitForSingleObject(process.hProcess, 5000);
      code = 0xDEAD;  // shows up as the exit code: the run hung
    } else {
      GetExitCodeProcess(process.hProcess, &code);
    }
    result.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    result.err = "test harness: cannot start " + program + "\n";
  }
  CloseHandle(outFile);
  CloseHandle(errFile);
  result.out = WithoutCarriageReturns(ReadFile(out));
  result.err += WithoutCarriageReturns(ReadFile(err));
  DeleteFileA(out.c_str());
  DeleteFileA(err.c_str());
  return result;
}

}  // namespace hosttest
