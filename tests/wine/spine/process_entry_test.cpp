// The DLL's entry routine as the system drives it: load, a thread starting
// and ending, unload, load again, and an attach while already attached.
// The process attach happens once per load, so the scenario runs in a
// child process that loads the DLL itself.
#include <gtest/gtest.h>

#include <cstdio>

#include "ui/resources.h"
#include "wine/support/harness.h"

namespace {

using Lines = std::vector<std::string>;

std::string Show(const Lines& lines) {
  std::string out;
  for (const std::string& line : lines) {
    out += "[";
    for (char c : line) out += c == '\n' ? std::string("\\n") : std::string(1, c);
    out += "]";
  }
  return out;
}

DWORD WINAPI EndAtOnce(LPVOID) { return 0; }

// Returns 0 when every step traced what it should, after saying so on
// standard error; otherwise the failed step's number, after printing what
// was seen.
int RunLifecycle() {
  const Lines attach = {"TARNIX:DllMain\n", "TARNIX:DllMain - Starting\n"};
  const Lines detach = {"TARNIX:DllMain\n", "TARNIX:DllMain - Stopping\n"};
  auto expect = [](int step, const Lines& expected) {
    Lines seen = winetest::TakeTraces();
    if (seen == expected) return true;
    std::fprintf(stderr, "step %d: got %s, expected %s\n", step, Show(seen).c_str(),
                 Show(expected).c_str());
    return false;
  };
  winetest::StartTraceCapture();
  if (GetModuleHandleA("tarnix.dll") != nullptr) return 1;

  HMODULE module = LoadLibraryA(winetest::TarnixPath().c_str());
  if (module == nullptr || !expect(2, attach)) return 2;

  if (!FreeLibrary(module) || !expect(3, detach)) return 3;

  module = LoadLibraryA(winetest::TarnixPath().c_str());
  if (module == nullptr || !expect(4, attach)) return 4;

  // A thread starting and ending: thread attach and detach.
  HANDLE thread = CreateThread(nullptr, 0, EndAtOnce, nullptr, 0, nullptr);
  if (thread == nullptr || WaitForSingleObject(thread, 60000) != WAIT_OBJECT_0) return 5;
  if (!expect(5, {"TARNIX:DllMain\n", "TARNIX:DllMain\n"})) return 5;

  // The system would never attach twice; call the entry point directly.
  auto image = reinterpret_cast<const BYTE*>(module);
  auto headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
  auto entry = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(
      const_cast<BYTE*>(image) + headers->OptionalHeader.AddressOfEntryPoint);
  BOOL answer = entry(module, DLL_PROCESS_ATTACH, nullptr);
  Lines seen = winetest::TakeTraces();
  bool refused = answer == FALSE && !seen.empty() && seen[0] == "TARNIX:DllMain\n";
  for (const std::string& line : seen) refused = refused && line != attach[1];
  if (!refused) {
    std::fprintf(stderr, "step 6: answer %d, traces %s\n", answer, Show(seen).c_str());
    return 6;
  }

  std::fprintf(stderr, "lifecycle: every step traced as expected\n");
  return 0;
}

TEST(ProcessEntry, LoadThreadsUnloadReloadAndASecondAttach) {
  EXPECT_EXIT(
      {
        int failedStep = RunLifecycle();
        std::fflush(stderr);
        // A refused attach has the runtime tear the DLL down: end without
        // the detach notifications a normal exit would send it.
        TerminateProcess(GetCurrentProcess(), failedStep);
      },
      ::testing::ExitedWithCode(0), "lifecycle: every step traced as expected");
}

TEST(ProcessEntry, ShowMessageUsesTheDriverNameTheTextAndTheErrorIcon) {
  // A record of the wrong version is refused with a message box.
  winetest::StartMessageBoxWatcher();
  winetest::HostRecord record;
  record.Write<int16_t>(TARNIX_RECORD(structVersion), 18);
  auto init = winetest::Get<int32_t(__stdcall*)(void*)>("DRV_InitDevice");
  EXPECT_EQ(init(record.data()), 0);
  auto boxes = winetest::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, STR_DRIVER_NAME);
  EXPECT_EQ(boxes[0].text, STR_WRONG_HOST_VERSION);
  EXPECT_TRUE(boxes[0].errorIcon);
}

}  // namespace
