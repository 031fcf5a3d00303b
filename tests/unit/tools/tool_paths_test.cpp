#include "tools/tool_paths.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_shell.h"

namespace qv {
namespace {

struct VERSION_CASE {
  std::uint32_t major;
  std::uint32_t minor;
  const wchar_t* restorePoints;
  const wchar_t* defragmenter;
};

// Windows 10 and 11 report major version 10: they have the Vista paths, not the XP ones.
TEST(ToolPaths, ChosenBySystemVersionInTheShellsWindowsFolder) {
  const VERSION_CASE cases[] = {
      {5, 1, L"D:\\WinNT\\system32\\restore\\rstrui.exe", L"D:\\WinNT\\system32\\Dfrg.msc"},
      {5, 2, L"D:\\WinNT\\system32\\restore\\rstrui.exe", L"D:\\WinNT\\system32\\Dfrg.msc"},
      {6, 0, L"D:\\WinNT\\system32\\rstrui.exe", L"D:\\WinNT\\system32\\dfrgui.exe"},
      {6, 1, L"D:\\WinNT\\system32\\rstrui.exe", L"D:\\WinNT\\system32\\dfrgui.exe"},
      {6, 3, L"D:\\WinNT\\system32\\rstrui.exe", L"D:\\WinNT\\system32\\dfrgui.exe"},
      {10, 0, L"D:\\WinNT\\system32\\rstrui.exe", L"D:\\WinNT\\system32\\dfrgui.exe"},
  };
  for (const VERSION_CASE& c : cases) {
    CMemoryShell shell;
    shell.SetFolder(kCsidlWindows, L"D:\\WinNT\\");
    shell.SetSystemVersion(c.major, c.minor);
    EXPECT_EQ(RestorePointsProgramPath(shell), c.restorePoints) << c.major << "." << c.minor;
    EXPECT_EQ(DefragmenterPath(shell), c.defragmenter) << c.major << "." << c.minor;
  }
}

TEST(ToolPaths, NothingWithoutAWindowsFolderAndTheTokenInAnyCase) {
  CMemoryShell shell;
  shell.SetSystemVersion(10, 0);
  EXPECT_EQ(RestorePointsProgramPath(shell), L"");
  shell.SetFolder(kCsidlWindows, L"C:\\Windows");
  EXPECT_EQ(ExpandSystemRoot(shell, L"%SystemRoot%\\a;%SYSTEMROOT%\\b"),
            L"C:\\Windows\\a;C:\\Windows\\b");
}

}  // namespace
}  // namespace qv
