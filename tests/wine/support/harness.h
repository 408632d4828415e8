// Shared helpers of the Wine test programs: the real tarnix.dll loaded as a
// host loads it, its debug output, its message boxes and dialogs, a host
// record, and fresh processes for what only works once per process.
//
// Every Wine test program links this library (wine_support). Typical use:
//
//   auto init = winetest::Get<int(__stdcall*)(void*)>("DRV_InitDevice");
//   winetest::HostRecord record;
//   winetest::StartTraceCapture();
//   winetest::StartMessageBoxWatcher();
//   init(record.data());
//   auto traces = winetest::TakeTraces();          // one entry per debug line
//   auto boxes = winetest::TakeMessageBoxes();     // each already answered OK
//
// Fresh module: DRV_InitDevice succeeds once per process and the process
// entry runs once per load, so a scenario that needs a module nobody has
// touched yet runs in a child process. GoogleTest's death tests do exactly
// that on Windows (also under mingw and Wine): the child is this program
// again, started with CreateProcess and told to run only the current test up
// to the statement, so the statement meets a freshly loaded DLL:
//
//   TEST(Lifecycle, FirstInitialisation) {
//     EXPECT_EXIT({
//         winetest::HostRecord record;
//         auto init = winetest::Get<int(__stdcall*)(void*)>("DRV_InitDevice");
//         std::exit(init(record.data()) == 1 ? 0 : 1);
//       }, testing::ExitedWithCode(0), "");
//   }
//
// Anything the child checks must become its exit code (or text on stderr
// matched by the third argument): a failed EXPECT in the child is not seen by
// the parent. Each Wine process costs many seconds to start, so keep
// children few and let one child check a whole scenario.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "abi/device_record.h"

namespace winetest {

// --- The module -----------------------------------------------------------

// Full path of tarnix.dll: the directory of the running test program.
std::string TarnixPath();

// tarnix.dll, loaded on first use with LoadLibraryA from the test program's
// own directory and kept loaded. Throws std::runtime_error (GoogleTest then
// fails the current test with the message) when it cannot be loaded.
HMODULE Tarnix();

// Address of an export of tarnix.dll by name. Throws std::runtime_error
// naming the export when the DLL lacks it, so the test fails clearly instead
// of calling through a null pointer.
FARPROC GetExport(const char* name);

template <class F>
F Get(const char* name) {
  // Through void*: a FARPROC is a function type of its own.
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetExport(name)));
}

// --- Debug output ---------------------------------------------------------

// Takes over the process's debug output (done by Tarnix() and
// StartTraceCapture(); call it first when loading the DLL by hand). Lines
// that are not being recorded are dropped, or printed to stderr when the
// environment variable TARNIX_WINE_ECHO_TRACES is set.
void InstallDebugOutputHandler();
// Starts (or restarts, discarding what was kept) recording every
// OutputDebugStringA of this process, from any thread. Each call is one
// entry with its exact text.
void StartTraceCapture();
// The same, recording only the calling thread's lines: for exact checks of
// what a call writes, since the system starts and ends threads of its own
// (for message boxes, among others) whose attach and detach lines the
// module's entry routine writes at any moment.
void StartTraceCaptureOnThisThread();
// Stops recording; later lines are dropped as before the start.
void StopTraceCapture();
// Everything recorded since the last start or take, oldest first.
std::vector<std::string> TakeTraces();

// --- Message boxes --------------------------------------------------------

struct MessageBoxSeen {
  std::string caption;
  std::string text;
  bool errorIcon = false;  // the stop/error icon was shown
  bool hasIcon = false;    // some icon was shown
};

// Starts the watcher thread (once per process) and forgets boxes seen so
// far. The watcher finds every message box of this process, records it and
// presses OK (or closes it when it has no OK button). It leaves the module's
// own dialogs alone: windows without the message-box text control or
// without buttons (the splash) and the dialogs whose caption is set aside
// with IgnoreDialogCaption (by default the setup dialog and the about box).
void StartMessageBoxWatcher();
// Message boxes recorded since the last start or take, oldest first. A box
// shown by a call on this thread is recorded before the call returns.
std::vector<MessageBoxSeen> TakeMessageBoxes();
// Waits until at least `count` boxes are recorded (for boxes shown by other
// threads); true when they are there within the time.
bool WaitForMessageBoxes(std::size_t count, DWORD timeoutMs);
// A dialog caption the watcher must never answer.
void IgnoreDialogCaption(const std::string& caption);
// Waits until the watcher has looked at every window `rounds` more times;
// true when it did within the time. What it would have done by then, it
// has done.
bool WaitForWatcherRounds(int rounds, DWORD timeoutMs);

// --- Dialogs --------------------------------------------------------------

// A visible top-level dialog (class "#32770") of this process with exactly
// this caption; nullptr when none appears within the time. Modal dialogs
// block the thread that opened them, so drive them from another thread:
// open on a std::thread, FindDialog on the test's thread (or the reverse).
HWND FindDialog(const char* caption, DWORD timeoutMs);
// Text of a control of a dialog (GetDlgItemTextA).
std::string DialogItemText(HWND dialog, int controlId);
// Presses a button of a dialog as a click would (posted WM_COMMAND
// BN_CLICKED), so the dialog's own thread handles it.
void PressButton(HWND dialog, int controlId);
// Waits until the window is gone; true when it went within the time.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

// --- More threads ---------------------------------------------------------

// Runs `work` on one of the harness's helper threads (`helper` from 0 to
// kHelperThreads - 1, each started on first use) and returns its future.
// Use them whenever a test needs threads of its own (a modal dialog to
// drive, debug output from another thread, concurrent callers): the helper
// threads live as long as the process. Under Wine on qemu-user (machines
// that run 32-bit code only through it), any thread of a test program that
// ends, std::thread or CreateThread alike, was seen to crash the program
// soon after.
inline constexpr int kHelperThreads = 4;
std::future<void> OnHelperThread(std::function<void()> work, int helper = 0);

// True for a 32-bit test program on a machine that runs 32-bit code only
// through qemu-user, which the test scripts say with TARNIX_WINE32=emulated:
// there Wine crashes the program on a few things that work everywhere else
// (a message box on a second thread, threads calling in together).
bool Wine32UnderQemu();

// --- The host record ------------------------------------------------------

// A host's device record: 32768 zero bytes, structVersion 17. Fields are
// read and written by byte offset (TARNIX_RECORD(field), EntryOffset) with
// memcpy, since the layout puts them at unaligned offsets.
class HostRecord {
 public:
  static constexpr std::size_t kBytes = 32768;

  HostRecord();

  void* data() { return bytes_.data(); }
  const std::uint8_t* bytes() const { return bytes_.data(); }

  template <typename T>
  T Read(std::size_t offset) const {
    CheckRange(offset, sizeof(T));
    T value;
    std::memcpy(&value, bytes_.data() + offset, sizeof value);
    return value;
  }

  template <typename T>
  void Write(std::size_t offset, T value) {
    CheckRange(offset, sizeof(T));
    std::memcpy(bytes_.data() + offset, &value, sizeof value);
  }

  // The text in a fixed-width field, up to its terminator or the width.
  std::string Text(std::size_t offset, std::size_t width) const;

 private:
  void CheckRange(std::size_t offset, std::size_t size) const;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace winetest
