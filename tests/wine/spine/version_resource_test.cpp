// The version resources of the shipped files, read back through the
// system's own version API (what Explorer's properties and an installer
// show): the project's version, name and file names, in every file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tarnix_version.h"
#include "wine/support/harness.h"

namespace {

struct VersionInfo {
  std::vector<char> data;
  const VS_FIXEDFILEINFO* fixed = nullptr;

  std::string Text(const char* name) const {
    std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), key.c_str(), &value, &length) || length == 0) return "";
    return std::string(static_cast<const char*>(value),
                       strnlen(static_cast<const char*>(value), length));
  }
};

VersionInfo ReadVersion(const std::string& path) {
  VersionInfo info;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return info;
  info.data.resize(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data.data())) return info;
  void* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(info.data.data(), "\\", &fixed, &length) && length >= sizeof(VS_FIXEDFILEINFO))
    info.fixed = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return info;
}

std::string BinDirectory() {
  std::string dll = winetest::TarnixPath();
  return dll.substr(0, dll.find_last_of("\\/") + 1);
}

TEST(VersionResource, EveryShippedFileCarriesTheProjectVersion) {
  const DWORD high = MAKELONG(TARNIX_VERSION_MINOR, TARNIX_VERSION_MAJOR);
  const DWORD low = MAKELONG(0, TARNIX_VERSION_PATCH);
  for (const char* file : {"tarnix.dll", "VLQAPI.dll", "tarnix-host.exe"}) {
    SCOPED_TRACE(file);
    VersionInfo info = ReadVersion(BinDirectory() + file);
    ASSERT_NE(info.fixed, nullptr) << "no version resource";
    EXPECT_EQ(info.fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.fixed->dwFileVersionMS, high);
    EXPECT_EQ(info.fixed->dwFileVersionLS, low);
    EXPECT_EQ(info.fixed->dwProductVersionMS, high);
    EXPECT_EQ(info.fixed->dwProductVersionLS, low);
    EXPECT_EQ(info.Text("FileVersion"), TARNIX_VERSION);
    EXPECT_EQ(info.Text("ProductVersion"), TARNIX_VERSION);
    EXPECT_EQ(info.Text("ProductName"), "TARNIX");
    EXPECT_EQ(info.Text("OriginalFilename"), file);
    EXPECT_EQ(info.Text("CompanyName"), "The TARNIX developers");
    EXPECT_NE(info.Text("LegalCopyright").find("The TARNIX developers"), std::string::npos);
    EXPECT_FALSE(info.Text("FileDescription").empty());
  }
}

}  // namespace
