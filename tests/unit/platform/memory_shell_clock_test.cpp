// The in-memory shell (folders, environment expansion, versions), the fake clock and the
// Windows 7 layout of CMemoryPlatform.
#include <gtest/gtest.h>

#include "platform/memory/fake_clock.h"
#include "platform/memory/memory_platform.h"
#include "platform/memory/memory_shell.h"
#include "base/utf16.h"
#include "tests/unit/platform/expand_cases.h"

namespace qv {
namespace {

TEST(MemoryShell, ExpandsEnvironmentLikeExpandEnvironmentStrings) {
  CMemoryShell shell;
  shell.SetEnvironment(L"QA", L"1");
  shell.SetEnvironment(L"SystemRoot", L"C:\\Windows");
  for (const auto& c : test::kExpandCases) {
    std::wstring out = L"unchanged";
    const std::uint32_t needed = shell.ExpandEnvironment(c.text, 260, &out);
    EXPECT_EQ(out, c.expanded) << ToUtf8(c.text);
    EXPECT_EQ(needed, Utf16Length(c.expanded) + 1) << ToUtf8(c.text);
  }
  // The count includes the terminator; a buffer one short gets nothing.
  std::wstring out = L"unchanged";
  EXPECT_EQ(shell.ExpandEnvironment(L"%QA%abc", 4, &out), 5u);
  EXPECT_EQ(out, L"unchanged");
  EXPECT_EQ(shell.ExpandEnvironment(L"%QA%abc", 5, &out), 5u);
  EXPECT_EQ(out, L"1abc");
  EXPECT_EQ(shell.ExpandEnvironment(L"%QA%abc", 0, nullptr), 5u);
  // Characters outside the BMP count two units.
  shell.SetEnvironment(L"WIDE", FromUtf16(u"\U0001F600"));
  EXPECT_EQ(shell.ExpandEnvironment(L"%wide%", 10, &out), 3u);
  shell.RemoveEnvironment(L"qa");
  EXPECT_FALSE(shell.GetEnvironment(L"QA").has_value());
  EXPECT_EQ(shell.GetEnvironment(L"systemroot"), L"C:\\Windows");
}

TEST(MemoryShell, FoldersVersionsAndProgramPath) {
  CMemoryShell shell;
  CMemoryFileSystem files;
  shell.SetFileSystem(&files);
  shell.SetFolder(kCsidlAppData, L"C:\\users\\u\\AppData\\Roaming");
  std::wstring path;
  EXPECT_EQ(shell.GetFolderPath(kCsidlAppData, &path), kErrorSuccess);
  EXPECT_EQ(path, L"C:\\users\\u\\AppData\\Roaming");
  EXPECT_FALSE(files.FileExists(path));  // flag 0: only the path
  EXPECT_EQ(shell.GetFolderPath(kCsidlAppData | kCsidlFlagCreate, &path), kErrorSuccess);
  EXPECT_TRUE(files.IsDirectory(L"C:\\users\\u\\AppData\\Roaming"));
  EXPECT_EQ(shell.GetFolderPath(kCsidlCookies, &path), CMemoryShell::kFolderNotKnown);
  EXPECT_NE(CMemoryShell::kFolderNotKnown, kErrorSuccess);
  EXPECT_EQ(shell.GetSpecialFolderPath(kCsidlCookies, true, &path), CMemoryShell::kFolderNotKnown);
  shell.SetFolder(kCsidlCookies, L"C:\\c");
  EXPECT_EQ(shell.GetSpecialFolderPath(kCsidlCookies, true, &path), kErrorSuccess);
  EXPECT_TRUE(files.IsDirectory(L"C:\\c"));
  shell.RemoveFolder(kCsidlCookies);
  EXPECT_EQ(shell.GetSpecialFolderPath(kCsidlCookies, false, &path),
            CMemoryShell::kFolderNotKnown);

  shell.SetFileVersion(L"C:\\App\\app.exe", CFileVersion{{1, 2, 3, 4}});
  CFileVersion version;
  ASSERT_EQ(shell.GetFileVersion(L"c:\\app\\APP.EXE", &version), kErrorSuccess);
  EXPECT_EQ(version.parts, (std::array<std::uint16_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(shell.GetFileVersion(L"C:\\App\\other.exe", &version), kErrorResourceTypeNotFound);
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  shell.GetSystemVersion(&major, &minor);
  EXPECT_EQ(major * 10 + minor, 61u);
  shell.SetSystemVersion(5, 1);
  shell.GetSystemVersion(&major, &minor);
  EXPECT_EQ(major * 10 + minor, 51u);
  shell.SetModuleFileName(L"D:\\q.exe");
  EXPECT_EQ(shell.ModuleFileName(), L"D:\\q.exe");
}

TEST(FakeClock, BreaksDownUtcWithWeekdayAndDayOfYear) {
  struct {
    std::int64_t seconds;
    int year, month, day, hour, minute, second, wday, yday;
  } cases[] = {
      {0, 1970, 1, 1, 0, 0, 0, 4, 0},
      {-1, 1969, 12, 31, 23, 59, 59, 3, 364},
      {951782400, 2000, 2, 29, 0, 0, 0, 2, 59},        // leap day of a century leap year
      {978307199, 2000, 12, 31, 23, 59, 59, 0, 365},   // day 366 of a leap year
      {CFakeClock::kDefaultNow, 2011, 6, 15, 10, 30, 0, 3, 165},
      {4107542400, 2100, 3, 1, 0, 0, 0, 1, 59},        // 2100 is not a leap year
      {-2208988800, 1900, 1, 1, 0, 0, 0, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    const std::tm t = CFakeClock::BreakDownUtc(c.seconds);
    EXPECT_EQ(t.tm_year + 1900, c.year);
    EXPECT_EQ(t.tm_mon + 1, c.month);
    EXPECT_EQ(t.tm_mday, c.day);
    EXPECT_EQ(t.tm_hour, c.hour);
    EXPECT_EQ(t.tm_min, c.minute);
    EXPECT_EQ(t.tm_sec, c.second);
    EXPECT_EQ(t.tm_wday, c.wday);
    EXPECT_EQ(t.tm_yday, c.yday);
    EXPECT_EQ(t.tm_isdst, 0);
  }
}

TEST(FakeClock, SleepAdvancesTimeAndIsRecorded) {
  CFakeClock clock(1000, 0xFFFFFF00u);
  EXPECT_EQ(clock.Now(), 1000);
  clock.Sleep(1500);
  clock.Sleep(0);
  clock.Sleep(600);
  EXPECT_EQ(clock.Sleeps(), (std::vector<std::uint32_t>{1500, 0, 600}));
  EXPECT_EQ(clock.TotalSleptMilliseconds(), 2100u);
  EXPECT_EQ(clock.Now(), 1002);
  EXPECT_EQ(clock.TickCount(), 0xFFFFFF00u + 2100u);  // wraps like GetTickCount
  clock.Advance(900);
  EXPECT_EQ(clock.Now(), 1003);
  EXPECT_EQ(clock.Sleeps().size(), 3u);
  clock.SetNow(5);
  clock.SetTickCount(7);
  EXPECT_EQ(clock.Now(), 5);
  EXPECT_EQ(clock.TickCount(), 7u);
  EXPECT_EQ(clock.ToLocalTime(86400).tm_mday, 2);
}

TEST(MemoryPlatform, LaysOutAWindows7Machine) {
  CMemoryPlatform machine;
  CPlatform platform = machine.platform();
  for (int csidl : {kCsidlPrograms, kCsidlFavorites, kCsidlStartup, kCsidlStartMenu,
                    kCsidlDesktopDirectory, kCsidlCommonStartMenu, kCsidlCommonPrograms,
                    kCsidlCommonStartup, kCsidlAppData, kCsidlCookies, kCsidlCommonAppData,
                    kCsidlWindows, kCsidlSystem, kCsidlProgramFiles, kCsidlProfile,
                    kCsidlProgramFilesCommon}) {
    std::wstring path;
    ASSERT_EQ(platform.shell.GetFolderPath(csidl, &path), kErrorSuccess) << csidl;
    EXPECT_TRUE(platform.files.IsDirectory(path)) << ToUtf8(path);
  }
  std::wstring path;
  ASSERT_EQ(platform.shell.GetFolderPath(kCsidlCommonAppData, &path), kErrorSuccess);
  EXPECT_EQ(path, L"C:\\ProgramData");
  ASSERT_EQ(platform.shell.GetFolderPath(kCsidlSystem, &path), kErrorSuccess);
  EXPECT_EQ(path, L"C:\\Windows\\system32");
  for (const wchar_t* variable :
       {L"%SystemRoot%", L"%windir%", L"%TEMP%", L"%tmp%", L"%USERPROFILE%", L"%ProgramFiles%",
        L"%CommonProgramFiles%", L"%APPDATA%", L"%ALLUSERSPROFILE%", L"%LOCALAPPDATA%"}) {
    std::wstring expanded;
    ASSERT_GT(platform.shell.ExpandEnvironment(variable, 260, &expanded), 1u);
    EXPECT_TRUE(platform.files.IsDirectory(expanded)) << ToUtf8(variable);
  }
  machine.files().AddFile(L"C:\\Windows\\notepad.exe");
  std::wstring name = L"notepad.exe";
  ASSERT_TRUE(platform.files.FindOnPath(&name));
  EXPECT_EQ(name, L"C:\\Windows\\notepad.exe");
  EXPECT_TRUE(platform.files.IsDirectory(L"C:\\Program Files\\Quarvelo"));
  EXPECT_EQ(platform.shell.ModuleFileName(), CMemoryPlatform::kModuleFileName);
  EXPECT_TRUE(machine.registry().KeyExists(L"HKCU\\Software\\Classes"));
  EXPECT_TRUE(machine.registry().KeyExists(L"HKLM\\Software\\Classes"));
  EXPECT_EQ(platform.clock.Now(), CFakeClock::kDefaultNow);
}

}  // namespace
}  // namespace qv
