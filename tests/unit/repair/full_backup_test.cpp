// Full backups and restores through the registry editor double: a backup file is deleted only
// once its merge is confirmed in the registry, and a repair's shortcuts come back with it.
#include "repair/full_backup.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/memory/memory_platform.h"
#include "repair/backup_file.h"
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

}  // namespace
}  // namespace qv
