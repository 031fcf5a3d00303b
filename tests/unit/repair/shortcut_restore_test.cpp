// Moving a repair's shortcuts back from its list, in both forms the list is written in.
#include "repair/shortcut_restore.h"

#include <gtest/gtest.h>

#include <string>

#include "base/utf16.h"
#include "platform/memory/memory_platform.h"

namespace qv {
namespace {

constexpr wchar_t kFolder[] = L"C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x";
constexpr wchar_t kList[] = L"C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x.bak";

// A line whose copy is gone and whose shortcut is in its place again (an earlier restore that
// could not finish) is done, not a failure.
TEST(ShortcutRestore, EveryListedCopyGoesBackAndTheFolderAndListGoWhenNothingIsLeft) {
  CMemoryPlatform machine;
  CMemoryFileSystem& files = machine.files();
  files.AddFile(std::wstring(kFolder) + L"\\A.lnk", "a");
  files.AddFile(std::wstring(kFolder) + L"\\B.lnk", "b");
  files.AddFile(L"C:\\users\\user\\Desktop\\Back.lnk", "back already");
  files.AddFile(kList,
                "C:\\users\\user\\Desktop\\A.lnk,C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x\\A.lnk\r\n"
                "C:\\users\\user\\Desktop\\Back.lnk,"
                "C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x\\Back.lnk\r\n"
                "C:\\users\\user\\Desktop\\B.lnk,C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x\\B.lnk\r\n"
                "C:\\a,b\\C.lnk,C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x\\C.lnk\r\n");
  SHORTCUT_RESTORE result;
  ASSERT_EQ(RestoreShortcuts(files, kList, &result), kErrorSuccess);
  EXPECT_EQ(result.moved, 2u);
  EXPECT_EQ(result.alreadyBack, 1u);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_EQ(files.ReadFile(L"C:\\users\\user\\Desktop\\Back.lnk"), "back already");
  EXPECT_EQ(result.ignored, 1u);  // a comma inside a path: three fields
  EXPECT_EQ(files.ReadFile(L"C:\\users\\user\\Desktop\\A.lnk"), "a");
  EXPECT_EQ(files.ReadFile(L"C:\\users\\user\\Desktop\\B.lnk"), "b");
  EXPECT_TRUE(result.folderRemoved && result.listDeleted);
  EXPECT_FALSE(files.FileExists(kFolder));
  EXPECT_FALSE(files.FileExists(kList));
  SHORTCUT_RESTORE again;
  EXPECT_EQ(RestoreShortcuts(files, kList, &again), kErrorFileNotFound);
}

TEST(ShortcutRestore, AUnicodeListAndACopyThatCannotGoBackKeepTheList) {
  CMemoryPlatform machine;
  CMemoryFileSystem& files = machine.files();
  files.AddFile(std::wstring(kFolder) + L"\\\u0416.lnk", "zhe");
  files.AddFile(std::wstring(kFolder) + L"\\Taken.lnk", "moved");
  files.AddFile(L"C:\\Desk\\Taken.lnk", "a new one in its place");
  std::string bytes = "\xFF\xFE";
  const std::wstring text = std::wstring(L"C:\\Desk\\\u0416.lnk,") + kFolder + L"\\\u0416.lnk\r\n" +
                            L"C:\\Desk\\Taken.lnk," + kFolder + L"\\Taken.lnk\r\n";
  for (wchar_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  files.AddFile(kList, bytes);
  SHORTCUT_RESTORE result;
  ASSERT_EQ(RestoreShortcuts(files, kList, &result), kErrorSuccess);
  EXPECT_EQ(result.moved, 1u);
  EXPECT_EQ(result.failed, 1u);
  EXPECT_EQ(files.ReadFile(L"C:\\Desk\\\u0416.lnk"), "zhe");
  EXPECT_EQ(files.ReadFile(L"C:\\Desk\\Taken.lnk"), "a new one in its place");
  EXPECT_EQ(files.ReadFile(std::wstring(kFolder) + L"\\Taken.lnk"), "moved");
  EXPECT_FALSE(result.folderRemoved);
  EXPECT_FALSE(result.listDeleted);
  EXPECT_TRUE(files.FileExists(kList));
}

}  // namespace
}  // namespace qv
