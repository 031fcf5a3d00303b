// Moving a repair's shortcuts back from its list, in both forms the list is written in.
#include "repair/shortcut_restore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/memory/memory_platform.h"
#include "repair/backup_texts.h"
#include "repair/full_backup.h"

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
                "C:\\users\\user\\Desktop\\B.lnk,C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x\\B.lnk\r\n");
  SHORTCUT_RESTORE result;
  ASSERT_EQ(RestoreShortcuts(files, kList, &result), kErrorSuccess);
  EXPECT_EQ(result.moved, 2u);
  EXPECT_EQ(result.alreadyBack, 1u);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_EQ(files.ReadFile(L"C:\\users\\user\\Desktop\\Back.lnk"), "back already");
  EXPECT_TRUE(result.leftAlone.empty());
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

// Only what a repair moved goes back: a .lnk from this list's own folder to a plain path whose
// folders are no links. Every other line is left alone, named with its reason, and keeps the
// list; a planted line moves nothing, into the system folder least of all.
TEST(ShortcutRestore, OnlyShortcutsFromTheBackupsOwnFolderGoBackAndNeverThroughALink) {
  CMemoryPlatform machine;
  CMemoryFileSystem& files = machine.files();
  const std::wstring own = kFolder;
  const std::wstring system = L"C:\\Windows\\System32";
  files.AddFolder(L"C:\\users\\user\\Desktop");
  const std::vector<std::wstring> systemFiles = files.ListFolder(system);
  files.MakeLink(L"C:\\users\\user\\Linked", system);  // a junction made after the repair
  struct LINE {
    std::wstring source;
    std::wstring copy;  // made with the copy's own path as its content
    UI_TEXT reason;  // none (id 0): moved back
  };
  const std::vector<LINE> lines = {
      {L"C:\\users\\user\\Desktop\\Mine.lnk", own + L"\\Mine.lnk", {}},
      {L"C:\\users\\user\\Desktop\\Upper.LNK", own + L"\\UPPER.LNK", {}},
      {system + L"\\evil.lnk", L"C:\\users\\user\\evil.lnk", kShortcutLineCopyElsewhere},
      {system + L"\\sub.lnk", own + L"\\sub\\sub.lnk", kShortcutLineCopyElsewhere},
      {system + L"\\near.lnk", own + L"y\\near.lnk", kShortcutLineCopyElsewhere},
      {system + L"\\version.dll", own + L"\\version.dll", kShortcutLineNotShortcut},
      {system + L"\\a.exe", own + L"\\a.lnk", kShortcutLineNotShortcut},
      {L"C:\\users\\user\\Desktop\\..\\..\\..\\Windows\\System32\\up.lnk", own + L"\\up.lnk",
       kShortcutLineNotPlainPath},
      {L"Desktop\\relative.lnk", own + L"\\relative.lnk", kShortcutLineNotPlainPath},
      {L"C:\\users\\user\\Linked\\through.lnk", own + L"\\through.lnk", kShortcutLineThroughLink},
  };
  std::string list;
  for (const LINE& line : lines) {
    files.AddFile(line.copy, ToUtf8(line.copy));
    list += ToUtf8(line.source + L"," + line.copy) + "\r\n";
  }
  list += "C:\\a,b\\C.lnk," + ToUtf8(own) + "\\C.lnk\r\n";  // a comma inside a path
  files.AddFile(kList, list);

  SHORTCUT_RESTORE result;
  ASSERT_EQ(RestoreShortcuts(files, kList, &result), kErrorSuccess);
  EXPECT_EQ(result.moved, 2u);
  EXPECT_EQ(result.failed, 0u);
  ASSERT_EQ(result.leftAlone.size(), lines.size() - 2 + 1);
  std::size_t left = 0;
  for (const LINE& line : lines) {
    if (line.reason.id == 0) {
      EXPECT_EQ(files.ReadFile(line.source), ToUtf8(line.copy));
      continue;
    }
    EXPECT_EQ(result.leftAlone[left].line, line.source + L"," + line.copy);
    EXPECT_EQ(result.leftAlone[left++].reason, line.reason) << ToUtf8(line.source);
    EXPECT_EQ(files.ReadFile(line.copy), ToUtf8(line.copy)) << "left where it is";
  }
  EXPECT_EQ(result.leftAlone.back().reason, kShortcutLineNotTwoPaths);
  EXPECT_EQ(files.ListFolder(system), systemFiles) << "nothing went in there";
  EXPECT_TRUE(files.FileExists(kList));
  EXPECT_FALSE(result.listDeleted || result.folderRemoved);

  // What the user is told: how many lines and which list, then each line (ten at most).
  RESTORE_RESULT restore;
  restore.shortcutList = kList;
  restore.moved = result;
  const std::wstring text = RestoreLeftAloneText(restore);
  EXPECT_EQ(text.rfind(L"\n\n9 lines of the shortcut list " + std::wstring(kList) +
                           L" were left alone; the list is kept:\n" + lines[2].source + L"," +
                           lines[2].copy + L" (its moved copy is not in this backup's shortcut "
                           L"folder)\n",
                       0),
            0u);
  restore.moved.leftAlone.resize(13, result.leftAlone.front());
  EXPECT_TRUE(RestoreLeftAloneText(restore).ends_with(L"\n... and 3 more"));
}

}  // namespace
}  // namespace qv
