// Shortcuts on a machine that others share, under Wine: a shortcut's folder swapped for a Unix
// symbolic link after the scan is not moved through, a planted shortcut-list line moves nothing
// into the system folder, and a shortcut to a network share is never looked at.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16.h"
#include "engine/checks.h"
#include "engine/registry_cleaner.h"
#include "platform/win32/win32_platform.h"
#include "repair/backup_file.h"
#include "repair/backup_texts.h"
#include "repair/clean_sweep.h"
#include "repair/repair_driver.h"
#include "repair/shortcut_restore.h"
#include "state/data_folder.h"
#include "state/state_texts.h"
#include "tests/support/engine_fixture.h"
#include "tests/wine/hostile/unix_link.h"

namespace qv {
namespace {

constexpr wchar_t kRoot[] = L"C:\\QvHostile";

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << ToUtf8(path);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

using test::MakeUnixLink;

class HostileShortcutsTest : public ::testing::Test {
 protected:
  HostileShortcutsTest() : engine(system.platform(), problems, nullptr, nullptr) {
    engine.Prepare(AllCategories());
    CreateDirectoryW(kRoot, nullptr);
  }
  std::wstring Folder(const wchar_t* name) {
    const std::wstring path = std::wstring(kRoot) + L"\\" + name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
  }
  void MakeShortcut(const std::wstring& path, const std::wstring& target) {
    ASSERT_EQ(system.shell().CreateShortcut(path, {target, L"", L""}), kErrorSuccess)
        << ToUtf8(path);
  }
  std::vector<std::wstring> ProblemKeys() const {
    std::vector<std::wstring> keys;
    for (std::size_t i = 0; i < problems.size(); ++i) keys.push_back(problems.At(i)->key);
    return keys;
  }

  CWin32Platform system;
  CProblemList problems;
  CRegistryCleaner engine;
};

TEST_F(HostileShortcutsTest, AFolderThatBecameALinkAfterTheScanIsNotMovedThrough) {
  const std::wstring desk = Folder(L"Desk");
  const std::wstring plain = Folder(L"Plain");
  const std::wstring elsewhere = Folder(L"Elsewhere");
  MakeShortcut(desk + L"\\Gone.lnk", std::wstring(kRoot) + L"\\gone.exe");
  MakeShortcut(plain + L"\\Gone.lnk", std::wstring(kRoot) + L"\\gone.exe");
  WriteBytes(elsewhere + L"\\Gone.lnk", "somebody else's file");
  WalkShortcuts(engine, desk + L"\\*.*");
  WalkShortcuts(engine, plain + L"\\*.*");
  ASSERT_EQ(ProblemKeys(), (std::vector<std::wstring>{desk + L"\\Gone.lnk", plain + L"\\Gone.lnk"}));

  // After the scan the folder is swapped for a link to another one holding a file of that name.
  ASSERT_TRUE(MoveFileW(desk.c_str(), (desk + L".old").c_str()));
  MakeUnixLink(elsewhere, desk);

  CRepairBackups backups(system.platform());
  ASSERT_EQ(backups.OpenBackUpShrtctFile(), kErrorSuccess);
  CCleanSweep sweep(system.platform());
  sweep.SetLnkBackupFile(backups.ShortcutBackup());
  EXPECT_EQ(RepairByCategory(sweep, *problems.At(0)), kErrorStoppedOnSymlink);
  EXPECT_EQ(RepairByCategory(sweep, *problems.At(1)), kErrorSuccess);
  EXPECT_EQ(FileBytes(elsewhere + L"\\Gone.lnk"), "somebody else's file");
  EXPECT_TRUE(Exists(desk + L".old\\Gone.lnk"));
  EXPECT_FALSE(Exists(plain + L"\\Gone.lnk"));
  EXPECT_TRUE(Exists(backups.ShortcutFolderPath() + L"\\Gone.lnk"));
  EXPECT_EQ(backups.ShortcutBackup()->MovedCount(), 1u);
  EXPECT_EQ(backups.EndShortcutBackup(), kErrorSuccess);
}

TEST_F(HostileShortcutsTest, APlantedShortcutListLineMovesNothingIntoTheSystemFolder) {
  const std::wstring back = Folder(L"Back");
  MakeUnixLink(L"C:\\windows\\system32", std::wstring(kRoot) + L"\\Sys");
  const std::wstring folder =
      ProductDataFolder(system.shell(), system.files(), kBackupSubfolder) + L"\\QuarveloBak_Planted";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  WriteBytes(std::wstring(kRoot) + L"\\evil.lnk", "planted");
  WriteBytes(folder + L"\\qvplanted.dll", "planted");
  WriteBytes(folder + L"\\through.lnk", "planted");
  WriteBytes(folder + L"\\good.lnk", "ours");
  const std::wstring list = folder + L".bak";
  WriteBytes(list, ToUtf8(L"C:\\windows\\system32\\evil.lnk," + std::wstring(kRoot) + L"\\evil.lnk\r\n"
                          L"C:\\windows\\system32\\qvplanted.dll," + folder + L"\\qvplanted.dll\r\n" +
                          kRoot + L"\\Sys\\through.lnk," + folder + L"\\through.lnk\r\n" +
                          back + L"\\good.lnk," + folder + L"\\good.lnk\r\n"));

  SHORTCUT_RESTORE result;
  ASSERT_EQ(RestoreShortcuts(system.files(), list, &result), kErrorSuccess);
  EXPECT_EQ(result.moved, 1u);
  EXPECT_EQ(FileBytes(back + L"\\good.lnk"), "ours");
  ASSERT_EQ(result.leftAlone.size(), 3u);
  EXPECT_EQ(result.leftAlone[0].reason, kShortcutLineCopyElsewhere);
  EXPECT_EQ(result.leftAlone[1].reason, kShortcutLineNotShortcut);
  EXPECT_EQ(result.leftAlone[2].reason, kShortcutLineThroughLink);
  for (const wchar_t* name : {L"evil.lnk", L"qvplanted.dll", L"through.lnk"}) {
    EXPECT_FALSE(Exists(std::wstring(L"C:\\windows\\system32\\") + name)) << ToUtf8(name);
  }
  EXPECT_EQ(FileBytes(folder + L"\\through.lnk"), "planted");
  EXPECT_TRUE(Exists(list)) << "the list stays";
}

TEST_F(HostileShortcutsTest, AShortcutToANetworkShareIsNeitherLookedAtNorReported) {
  const std::wstring net = Folder(L"Net");
  const std::wstring share = L"\\\\qv-no-such-host\\share\\app.exe";
  MakeShortcut(net + L"\\Share.lnk", share);
  MakeShortcut(net + L"\\Local.lnk", std::wstring(kRoot) + L"\\gone.exe");
  SHORTCUT_INFO stored;
  ASSERT_EQ(system.shell().ReadShortcut(net + L"\\Share.lnk", &stored), kErrorSuccess);
  EXPECT_EQ(stored.target, share);
  WalkShortcuts(engine, net + L"\\*.*");
  EXPECT_EQ(ProblemKeys(), std::vector<std::wstring>{net + L"\\Local.lnk"});
}

}  // namespace
}  // namespace qv
