// kalinor.exe's and kalinor-query.exe's version resources and manifests,
// read back through the Windows API from the built executables (copied
// beside this test).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"

namespace {

std::wstring BesideThisTest(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return kalinor::platform::JoinPath(kalinor::platform::ParentFolder(std::wstring(path, length)),
                                     name);
}

// One string of the version resource's US English, Unicode block.
std::wstring VersionString(std::vector<char>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) return L"<none>";
  return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

// Each program's version resource, and what its description says.
struct Program {
  const wchar_t* File;
  const wchar_t* Described;
};
constexpr Program kPrograms[] = {{L"kalinor.exe", L"MAPI message service"},
                                 {L"kalinor-query.exe", L"read-only answers"}};

void CheckVersionResource(const std::wstring& exe, const Program& program) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
  ASSERT_GT(size, 0u) << "no version resource, error " << GetLastError();
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));

  const std::wstring version = L"" KALINOR_VERSION;
  EXPECT_EQ(VersionString(info, L"FileVersion"), version);
  EXPECT_EQ(VersionString(info, L"ProductVersion"), version);
  EXPECT_EQ(VersionString(info, L"ProductName"), L"Kalinor");
  EXPECT_EQ(VersionString(info, L"OriginalFilename"), program.File);
  EXPECT_NE(VersionString(info, L"FileDescription").find(program.Described), std::wstring::npos);

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(numbers, version);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionResource, CarriesTheProjectVersionAndNames) {
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(testing::Message() << program.File);
    CheckVersionResource(BesideThisTest(program.File), program);
  }
}

void CheckManifest(const std::wstring& path) {
  HMODULE exe = LoadLibraryExW(path.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr) << GetLastError();
  HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
  const std::string manifest(bytes, SizeofResource(exe, found));
  FreeLibrary(exe);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
  // Windows 10 and 11.
  EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
}

TEST(VersionResource, TheManifestAsksForTheCallersRights) {
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(testing::Message() << program.File);
    CheckManifest(BesideThisTest(program.File));
  }
}

}  // namespace
