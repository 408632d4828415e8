// libtarnix.so as a host loads it: the 35 entry names, the shared routines,
// nothing of the driver's internals visible, and the load and unload traces.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "abi/driver_entries.h"
#include "abi/portable_control.h"

namespace {

// The binary interface hosts are built against, copied here by hand on
// purpose rather than expanded from the export table
// (abi/driver/abi/driver_entries.h): a row added, renamed or moved to another
// routine there changes what every host links to, so it fails here until
// this copy is changed with it. name -> routine; names with the same routine
// share one address.
const std::map<std::string, std::string> kExports = {
    {"DRV_AdvanceAnalogOutputBuf", "advance-output"},
    {"DRV_AdvanceCounterOutputBuf", "advance-output"},
    {"DRV_AdvanceDigitalOutputBuf", "advance-output"},
    {"DRV_GetAnalogOutputStatus", "advance-output"},
    {"DRV_GetAnalogOutputBuf", "get-output"},
    {"DRV_GetCounterOutputBuf", "get-output"},
    {"DRV_GetCounterOutputStatus", "get-output"},
    {"DRV_GetDigitalOutputBuf", "get-output"},
    {"DRV_GetDigitalOutputStatus", "get-output"},
    {"DRV_GetHardwareDescription", "get-output"},
    {"DRV_SetAnalogOutputBufferMode", "set-mode"},
    {"DRV_SetCounterOutputBufferMode", "set-mode"},
    {"DRV_SetDigitalOutputBufferMode", "set-mode"},
    {"DRV_SetScanList", "set-mode"},
    {"DRV_AdvanceInputBuf", "1"},
    {"DRV_ExplainGainCode", "2"},
    {"DRV_GetInputBuf", "3"},
    {"DRV_GetInputBufStatus", "4"},
    {"DRV_GetMeasInfoEx", "5"},
    {"DRV_InitDevice", "6"},
    {"DRV_KillDevice", "7"},
    {"DRV_LoadWorksheet", "8"},
    {"DRV_NewWorksheet", "9"},
    {"DRV_ReadCounterInput", "10"},
    {"DRV_ReadDigitalInput", "11"},
    {"DRV_SaveWorksheet", "12"},
    {"DRV_SetInputBufferSize", "13"},
    {"DRV_ShowDialog", "14"},
    {"DRV_ShowError", "15"},
    {"DRV_StartMeas", "16"},
    {"DRV_StopMeas", "17"},
    {"DRV_TestStruct", "18"},
    {"DRV_WriteAnalogOutput", "19"},
    {"DRV_WriteCounterOutput", "20"},
    {"DRV_WriteDigitalOutput", "21"},
};

std::string LibraryPath() {
  const char* bin = std::getenv("TARNIX_BIN");
  return std::string(bin != nullptr ? bin : ".") + "/libtarnix.so";
}

std::vector<std::string>* g_unloadTraces = nullptr;

// The export table's rows, name -> routine.
std::map<std::string, std::string> TableRows() {
  std::map<std::string, std::string> rows;
#define TARNIX_ROW(name, result, params, bytes, routine) rows["DRV_" #name] = #routine;
  TARNIX_DRIVER_ENTRIES(TARNIX_ROW, TARNIX_ROW)
#undef TARNIX_ROW
  return rows;
}

// The names grouped by what serves them, whatever that is called.
template <typename Routine>
std::set<std::set<std::string>> Sharing(const std::map<std::string, Routine>& routineOf) {
  std::map<Routine, std::set<std::string>> groups;
  for (const auto& [name, routine] : routineOf) groups[routine].insert(name);
  std::set<std::set<std::string>> sharing;
  for (const auto& [routine, names] : groups) sharing.insert(names);
  return sharing;
}

TEST(SharedObject, ExportsThe35NamesOn24Routines) {
  EXPECT_EQ(Sharing(TableRows()), Sharing(kExports))
      << "the export table left the pinned interface";
  void* library = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  std::map<std::string, void*> addressOf;
  for (const auto& [name, routine] : kExports) {
    addressOf[name] = dlsym(library, name.c_str());
    EXPECT_NE(addressOf[name], nullptr) << name << " is missing";
  }
  EXPECT_EQ(Sharing(addressOf), Sharing(kExports)) << "names sharing an address in the library";
  dlclose(library);
}

TEST(SharedObject, OnlyEntriesAndControlHooksAreVisible) {
  std::string command = "nm -D --defined-only " + LibraryPath();
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[512];
  std::set<std::string> entries;
  std::vector<std::string> internals;
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string symbol(line);
    symbol = symbol.substr(symbol.find_last_of(' ') + 1);
    symbol.erase(symbol.find_last_not_of("\n") + 1);
    if (symbol.rfind("DRV_", 0) == 0) entries.insert(symbol);
    if (symbol.rfind("_ZN6tarnix", 0) == 0) internals.push_back(symbol);
  }
  EXPECT_EQ(pclose(pipe), 0) << command;
  std::set<std::string> pinned;
  for (const auto& [name, routine] : kExports) pinned.insert(name);
  EXPECT_EQ(entries, pinned) << "DRV_ symbols in the dynamic table";
  EXPECT_TRUE(internals.empty()) << "driver internals exported, e.g. " << internals.front();
}

