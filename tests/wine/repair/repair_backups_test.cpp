// The backup files of a repair on the real system: the product data folder, names from the local
// time, the system code page with CR LF, real file moves and the end-of-repair clean-up.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_platform.h"
#include "repair/backup_file.h"

namespace qv {
namespace {

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return bytes;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring CommonAppData() {
  std::wstring folder;
  CWin32Shell shell;
  EXPECT_EQ(shell.GetFolderPath(kCsidlCommonAppData, &folder), kErrorSuccess);
  return folder;
}

TEST(RepairBackupsOnWindows, CodePageFilesInTheBackupFolderAndRealMoves) {
  CWin32Platform machine;
  const std::wstring folder = CommonAppData() + L"\\Quarvelo\\Backup";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QuarveloRepairBackups", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t text[] = L"caf\u00e9";
  ASSERT_EQ(RegSetValueExW(key, L"n\u00e9", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           sizeof text),
            ERROR_SUCCESS);
  RegCloseKey(key);
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring shortcut = std::wstring(temp) + L"Old \u00e9.lnk";
  HANDLE file = CreateFileW(shortcut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);

  std::wstring registryPath;
  std::wstring listPath;
  std::wstring shortcutFolder;
  {
    CRepairBackups backups(machine.platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    ASSERT_EQ(backups.OpenBackUpShrtctFile(), kErrorSuccess);
    registryPath = backups.RegistryFilePath();
    listPath = backups.ShortcutListPath();
    shortcutFolder = backups.ShortcutFolderPath();
    EXPECT_EQ(registryPath.rfind(folder + L"\\RCBak_", 0), 0u);
    EXPECT_EQ(shortcutFolder.rfind(folder + L"\\QuarveloBak_", 0), 0u);
    EXPECT_EQ(listPath, shortcutFolder + L".bak");
    ASSERT_EQ(BackupKey(machine.registry(), kHkeyCurrentUser, L"Software\\QuarveloRepairBackups",
                        backups.RegistryFile()),
              kErrorSuccess);
    ASSERT_EQ(MoveShortcutToBackup(machine.files(), shortcut, *backups.ShortcutBackup()),
              kErrorSuccess);
    ASSERT_EQ(backups.EndShortcutBackup(), kErrorSuccess);
    ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
  }
  // Wine reports Windows 7: the older header; the code page is 1252 (é is one byte, E9).
  EXPECT_EQ(ReadBytes(registryPath),
            "REGEDIT4\r\n\r\n\r\n[HKEY_CURRENT_USER\\Software\\QuarveloRepairBackups]\r\n"
            "\"n\xE9\"=\"caf\xE9\"\r\n");
  const std::string moved = "\\Old \xE9.lnk";
  std::string narrowFolder;
  for (const wchar_t c : shortcutFolder) narrowFolder.push_back(static_cast<char>(c));
  std::string narrowShortcut;
  for (const wchar_t c : shortcut) narrowShortcut.push_back(static_cast<char>(c));
  EXPECT_EQ(ReadBytes(listPath), narrowShortcut + "," + narrowFolder + moved + "\r\n");
  EXPECT_FALSE(Exists(shortcut));
  EXPECT_TRUE(Exists(shortcutFolder + L"\\Old \u00e9.lnk"));
  ASSERT_TRUE(MoveFileW((shortcutFolder + L"\\Old \u00e9.lnk").c_str(), shortcut.c_str()));
  ASSERT_TRUE(DeleteFileW(listPath.c_str()));
  ASSERT_TRUE(RemoveDirectoryW(shortcutFolder.c_str()));
  ASSERT_TRUE(DeleteFileW(registryPath.c_str()));

  // A repair that fixed nothing leaves nothing behind.
  {
    CRepairBackups backups(machine.platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    ASSERT_EQ(backups.OpenBackUpShrtctFile(), kErrorSuccess);
    registryPath = backups.RegistryFilePath();
    shortcutFolder = backups.ShortcutFolderPath();
    EXPECT_TRUE(Exists(shortcutFolder));
    ASSERT_EQ(backups.EndShortcutBackup(), kErrorSuccess);
    ASSERT_EQ(backups.EndRegistryBackup(0), kErrorSuccess);
  }
  EXPECT_FALSE(Exists(registryPath));
  EXPECT_FALSE(Exists(shortcutFolder));
  EXPECT_FALSE(Exists(shortcutFolder + L".bak"));
  DeleteFileW(shortcut.c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuarveloRepairBackups");
}

}  // namespace
}  // namespace qv
