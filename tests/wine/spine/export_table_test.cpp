// tarnix.dll as a host sees it: the export directory read from the loaded
// image, the libraries it imports, and every export called through a thunk
// that checks the callee removed its own arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "wine/support/harness.h"

namespace {

struct ExportSpec {
  const char* name;
  int argumentBytes;
  const char* routine;  // exports naming the same routine share one address
};

// The host's view of the table: names, argument bytes, shared routines.
// Copied here by hand on purpose rather than expanded from the export table
// (abi/driver/abi/driver_entries.h): names, ordinals, argument bytes and shared
// addresses are what hosts already built call, so a row added, renamed or
// changed there fails here until this copy is changed with it.
const ExportSpec kExports[] = {
    {"DRV_AdvanceAnalogOutputBuf", 0, "advance-output"},
    {"DRV_AdvanceCounterOutputBuf", 0, "advance-output"},
    {"DRV_AdvanceDigitalOutputBuf", 0, "advance-output"},
    {"DRV_AdvanceInputBuf", 0, "DRV_AdvanceInputBuf"},
    {"DRV_ExplainGainCode", 8, "DRV_ExplainGainCode"},
    {"DRV_GetAnalogOutputBuf", 0, "get-output"},
    {"DRV_GetAnalogOutputStatus", 0, "advance-output"},
    {"DRV_GetCounterOutputBuf", 0, "get-output"},
    {"DRV_GetCounterOutputStatus", 0, "get-output"},
    {"DRV_GetDigitalOutputBuf", 0, "get-output"},
    {"DRV_GetDigitalOutputStatus", 0, "get-output"},
    {"DRV_GetHardwareDescription", 0, "get-output"},
    {"DRV_GetInputBuf", 0, "DRV_GetInputBuf"},
    {"DRV_GetInputBufStatus", 0, "DRV_GetInputBufStatus"},
    {"DRV_GetMeasInfoEx", 0, "DRV_GetMeasInfoEx"},
    {"DRV_InitDevice", 4, "DRV_InitDevice"},
    {"DRV_KillDevice", 0, "DRV_KillDevice"},
    {"DRV_LoadWorksheet", 4, "DRV_LoadWorksheet"},
    {"DRV_NewWorksheet", 0, "DRV_NewWorksheet"},
    {"DRV_ReadCounterInput", 4, "DRV_ReadCounterInput"},
    {"DRV_ReadDigitalInput", 4, "DRV_ReadDigitalInput"},
    {"DRV_SaveWorksheet", 4, "DRV_SaveWorksheet"},
    {"DRV_SetAnalogOutputBufferMode", 12, "set-mode"},
    {"DRV_SetCounterOutputBufferMode", 12, "set-mode"},
    {"DRV_SetDigitalOutputBufferMode", 12, "set-mode"},
    {"DRV_SetInputBufferSize", 4, "DRV_SetInputBufferSize"},
    {"DRV_SetScanList", 12, "set-mode"},
    {"DRV_ShowDialog", 8, "DRV_ShowDialog"},
    {"DRV_ShowError", 0, "DRV_ShowError"},
    {"DRV_StartMeas", 0, "DRV_StartMeas"},
    {"DRV_StopMeas", 0, "DRV_StopMeas"},
    {"DRV_TestStruct", 0, "DRV_TestStruct"},
    {"DRV_WriteAnalogOutput", 8, "DRV_WriteAnalogOutput"},
    {"DRV_WriteCounterOutput", 8, "DRV_WriteCounterOutput"},
    {"DRV_WriteDigitalOutput", 8, "DRV_WriteDigitalOutput"},
};

struct ExportDirectory {
  std::string libraryName;
  DWORD base = 0;
  std::vector<std::string> names;  // in the order of the name table
  std::vector<WORD> ordinals;      // biased: ordinal = base + entry
  std::vector<DWORD> functionRvas;
};

const BYTE* Image() { return reinterpret_cast<const BYTE*>(winetest::Tarnix()); }

const IMAGE_NT_HEADERS* Headers() {
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Image());
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(Image() + dos->e_lfanew);
}

