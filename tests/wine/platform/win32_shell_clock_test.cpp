// The Win32 shell and clock on the real system (Wine's Windows 7 layout).
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_shell.h"
#include "tests/unit/platform/expand_cases.h"

namespace qv {
namespace {

TEST(Win32Shell, ExpandsEnvironmentAsTheInMemoryShellDoes) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"QA", L"1"));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"SystemRoot", L"C:\\Windows"));
  CWin32Shell shell;
  for (const auto& c : test::kExpandCases) {
    std::wstring out = L"unchanged";
    const std::uint32_t needed = shell.ExpandEnvironment(c.text, 260, &out);
    EXPECT_EQ(out, c.expanded) << ToUtf8(c.text);
    EXPECT_EQ(needed, Utf16Length(c.expanded) + 1) << ToUtf8(c.text);
  }
  std::wstring out = L"unchanged";
  EXPECT_EQ(shell.ExpandEnvironment(L"%QA%abc", 4, &out), 5u);
  EXPECT_EQ(out, L"unchanged");
  EXPECT_EQ(shell.ExpandEnvironment(L"%QA%abc", 5, &out), 5u);
  EXPECT_EQ(out, L"1abc");
}

TEST(Win32Shell, FoldersExistAndUnknownFoldersFail) {
  CWin32Shell shell;
  CWin32FileSystem files;
  for (int csidl : {kCsidlPrograms, kCsidlFavorites, kCsidlStartMenu, kCsidlDesktopDirectory,
                    kCsidlCommonStartMenu, kCsidlCommonPrograms, kCsidlAppData,
                    kCsidlCommonAppData, kCsidlWindows, kCsidlSystem, kCsidlProgramFiles,
                    kCsidlProfile, kCsidlProgramFilesCommon}) {
    std::wstring path;
    ASSERT_EQ(shell.GetFolderPath(csidl, &path), kErrorSuccess) << csidl;
    EXPECT_TRUE(files.IsDirectory(path)) << ToUtf8(path);
    std::wstring special;
    EXPECT_EQ(shell.GetSpecialFolderPath(csidl, false, &special), kErrorSuccess);
    EXPECT_TRUE(EqualsNoCase(special, path));
  }
  std::wstring path = L"unchanged";
  EXPECT_NE(shell.GetFolderPath(0x7F, &path), kErrorSuccess);
  EXPECT_NE(shell.GetSpecialFolderPath(0x7F, false, &path), kErrorSuccess);
  EXPECT_EQ(path, L"unchanged");
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_EQ(shell.GetFolderPath(kCsidlSystem, &path), kErrorSuccess);
  EXPECT_TRUE(EqualsNoCase(path, system));
}

TEST(Win32Shell, ProgramPathVersionsAndSystemVersion) {
  CWin32Shell shell;
  const std::wstring module = shell.ModuleFileName();
  ASSERT_GT(module.size(), 4u);
  EXPECT_TRUE(EqualsNoCase(module.substr(module.size() - 4), L".exe")) << ToUtf8(module);
  CWin32FileSystem files;
  EXPECT_TRUE(files.FileExists(module));
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  shell.GetSystemVersion(&major, &minor);
  EXPECT_EQ(major * 10 + minor, 61u);  // Wine reports Windows 7 by default
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  CFileVersion version;
  ASSERT_EQ(shell.GetFileVersion(std::wstring(system) + L"\\kernel32.dll", &version),
            kErrorSuccess);
  EXPECT_GT(version.parts[0], 0u);
  const CFileVersion before = version;
  EXPECT_NE(shell.GetFileVersion(L"C:\\no\\such\\file.dll", &version), kErrorSuccess);
  EXPECT_EQ(version.parts, before.parts);
}

TEST(Win32Clock, LocalTimeAgreesWithTheRuntime) {
  CWin32Clock clock;
  const std::int64_t now = clock.Now();
  EXPECT_GT(now, 1300000000);  // after 2011
  const std::time_t value = static_cast<std::time_t>(now);
  std::tm expected{};
  ASSERT_EQ(localtime_s(&expected, &value), 0);
  const std::tm got = clock.ToLocalTime(now);
  EXPECT_EQ(got.tm_year, expected.tm_year);
  EXPECT_EQ(got.tm_yday, expected.tm_yday);
  EXPECT_EQ(got.tm_hour, expected.tm_hour);
  EXPECT_EQ(got.tm_sec, expected.tm_sec);
  clock.Sleep(0);
}

}  // namespace
}  // namespace qv
