// The repair worker on the in-memory platform: nothing is deleted before its backup is on disk,
// nothing outside its category's root, and never a root, a hive or a container of the checks.
#include "repair/clean_sweep.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/memory/memory_platform.h"
#include "repair/backup_file.h"
#include "repair/key_delete.h"
#include "tests/support/forwarding_file_system.h"

namespace qv {
namespace {

constexpr wchar_t kBackupPath[] = L"C:\\ProgramData\\Quarvelo\\Backup\\RCBak_test.reg";

class CleanSweepTest : public ::testing::Test {
 protected:
  CleanSweepTest() : sweep(machine.platform()) {
    machine.files().AddFolder(L"C:\\ProgramData\\Quarvelo\\Backup");
  }
  void OpenBackup() {
    ASSERT_EQ(CBackupFile::Create(machine.files(), kBackupPath, L"", &backup), kErrorSuccess);
    sweep.SetRegBackupFile(backup.get());
  }
  std::string BackupText() {
    EXPECT_EQ(backup->Flush(), kErrorSuccess);
    return machine.files().ReadFile(kBackupPath).value_or("<none>");
  }
  CMemoryRegistry& registry() { return machine.registry(); }

  CMemoryPlatform machine;
  CCleanSweep sweep;
  std::unique_ptr<CBackupFile> backup;
};

TEST_F(CleanSweepTest, AKeyAndAValueGoOnlyAfterTheirBackupIsWritten) {
  registry().SetString(L"HKCR\\CLSID\\{1}\\InprocServer32", L"", L"C:\\gone.dll");
  registry().SetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP", L"a.hlp", L"C:\\gone");
  registry().SetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP", L"keep.hlp", L"C:\\here");

  // Without a backup file nothing is touched.
  EXPECT_EQ(sweep.CleanKey(kHkeyClassesRoot, L"HKEY_CLASSES_ROOT\\CLSID\\{1}"), kErrorNoBackupFile);
  EXPECT_EQ(sweep.CleanValue(kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\HELP", L"a.hlp"),
            kErrorNoBackupFile);
  EXPECT_TRUE(registry().KeyExists(L"HKCR\\CLSID\\{1}\\InprocServer32"));
  EXPECT_TRUE(registry().GetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP", L"a.hlp"));

  OpenBackup();
  EXPECT_EQ(sweep.CleanKey(kHkeyClassesRoot, L"HKEY_CLASSES_ROOT\\CLSID\\{1}"), kErrorSuccess);
  EXPECT_EQ(sweep.CleanValue(kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\HELP", L"a.hlp"),
            kErrorSuccess);
  EXPECT_FALSE(registry().KeyExists(L"HKCR\\CLSID\\{1}"));
  EXPECT_FALSE(registry().GetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP", L"a.hlp"));
  EXPECT_EQ(registry().GetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP", L"keep.hlp"),
            L"C:\\here");
  EXPECT_EQ(sweep.DeletedCount(), 3u);  // the key, its subkey and the value
  const std::string text = BackupText();
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32]"), std::string::npos);
  EXPECT_NE(text.find("\"a.hlp\"=\"C:\\\\gone\""), std::string::npos);

  // Gone already: 2, which the repair takes as done.
  EXPECT_EQ(sweep.CleanKey(kHkeyClassesRoot, L"CLSID\\{1}"), kErrorFileNotFound);
  EXPECT_EQ(sweep.CleanValue(kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\HELP", L"a.hlp"),
            kErrorFileNotFound);
}

// A name holding a NUL cannot be named through the registry calls: cut at the NUL it would be
// the healthy value or key of the shorter name. Such a value is neither backed up nor deleted, a
// tree holding such a name is not taken as backed up, and a tree deeper than 512 levels neither.
TEST_F(CleanSweepTest, NulNamesAndTreesTooDeepAreNeitherBackedUpNorDeleted) {
  OpenBackup();
  const std::wstring key = L"HKCU\\Software\\Vendor\\T";
  const std::wstring hostile(L"v\0x", 3);
  registry().SetString(key, L"v", L"healthy");
  registry().SetString(key, hostile, L"C:\\gone.exe");
  registry().CreatePath(L"HKCU\\Software\\Vendor\\N\\" + std::wstring(L"\0evil", 5));
  std::wstring deep = L"Software\\Vendor\\Deep";
  for (int level = 0; level < kMaxRegistryDepth; ++level) deep += L"\\k";
  registry().CreatePath(L"HKCU\\" + deep);

  const struct {
    const char* label;
    ErrorCode result;
    ErrorCode expected;
  } cases[] = {
      {"NUL value", sweep.CleanValue(kHkeyCurrentUser, L"Software\\Vendor\\T", hostile),
       kErrorInvalidParameter},
      {"NUL key path",
       sweep.CleanKey(kHkeyCurrentUser, L"Software\\Vendor\\N\\" + std::wstring(L"\0evil", 5)),
       kErrorInvalidParameter},
      {"tree with a NUL value", sweep.CleanKey(kHkeyCurrentUser, L"Software\\Vendor\\T"),
       kErrorInvalidData},
      {"tree with a NUL key", sweep.CleanKey(kHkeyCurrentUser, L"Software\\Vendor\\N"),
       kErrorInvalidData},
      {"tree too deep", sweep.CleanKey(kHkeyCurrentUser, L"Software\\Vendor\\Deep"),
       kErrorStackOverflow},
      {"tree delete too deep", DeleteKeyTree(registry(), kHkeyCurrentUser, L"Software\\Vendor\\Deep"),
       kErrorStackOverflow},
  };
  for (const auto& c : cases) EXPECT_EQ(c.result, c.expected) << c.label;
  EXPECT_EQ(registry().GetString(key, L"v"), L"healthy");
  EXPECT_EQ(registry().GetString(key, hostile), L"C:\\gone.exe");
  EXPECT_EQ(registry().SubkeyNames(L"HKCU\\Software\\Vendor\\N"),
            std::vector<std::wstring>{std::wstring(L"\0evil", 5)});
  EXPECT_TRUE(registry().KeyExists(L"HKCU\\" + deep));
  EXPECT_EQ(sweep.DeletedCount(), 0u);
}

TEST_F(CleanSweepTest, TheRootRules) {
  OpenBackup();
  registry().SetString(L"HKCU\\Software\\Vendor\\App", L"v", L"1");
  // A key or value under another root than the category's: 6, nothing touched (never 2, which
  // the repair would take for an entry already gone).
  EXPECT_EQ(sweep.CleanKey(kHkeyLocalMachine, L"HKEY_CURRENT_USER\\Software\\Vendor\\App"),
            kErrorInvalidHandle);
  EXPECT_EQ(sweep.CleanValue(kHkeyLocalMachine, L"HKCU\\Software\\Vendor\\App", L"v"),
            kErrorInvalidHandle);
  // No root at all for a value: 6; the root the path names when the category gives none.
  EXPECT_EQ(sweep.CleanValue(kNullRegHandle, L"Software\\Vendor\\App", L"v"), kErrorInvalidHandle);
  EXPECT_TRUE(registry().GetString(L"HKCU\\Software\\Vendor\\App", L"v"));
  EXPECT_EQ(sweep.CleanValue(kNullRegHandle, L"HKCU\\Software\\Vendor\\App", L"v"), kErrorSuccess);
  EXPECT_FALSE(registry().GetString(L"HKCU\\Software\\Vendor\\App", L"v"));
}

TEST_F(CleanSweepTest, RootsHivesAndContainersAreNeverDeleted) {
  OpenBackup();
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  registry().SetString(L"HKLM\\" + run, L"x", L"1");
  registry().SetString(L"HKU\\S-1-5-21-1\\" + run, L"x", L"1");
  registry().CreatePath(L"HKU\\S-1-5-21-1_Classes\\CLSID\\{2}");
  registry().CreatePath(L"HKLM\\SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{3}");
  registry().CreatePath(L"HKCR\\.gone");
  struct CASE {
    RegHandle root;
    std::wstring key;
  };
  for (const CASE& c : {CASE{kHkeyUsers, L"HKEY_USERS"}, CASE{kHkeyUsers, L"S-1-5-21-1"},
                        CASE{kHkeyUsers, L"HKU\\S-1-5-21-1\\"}, CASE{kHkeyLocalMachine, L"SOFTWARE"},
                        CASE{kHkeyLocalMachine, L"HKLM\\" + run},
                        CASE{kHkeyUsers, L"S-1-5-21-1\\" + run + L"\\"},
                        CASE{kHkeyUsers, L"S-1-5-21-1_Classes\\clsid"},
                        CASE{kHkeyLocalMachine, L"SOFTWARE\\Wow6432Node\\Classes\\CLSID"},
                        CASE{kHkeyClassesRoot, L"CLSID"}, CASE{kHkeyClassesRoot, L"AppID"},
                        CASE{kHkeyClassesRoot, L"HKCR\\"}}) {
    EXPECT_EQ(sweep.CleanKey(c.root, c.key), kErrorProtectedKey) << ToUtf8(c.key);
  }
  EXPECT_TRUE(registry().GetString(L"HKLM\\" + run, L"x"));
  EXPECT_TRUE(registry().GetString(L"HKU\\S-1-5-21-1\\" + run, L"x"));
  EXPECT_EQ(sweep.DeletedCount(), 0u);
  // What lies inside them goes.
  EXPECT_EQ(sweep.CleanKey(kHkeyUsers, L"S-1-5-21-1_Classes\\CLSID\\{2}"), kErrorSuccess);
  EXPECT_EQ(sweep.CleanKey(kHkeyLocalMachine, L"SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{3}"),
            kErrorSuccess);
  // The classes view has no hives: an extension directly below it is an entry like any other.
  EXPECT_EQ(sweep.CleanKey(kHkeyClassesRoot, L"HKEY_CLASSES_ROOT\\.gone"), kErrorSuccess);
}

TEST_F(CleanSweepTest, WhatTheBackupRefusesIsNotDeleted) {
  OpenBackup();
  registry().SetString(L"HKCU\\Software\\Odd\\Line", L"a\nb", L"x");
  registry().CreatePath(L"HKCU\\Software\\Linked");
  registry().CreateLink(L"HKCU\\Software\\Linked\\Link", L"HKLM\\Software\\Target");
  registry().SetString(L"HKLM\\Software\\Target", L"keep", L"me");
  EXPECT_EQ(sweep.CleanKey(kHkeyCurrentUser, L"Software\\Odd"), kErrorInvalidData);
  EXPECT_EQ(sweep.CleanValue(kHkeyCurrentUser, L"Software\\Odd\\Line", L"a\nb"), kErrorInvalidData);
  EXPECT_EQ(sweep.CleanKey(kHkeyCurrentUser, L"Software\\Linked"), kErrorReparsePointEncountered);
  // A value is deleted through its key opened no-follow: never the link's target's value.
  EXPECT_EQ(sweep.CleanValue(kHkeyCurrentUser, L"Software\\Linked\\Link", L"keep"),
            kErrorReparsePointEncountered);
  EXPECT_TRUE(registry().GetString(L"HKCU\\Software\\Odd\\Line", L"a\nb"));
  EXPECT_TRUE(registry().KeyExists(L"HKCU\\Software\\Linked"));
  EXPECT_EQ(registry().GetString(L"HKLM\\Software\\Target", L"keep"), L"me");
  EXPECT_EQ(BackupText().find("keep"), std::string::npos);
  EXPECT_EQ(sweep.DeletedCount(), 0u);
  for (ErrorCode e : {kErrorInvalidData, kErrorReparsePointEncountered, kErrorProtectedKey,
                      kErrorNoBackupFile, kErrorStoppedOnSymlink}) {
    EXPECT_FALSE(RepairFailureReason(e).empty());
    EXPECT_EQ(RepairFailureReason(e).find(L"error"), std::wstring::npos) << e;
  }
}

TEST_F(CleanSweepTest, ShortcutsAreMovedIntoTheRepairsFolder) {
  machine.files().AddFile(L"C:\\users\\user\\Desktop\\Old.lnk", "lnk");
  EXPECT_EQ(sweep.MoveShortcut(L"C:\\users\\user\\Desktop\\Old.lnk"), kErrorNoBackupFile);
  std::unique_ptr<CShortcutBackup> shortcuts;
  ASSERT_EQ(CShortcutBackup::Create(machine.files(), L"C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x",
                                    &shortcuts),
            kErrorSuccess);
  sweep.SetLnkBackupFile(shortcuts.get());
  EXPECT_EQ(sweep.MoveShortcut(L"C:\\users\\user\\Desktop\\Old.lnk"), kErrorSuccess);
  EXPECT_FALSE(machine.files().FileExists(L"C:\\users\\user\\Desktop\\Old.lnk"));
  EXPECT_EQ(machine.files().ReadFile(L"C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x\\Old.lnk"),
            "lnk");
  // Only from the path the scan found: a folder on its way that is now a link into the system
  // folder, or a path that is no plain drive path, moves nothing.
  machine.files().AddFile(L"C:\\Windows\\System32\\Victim.lnk", "victim");
  machine.files().MakeLink(L"C:\\users\\user\\Links", L"C:\\Windows\\System32");
  EXPECT_EQ(sweep.MoveShortcut(L"C:\\users\\user\\Links\\Victim.lnk"), kErrorStoppedOnSymlink);
  EXPECT_EQ(sweep.MoveShortcut(L"C:\\users\\user\\x\\..\\Links\\Victim.lnk"), kErrorBadPathname);
  EXPECT_EQ(machine.files().ReadFile(L"C:\\Windows\\System32\\Victim.lnk"), "victim");
  EXPECT_EQ(machine.files().ListFolder(L"C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x"),
            std::vector<std::wstring>{L"Old.lnk"});
  EXPECT_EQ(shortcuts->MovedCount(), 1u);
}

// A file system whose deletions fail, so what an overwrite left can be read afterwards.
class CUndeletableFiles final : public test::CForwardingFileSystem {
 public:
  using CForwardingFileSystem::CForwardingFileSystem;
  ErrorCode RemoveFile(std::wstring_view) override { return kErrorAccessDenied; }
};

TEST_F(CleanSweepTest, CleanFileOverwritesWholeBlocksAndDeletesOnlyAFileNoOneElseHasOpen) {
  const std::string content(2500, 'a');
  machine.files().AddFile(L"C:\\old.pif", content);
  EXPECT_EQ(sweep.CleanFile(L"C:\\old.pif", 0), kErrorSuccess);
  EXPECT_FALSE(machine.files().FileExists(L"C:\\old.pif"));
  EXPECT_EQ(sweep.DeletedFiles(), 1u);
  EXPECT_EQ(sweep.DeletedFileBytes(), 2500u);

  // Held open by another program: left alone, not counted.
  machine.files().AddFile(L"C:\\held.pif", content);
  std::unique_ptr<IFile> holder;
  ASSERT_EQ(machine.files().OpenFile(L"C:\\held.pif", FileOpenMode::kAppend,
                                     FileShareMode::kShareAll, &holder),
            kErrorSuccess);
  EXPECT_EQ(sweep.CleanFile(L"C:\\held.pif", 1), kErrorSharingViolation);
  EXPECT_EQ(machine.files().ReadFile(L"C:\\held.pif"), content);
  EXPECT_EQ(sweep.CleanFile(L"C:\\none.pif", 1), kErrorFileNotFound);
  EXPECT_EQ(sweep.DeletedFiles(), 1u);

  // The passes cover the two whole blocks with one byte value; the 452 bytes after them stay.
  machine.files().AddFile(L"C:\\kept.pif", content);
  CUndeletableFiles files(machine.files());
  CCleanSweep stuck(CPlatform{machine.registry(), files, machine.shell(), machine.clock()});
  EXPECT_EQ(stuck.CleanFile(L"C:\\kept.pif", 2), kErrorAccessDenied);
  const std::string left = machine.files().ReadFile(L"C:\\kept.pif").value_or("");
  ASSERT_EQ(left.size(), content.size());
  EXPECT_EQ(left.substr(2048), std::string(452, 'a'));
  EXPECT_EQ(left.substr(0, 2048), std::string(2048, left[0]));
  EXPECT_EQ(stuck.DeletedFiles(), 0u);
}

}  // namespace
}  // namespace qv
