// Full backups and restores through the registry editor double: a backup file is deleted only
// once its merge is confirmed in the registry, and a repair's shortcuts come back with it.
#include "repair/full_backup.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/memory/memory_platform.h"
#include "base/utf16.h"
#include "repair/backup_file.h"
#include "repair/backup_list.h"
#include "tests/support/memory_registry_editor.h"

namespace qv {
namespace {

constexpr wchar_t kFolder[] = L"C:\\ProgramData\\Quarvelo\\Backup";

class FullBackupTest : public ::testing::Test {
 protected:
  FullBackupTest() : editor(machine.registry(), machine.files()) {
    machine.clock().SetNow(1796581874);  // 2026-12-06 18:31:14
  }
  CMemoryPlatform machine;
  test::CMemoryRegistryEditor editor;
};

TEST_F(FullBackupTest, TheWholeRegistryGoesIntoATimeNamedFile) {
  machine.registry().SetString(L"HKCU\\Software\\Kept", L"v", L"1");
  std::wstring path;
  ASSERT_EQ(RunFullBackup(machine.platform(), editor, &path), kErrorSuccess);
  EXPECT_EQ(path, std::wstring(kFolder) + L"\\QuarveloBak_December_06_26_18_31_14.reg");
  ASSERT_EQ(editor.calls.size(), 1u);
  EXPECT_FALSE(editor.calls[0].merge);
  EXPECT_TRUE(machine.files().FileExists(path));
  // An editor that writes nothing is no backup.
  editor.behaviour = test::EditorBehaviour::kNothing;
  EXPECT_EQ(RunFullBackup(machine.platform(), editor, &path), kErrorFileNotFound);
}

TEST_F(FullBackupTest, ARestoreDeletesTheFileOnlyWhenTheMergeIsConfirmed) {
  const std::wstring reg = std::wstring(kFolder) + L"\\RCBak_December_06_26_18_31_14.reg";
  const std::wstring list = ShortcutListForBackup(kFolder, L"RCBak_December_06_26_18_31_14");
  const std::string text =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Back]\r\n\"v\"=\"again\"\r\n";
  machine.files().AddFile(reg, text);
  machine.files().AddFile(std::wstring(kFolder) + L"\\QuarveloBak_December_06_26_18_31_14\\A.lnk",
                          "a");
  machine.files().AddFolder(L"C:\\Desk");
  machine.files().AddFile(list, "C:\\Desk\\A.lnk," + std::string("C:\\ProgramData\\Quarvelo\\Backup\\"
                                "QuarveloBak_December_06_26_18_31_14\\A.lnk\r\n"));

  // The editor ends without merging (as Wine's does with a file it rejects): the file stays.
  editor.behaviour = test::EditorBehaviour::kNothing;
  RESTORE_RESULT result;
  EXPECT_EQ(RestoreBackup(machine.platform(), editor, reg, list, &result), kErrorCantWrite);
  EXPECT_TRUE(result.registryFileFound);
  EXPECT_FALSE(result.registryFileDeleted);
  EXPECT_TRUE(machine.files().FileExists(reg));
  EXPECT_EQ(result.mismatch.key, L"HKEY_CURRENT_USER\\Software\\Back");
  // The shortcuts came back all the same.
  EXPECT_EQ(result.moved.moved, 1u);
  EXPECT_EQ(machine.files().ReadFile(L"C:\\Desk\\A.lnk"), "a");

  editor.behaviour = test::EditorBehaviour::kApply;
  EXPECT_EQ(RestoreBackup(machine.platform(), editor, reg, list, &result), kErrorSuccess);
  EXPECT_TRUE(result.registryFileDeleted);
  EXPECT_FALSE(result.shortcutListFound);  // gone with the first restore
  EXPECT_FALSE(machine.files().FileExists(reg));
  EXPECT_EQ(machine.registry().GetString(L"HKCU\\Software\\Back", L"v"), L"again");
}

// A restore that merged the registry but could not bring every shortcut back keeps the backup
// listed; tried again it merges nothing a second time and takes shortcuts already back as done.
// One without its registry file is a failure.
TEST_F(FullBackupTest, AnUnfinishedRestoreStaysListedAndCanBeTriedAgain) {
  const std::wstring name = L"RCBak_December_06_26_18_31_14";
  const std::wstring reg = std::wstring(kFolder) + L"\\" + name + L".reg";
  const std::wstring list = ShortcutListForBackup(kFolder, name);
  const std::wstring moved = std::wstring(kFolder) + L"\\QuarveloBak_December_06_26_18_31_14";
  machine.files().AddFile(
      reg, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Back]\r\n\"v\"=\"again\"\r\n");
  machine.files().AddFile(moved + L"\\A.lnk", "a");
  machine.files().AddFile(moved + L"\\B.lnk", "b");
  machine.files().AddFile(L"C:\\Desk\\B.lnk", "in the way");
  machine.files().AddFile(list, ToUtf8(L"C:\\Desk\\A.lnk," + moved +
                                       L"\\A.lnk\r\nC:\\Desk\\B.lnk," + moved + L"\\B.lnk\r\n"));
  const auto listed = [&] {
    std::vector<BACKUP_ENTRY> backups;
    EXPECT_EQ(ListBackups(machine.files(), kFolder, &backups), kErrorSuccess);
    return backups.size() == 1 && backups[0].name == name;
  };

  RESTORE_RESULT result;
  EXPECT_NE(RestoreBackup(machine.platform(), editor, reg, list, &result), kErrorSuccess);
  EXPECT_EQ(machine.registry().GetString(L"HKCU\\Software\\Back", L"v"), L"again");
  EXPECT_EQ(machine.files().ReadFile(L"C:\\Desk\\A.lnk"), "a");
  EXPECT_TRUE(listed());
  EXPECT_TRUE(machine.files().FileExists(moved + L"\\B.lnk"));
  EXPECT_EQ(RestoreFailureText(result),
            L"The backup could not be restored completely.\n\nThe registry was merged back.\n\n1 "
            L"shortcut could not be moved back (a file is in its place, or it cannot be moved): it "
            L"is in " + moved +
                L". The backup stays listed: restore it again once it can go back.");

  // Meanwhile the value changes and the way is cleared: only the shortcut comes back.
  machine.registry().SetString(L"HKCU\\Software\\Back", L"v", L"changed");
  ASSERT_EQ(machine.files().RemoveFile(L"C:\\Desk\\B.lnk"), kErrorSuccess);
  EXPECT_EQ(RestoreBackup(machine.platform(), editor, reg, list, &result), kErrorSuccess);
  EXPECT_EQ(machine.registry().GetString(L"HKCU\\Software\\Back", L"v"), L"changed");
  EXPECT_EQ(machine.files().ReadFile(L"C:\\Desk\\B.lnk"), "b");
  EXPECT_FALSE(listed());
  for (const std::wstring& gone : {reg, list, moved}) {
    EXPECT_FALSE(machine.files().FileExists(gone));
  }
  EXPECT_TRUE(RestoreFailureText(result).empty());

  // Its registry file gone, a backup is not restored, whatever else is there.
  machine.files().AddFile(list, "");
  EXPECT_EQ(RestoreBackup(machine.platform(), editor, reg, list, &result), kErrorFileNotFound);
  EXPECT_NE(RestoreFailureText(result).find(L"Its registry file " + reg + L" is missing"),
            std::wstring::npos);
}

}  // namespace
}  // namespace qv