// Every control entry the portable control header declares can be found in
// the shared object, as a tool that loads it and steers the backend finds
// them. The names come from the header itself, so a new declaration is
// checked too.
TEST(SharedObject, ExportsEveryNameOfThePortableControlHeader) {
  const char* source = std::getenv("TARNIX_SOURCE");
  const std::string header =
      std::string(source != nullptr ? source : ".") + "/abi/portable/abi/portable_control.h";
  std::ifstream in(header);
  ASSERT_TRUE(in) << "cannot read " << header;
  const std::regex declaration(R"(^TARNIX_EXPORT\b.*\b(TarnixPortable_\w+)\s*\()");
  int exports = 0;
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("TARNIX_EXPORT", 0) == 0) ++exports;
    std::smatch match;
    if (std::regex_search(line, match, declaration)) names.push_back(match[1]);
  }
  ASSERT_GT(exports, 0) << header << " declares nothing";
  EXPECT_EQ(names.size(), static_cast<std::size_t>(exports)) << "a declaration not understood";

  void* library = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const std::string& name : names) {
    EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name << " is not exported";
  }
  dlclose(library);
}

// AddressSanitizer keeps closed libraries mapped until exit, so there an
// earlier dlclose leaves nothing to load and a dlclose nothing to unload.
// Anywhere else the library must go when closed.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kClosedLibrariesStayMapped = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kClosedLibrariesStayMapped = true;
#else
constexpr bool kClosedLibrariesStayMapped = false;
#endif
#else
constexpr bool kClosedLibrariesStayMapped = false;
#endif

bool StillLoaded() {
  void* handle = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

TEST(SharedObject, LoadAndUnloadRunTheProcessEntry) {
  if (kClosedLibrariesStayMapped && StillLoaded()) {
    GTEST_SKIP() << "AddressSanitizer kept libtarnix.so mapped after an earlier dlclose; load "
                    "traces not observable";
  }
  ASSERT_FALSE(StillLoaded()) << "libtarnix.so stayed loaded after an earlier dlclose";
  testing::internal::CaptureStderr();
  void* library = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  std::string loadOutput = testing::internal::GetCapturedStderr();
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_EQ(loadOutput, "TARNIX:DllMain\nTARNIX:DllMain - Starting\n");

  // The library's own copy of the hooks (not the one linked into this test).
  auto setHook = reinterpret_cast<decltype(&TarnixPortable_SetTraceHook)>(
      dlsym(library, "TarnixPortable_SetTraceHook"));
  ASSERT_NE(setHook, nullptr);
  // The hook may also run at process exit (see below), so what it fills
  // lives as long as the process.
  static std::vector<std::string> traces;
  g_unloadTraces = &traces;
  setHook([](const char* text, void*) { g_unloadTraces->emplace_back(text); }, nullptr);
  ASSERT_EQ(dlclose(library), 0) << dlerror();
  if (kClosedLibrariesStayMapped && StillLoaded()) {
    GTEST_SKIP() << "AddressSanitizer keeps libtarnix.so mapped after dlclose; unload traces not "
                    "observable";
  }
  ASSERT_FALSE(StillLoaded()) << "libtarnix.so stays loaded after dlclose";
  EXPECT_EQ(traces, (std::vector<std::string>{"TARNIX:DllMain\n", "TARNIX:DllMain - Stopping\n"}));
}

}  // namespace
