// The backup listing: which files are backups, one row per name, and the order by the whole file
// time (a comparison of the low 32 bits alone orders wrongly once the high part differs, every
// seven minutes or so); deleting backups, with what could not be deleted reported, not counted.
#include "repair/backup_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "repair/backup_texts.h"
#include "tests/support/engine_fixture.h"

namespace qv {
namespace {

constexpr wchar_t kFolder[] = L"C:\\ProgramData\\Quarvelo\\Backup";

std::vector<std::wstring> Names(const std::vector<BACKUP_ENTRY>& backups) {
  std::vector<std::wstring> names;
  for (const BACKUP_ENTRY& b : backups) names.push_back(b.name);
  return names;
}

TEST(BackupList, OneRowPerNameNewestFirstByTheWholeFileTime) {
  CMemoryPlatform machine;
  CMemoryFileSystem& files = machine.files();
  const std::wstring folder = kFolder;
  auto add = [&](const std::wstring& name, std::uint64_t time, std::string_view bytes = "x") {
    files.AddFile(folder + L"\\" + name, bytes);
    files.SetLastWriteTime(folder + L"\\" + name, time);
  };
  // Later than "Older" although its low 32 bits are smaller.
  add(L"RCBak_Newer.reg", 0x0000000200000005ull);
  add(L"QuarveloBak_Older.reg", 0x00000001FFFFFFF0ull);
  add(L"RCBak_Newer.bak", 0x0000000300000000ull);  // a shortcut list: never listed by itself
  add(L"Middle.reg", 0x0000000200000001ull);
  add(L"middle.old.reg", 0x0000000900000000ull);  // a name of its own: "middle.old"
  add(L"Empty.reg", 0x0000000A00000000ull, "");    // empty: skipped
  files.AddFolder(folder + L"\\Folder.reg");       // a folder: skipped

  std::vector<BACKUP_ENTRY> backups;
  ASSERT_EQ(ListBackups(files, folder, &backups), kErrorSuccess);
  EXPECT_EQ(Names(backups), (std::vector<std::wstring>{L"middle.old", L"RCBak_Newer", L"Middle",
                                                       L"QuarveloBak_Older"}));
  EXPECT_EQ(backups.front().file, folder + L"\\middle.old.reg");
  EXPECT_EQ(BackupBasePath(folder, backups.front().name) + L".reg", backups.front().file);
  EXPECT_EQ(backups.back().file, folder + L"\\QuarveloBak_Older.reg");

  std::vector<BACKUP_ENTRY> none;
  EXPECT_EQ(ListBackups(files, L"C:\\Missing", &none), kErrorSuccess);
  EXPECT_TRUE(none.empty());
}

TEST(BackupList, TheDateIsTheLocalTimeOfTheFile) {
  CMemoryPlatform machine;
  // 2026-12-06 18:31:14 UTC (the fake clock's local time is UTC).
  const std::uint64_t fileTime = 116444736000000000ull + 1796581874ull * 10000000ull;
  EXPECT_EQ(FormatBackupDate(machine.clock(), fileTime), L"December 06, 2026 (18:31:14)");
}

// A repair's backup RCBak_<stamp> goes with its shortcut list QuarveloBak_<stamp>.bak and the
// folder of moved shortcuts; a full backup of the same stamp leaves them to the repair's.
TEST(BackupList, DeletingRemovesEveryFileOfTheBackupAndReportsWhatStayed) {
  CMemoryPlatform machine;
  CMemoryFileSystem& files = machine.files();
  const std::wstring folder = kFolder;
  for (const wchar_t* name :
       {L"a.reg", L"a.bak", L"regonly.reg", L"locked.reg", L"locked.bak", L"listlocked.reg",
        L"listlocked.bak", L"RCBak_T.reg", L"QuarveloBak_T.bak", L"QuarveloBak_T\\A.lnk",
        L"QuarveloBak_T\\B.lnk", L"RCBak_H.reg", L"QuarveloBak_H.bak", L"QuarveloBak_H\\Held.lnk",
        L"QuarveloBak_S.reg", L"RCBak_S.reg", L"QuarveloBak_S.bak", L"QuarveloBak_S\\S.lnk"}) {
    files.AddFile(folder + L"\\" + name, "x");
  }
  std::vector<BACKUP_ENTRY> backups;
  ASSERT_EQ(ListBackups(files, folder, &backups), kErrorSuccess);
  ASSERT_EQ(backups.size(), 8u);  // one row per .reg file
  std::unique_ptr<IFile> heldRegistryFile;
  std::unique_ptr<IFile> heldList;
  std::unique_ptr<IFile> heldShortcut;
  for (auto [name, held] : {std::pair{L"locked.reg", &heldRegistryFile},
                            std::pair{L"listlocked.bak", &heldList},
                            std::pair{L"QuarveloBak_H\\Held.lnk", &heldShortcut}}) {
    ASSERT_EQ(files.OpenFile(folder + L"\\" + name, FileOpenMode::kRead, FileShareMode::kDenyWrite,
                             held),
              kErrorSuccess);
  }

  test::CRecordingLog log;
  const BACKUP_DELETION deletion =
      DeleteBackups(files, folder,
                    {L"regonly", L"locked", L"listlocked", L"gone", L"..\\a", L"a", L"RCBak_T",
                     L"RCBak_H", L"QuarveloBak_S"},
                    &log);
  EXPECT_EQ(deletion.removed,
            (std::vector<std::wstring>{L"regonly", L"a", L"RCBak_T", L"QuarveloBak_S"}));
  ASSERT_EQ(deletion.failed.size(), 5u);
  EXPECT_EQ(deletion.failed[0].file, folder + L"\\locked.reg");
  EXPECT_EQ(deletion.failed[0].error, kErrorSharingViolation);
  EXPECT_EQ(deletion.failed[1].file, folder + L"\\listlocked.bak");
  EXPECT_EQ(deletion.failed[2].error, kErrorFileNotFound);
  EXPECT_EQ(deletion.failed[3].error, kErrorInvalidParameter);
  EXPECT_EQ(deletion.failed[4].file, folder + L"\\QuarveloBak_H\\Held.lnk");
  // Whatever stays is still listed under its backup's name: the registry file goes last.
  EXPECT_EQ(files.ListFolder(folder),
            (std::vector<std::wstring>{L"listlocked.bak", L"listlocked.reg", L"locked.bak",
                                       L"locked.reg", L"QuarveloBak_H", L"QuarveloBak_H.bak",
                                       L"QuarveloBak_S", L"QuarveloBak_S.bak", L"RCBak_H.reg",
                                       L"RCBak_S.reg"}));
  EXPECT_EQ(files.ListFolder(folder + L"\\QuarveloBak_S"), std::vector<std::wstring>{L"S.lnk"});
  EXPECT_EQ(log.entries,
            (std::vector<std::wstring>{L"Removed Backup file regonly", L"Removed Backup file a",
                                       L"Removed Backup file RCBak_T",
                                       L"Removed Backup file QuarveloBak_S",
                                       L"Succesfully, Selected Backup files has been deleted "}));
  EXPECT_EQ(BackupDeletionFailureText(deletion),
            L"These backup files could not be deleted:\n\n" + folder + L"\\locked.reg (error 32)\n" +
                folder + L"\\listlocked.bak (error 32)\n" + folder + L"\\gone.reg (error 2)\n" +
                L"..\\a (error 87)\n" + folder + L"\\QuarveloBak_H\\Held.lnk (error 32)");

  test::CRecordingLog none;
  const BACKUP_DELETION nothing = DeleteBackups(files, folder, {L"locked"}, &none);
  EXPECT_TRUE(nothing.removed.empty());
  EXPECT_TRUE(none.entries.empty());
  EXPECT_TRUE(BackupDeletionFailureText(DeleteBackups(files, folder, {}, nullptr)).empty());
}

}  // namespace
}  // namespace qv
