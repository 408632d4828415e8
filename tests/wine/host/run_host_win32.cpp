// Runner for the tarnix-host end-to-end tests under Wine: starts
// tarnix-host.exe with its output sent to files, as a console user would.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "host_common/host_runner.h"

namespace hosttest {

namespace {

// ctest hands over the bin directory as a Unix path; Wine's Z: drive is the
// Unix root.
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

HANDLE OpenForChild(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string BinDir() {
  const char* bin = std::getenv("TARNIX_BIN");
  return WindowsPath(std::string(bin != nullptr ? bin : ".")) + "\\";
}

std::string ModuleFile(const std::string& stem) {
  std::string path = BinDir() + stem + ".dll";
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

std::string ScratchPath(const std::string& name) {
  char dir[MAX_PATH] = {};
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + "tarnix-host-test-" + std::to_string(GetCurrentProcessId()) + "-" +
         name;
}

HostResult RunHost(const std::vector<std::string>& args) {
  std::string out = ScratchPath("stdout.txt");
  std::string err = ScratchPath("stderr.txt");
  std::string program = BinDir() + "tarnix-host.exe";
  std::string command = "\"" + program + "\"";
  for (const std::string& arg : args) command += " \"" + arg + "\"";
  HostResult result;
  HANDLE outFile = OpenForChild(out);
  HANDLE errFile = OpenForChild(err);
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
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(outFile);
  CloseHandle(errFile);
  result.out = WithoutCarriageReturns(ReadFile(out));
  result.err = WithoutCarriageReturns(ReadFile(err));
  DeleteFileA(out.c_str());
  DeleteFileA(err.c_str());
  return result;
}

}  // namespace hosttest