ExportDirectory ReadExports() {
  const IMAGE_DATA_DIRECTORY& entry =
      Headers()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto dir = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(Image() + entry.VirtualAddress);
  ExportDirectory out;
  out.libraryName = reinterpret_cast<const char*>(Image() + dir->Name);
  out.base = dir->Base;
  auto names = reinterpret_cast<const DWORD*>(Image() + dir->AddressOfNames);
  auto ordinals = reinterpret_cast<const WORD*>(Image() + dir->AddressOfNameOrdinals);
  auto functions = reinterpret_cast<const DWORD*>(Image() + dir->AddressOfFunctions);
  for (DWORD i = 0; i < dir->NumberOfNames; ++i) {
    out.names.emplace_back(reinterpret_cast<const char*>(Image() + names[i]));
    out.ordinals.push_back(ordinals[i]);
  }
  out.functionRvas.assign(functions, functions + dir->NumberOfFunctions);
  return out;
}

TEST(ExportTable, ThirtyFivePlainNamesWithAlphabeticalOrdinals) {
  ExportDirectory dir = ReadExports();
  EXPECT_EQ(dir.libraryName, "tarnix.dll");
  EXPECT_EQ(dir.base, 1u) << "ordinals start at 1";
  ASSERT_EQ(dir.names.size(), 35u);
  ASSERT_EQ(dir.functionRvas.size(), 35u);
  for (std::size_t i = 0; i < 35; ++i) {
    EXPECT_EQ(dir.names[i], kExports[i].name) << "name " << i;
    EXPECT_EQ(dir.base + dir.ordinals[i], i + 1) << dir.names[i] << " has the wrong ordinal";
    EXPECT_EQ(dir.names[i].find_first_of("@?"), std::string::npos) << "decorated: " << dir.names[i];
  }
  EXPECT_TRUE(std::is_sorted(dir.names.begin(), dir.names.end()));

  // Ordinal lookups land where the name lookups do.
  for (std::size_t i = 0; i < 35; ++i) {
    FARPROC byOrdinal = GetProcAddress(winetest::Tarnix(), MAKEINTRESOURCEA(i + 1));
    EXPECT_EQ(byOrdinal, winetest::GetExport(kExports[i].name)) << kExports[i].name;
  }
}

TEST(ExportTable, SharedRoutinesShareOneAddress) {
  std::map<std::string, std::set<FARPROC>> addressesOfRoutine;
  std::set<FARPROC> all;
  for (const ExportSpec& e : kExports) {
    FARPROC address = winetest::GetExport(e.name);
    addressesOfRoutine[e.routine].insert(address);
    all.insert(address);
  }
  for (const auto& [routine, addresses] : addressesOfRoutine) {
    EXPECT_EQ(addresses.size(), 1u) << routine << " is spread over several addresses";
  }
  EXPECT_EQ(all.size(), 24u) << "35 names on 24 routines";
}

TEST(ExportTable, ImportsOnlySystemLibrariesAndTheBoardLibraryByPlainNames) {
  const IMAGE_DATA_DIRECTORY& entry =
      Headers()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(entry.VirtualAddress, 0u);
  auto imports = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Image() + entry.VirtualAddress);
  const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL",
                                         "VLQAPI.DLL"};
  std::vector<std::string> boardImports;
  for (; imports->Name != 0; ++imports) {
    std::string dll = reinterpret_cast<const char*>(Image() + imports->Name);
    std::string upper = dll;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    bool systemOrBoard = allowed.count(upper) != 0 || upper.rfind("API-MS-WIN-", 0) == 0;
    EXPECT_TRUE(systemOrBoard) << "tarnix.dll needs " << dll;
    if (upper != "VLQAPI.DLL") continue;
    auto thunk = reinterpret_cast<const IMAGE_THUNK_DATA*>(Image() + imports->OriginalFirstThunk);
    for (; thunk->u1.AddressOfData != 0; ++thunk) {
      ASSERT_FALSE(thunk->u1.Ordinal & IMAGE_ORDINAL_FLAG) << "imported by ordinal";
      auto byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(Image() + thunk->u1.AddressOfData);
      boardImports.emplace_back(reinterpret_cast<const char*>(byName->Name));
    }
  }
  ASSERT_FALSE(boardImports.empty()) << "no VELQ_ imports from VLQAPI.dll";
  for (const std::string& name : boardImports) {
    EXPECT_EQ(name.rfind("VELQ_", 0), 0u) << name;
    EXPECT_EQ(name.find('@'), std::string::npos) << "decorated import " << name;
  }
}

}  // namespace
