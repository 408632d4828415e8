// Every export removes its own arguments, as the host's calls expect: each
// is called through a thunk that pushes the arguments, calls, and reports
// how far the stack pointer moved. Zero means the callee popped exactly its
// arguments; a routine compiled with the caller-cleans convention leaves
// them behind (a negative difference) and would wreck the host's stack.
//
// The module holds no record here (the one initialisation, last, is refused
// for its version), so every entry takes its no-record path.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "wine/support/harness.h"

extern "C" int32_t CallMeasuringStack(FARPROC function, const uint32_t* arguments, int32_t count,
                                      int32_t* stackDifference);

// cdecl: (function, arguments, count, stackDifference*) -> function's result.
// esi keeps the stack pointer from before the pushes; both calling
// conventions preserve esi, edi, ebx and ebp.
asm(R"(
  .text
  .globl _CallMeasuringStack
_CallMeasuringStack:
  pushl %ebp
  movl %esp, %ebp
  pushl %esi
  pushl %edi
  pushl %ebx
  movl %esp, %esi
  movl 16(%ebp), %ecx
  movl 12(%ebp), %edx
1:
  testl %ecx, %ecx
  jz 2f
  decl %ecx
  pushl (%edx,%ecx,4)
  jmp 1b
2:
  call *8(%ebp)
  movl %esp, %edi
  subl %esi, %edi
  movl %esi, %esp
  movl 20(%ebp), %ecx
  movl %edi, (%ecx)
  popl %ebx
  popl %edi
  popl %esi
  popl %ebp
  ret
)");

namespace {

struct Call {
  const char* name;
  std::vector<uint32_t> arguments;
};

TEST(StackCleanup, EveryExportRemovesItsOwnArguments) {
  winetest::StartMessageBoxWatcher();
  winetest::HostRecord wrongVersion;
  wrongVersion.Write<int16_t>(TARNIX_RECORD(structVersion), 16);
  static const char kWorksheet[] = "tarnix spine stack check";
  const auto text = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(kWorksheet));
  const auto record = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wrongVersion.data()));

  const std::vector<Call> calls = {
      {"DRV_AdvanceAnalogOutputBuf", {}},
      {"DRV_AdvanceCounterOutputBuf", {}},
      {"DRV_AdvanceDigitalOutputBuf", {}},
      {"DRV_AdvanceInputBuf", {}},
      {"DRV_ExplainGainCode", {3, 4}},
      {"DRV_GetAnalogOutputBuf", {}},
      {"DRV_GetAnalogOutputStatus", {}},
      {"DRV_GetCounterOutputBuf", {}},
      {"DRV_GetCounterOutputStatus", {}},
      {"DRV_GetDigitalOutputBuf", {}},
      {"DRV_GetDigitalOutputStatus", {}},
      {"DRV_GetHardwareDescription", {}},
      {"DRV_GetInputBuf", {}},
      {"DRV_GetInputBufStatus", {}},
      {"DRV_GetMeasInfoEx", {}},
      {"DRV_NewWorksheet", {}},
      {"DRV_LoadWorksheet", {text}},
      {"DRV_SaveWorksheet", {text}},
      {"DRV_ReadCounterInput", {0}},
      {"DRV_ReadDigitalInput", {0}},
      {"DRV_SetAnalogOutputBufferMode", {1, 2, 3}},
      {"DRV_SetCounterOutputBufferMode", {1, 2, 3}},
      {"DRV_SetDigitalOutputBufferMode", {1, 2, 3}},
      {"DRV_SetScanList", {1, 2, 3}},
      {"DRV_SetInputBufferSize", {1024}},
      {"DRV_ShowDialog", {0, 7}},
      {"DRV_ShowError", {}},
      {"DRV_TestStruct", {}},
      {"DRV_StartMeas", {}},
      {"DRV_StopMeas", {}},
      {"DRV_WriteAnalogOutput", {0, 0}},
      {"DRV_WriteCounterOutput", {0, 0}},
      {"DRV_WriteDigitalOutput", {0, 0}},
      {"DRV_KillDevice", {}},
      // Last: it opens the splash and a message box, the most that can go wrong.
      {"DRV_InitDevice", {record}},
  };
  ASSERT_EQ(calls.size(), 35u);
  for (const Call& call : calls) {
    int32_t difference = 12345;
    // Says which export was running should one bring the program down.
    std::fprintf(stderr, "calling %s\n", call.name);
    std::fflush(stderr);
    CallMeasuringStack(winetest::GetExport(call.name), call.arguments.data(),
                       static_cast<int32_t>(call.arguments.size()), &difference);
    EXPECT_EQ(difference, 0) << call.name << " with " << call.arguments.size()
                             << " arguments left the stack pointer moved by " << difference
                             << " bytes";
  }
  EXPECT_EQ(wrongVersion.Read<int16_t>(TARNIX_RECORD(structVersion)), 16);
  for (std::size_t offset = 2; offset < winetest::HostRecord::kBytes; ++offset) {
    ASSERT_EQ(wrongVersion.bytes()[offset], 0) << "a refused record was written at byte " << offset;
  }
}

TEST(StackCleanup, TheThunkSeesACallerCleanedRoutine) {
  // The check above must be able to fail: a cdecl routine leaves its
  // arguments on the stack and shows as a difference of -4 per argument.
  auto cdeclRoutine = [](uint32_t, uint32_t) -> int32_t { return 7; };
  int32_t (*pointer)(uint32_t, uint32_t) = cdeclRoutine;
  const uint32_t arguments[] = {1, 2};
  int32_t difference = 0;
  int32_t result = CallMeasuringStack(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(pointer)),
                                      arguments, 2, &difference);
  EXPECT_EQ(result, 7);
  EXPECT_EQ(difference, -8);
}

}  // namespace
