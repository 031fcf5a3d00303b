// Backups another account could have planted or steered: listed as not trusted with the reason,
// never merged, and their shortcuts never moved.
#include <gtest/gtest.h>

#include <string>

#include "platform/memory/memory_platform.h"
#include "repair/backup_file.h"
#include "repair/backup_list.h"
#include "repair/full_backup.h"
#include "state/state_texts.h"
#include "tests/support/memory_registry_editor.h"

namespace qv {
namespace {

constexpr wchar_t kFolder[] = L"C:\\ProgramData\\Quarvelo\\Backup";
constexpr wchar_t kName[] = L"RCBak_December_06_26_18_31_14";
constexpr wchar_t kCopy[] =
    L"C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_December_06_26_18_31_14\\A.lnk";
constexpr char kRegText[] =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Back]\r\n\"v\"=\"again\"\r\n";

enum class Plant { kNothing, kRegOwner, kRegLink, kListOwner, kCopyLink, kFolderOwner };

struct CASE {
  const char* name;
  Plant plant;
  const wchar_t* untrustedFile;  // as listed; null: trusted
  ErrorCode trust;
  ErrorCode restored;
  bool merged;
  bool copyMovedBack;
};

class BackupTrustTest : public ::testing::TestWithParam<CASE> {
 protected:
  BackupTrustTest() : editor(machine.registry(), machine.files()) {}
  CMemoryPlatform machine;
  test::CMemoryRegistryEditor editor;
};

TEST_P(BackupTrustTest, ListedWithTheReasonAndNeitherMergedNorMoved) {
  const CASE& c = GetParam();
  CMemoryFileSystem& files = machine.files();
  const std::wstring reg = std::wstring(kFolder) + L"\\" + kName + L".reg";
  const std::wstring list = ShortcutListForBackup(kFolder, kName);
  files.AddFile(reg, kRegText);
  files.AddFile(kCopy, "a");
  files.AddFolder(L"C:\\Desk");
  std::string line = "C:\\Desk\\A.lnk,";
  for (const wchar_t ch : std::wstring(kCopy)) line.push_back(static_cast<char>(ch));
  files.AddFile(list, line + "\r\n");
  switch (c.plant) {
    case Plant::kRegOwner: files.SetOwner(reg, FileOwner::kOther); break;
    case Plant::kRegLink: files.MarkReparsePoint(reg); break;
    case Plant::kListOwner: files.SetOwner(list, FileOwner::kOther); break;
    case Plant::kCopyLink: files.MarkReparsePoint(kCopy); break;
    case Plant::kFolderOwner: files.SetOwner(kFolder, FileOwner::kOther); break;
    case Plant::kNothing: break;
  }

  std::vector<BACKUP_ENTRY> backups;
  ASSERT_EQ(ListBackups(files, kFolder, &backups), kErrorSuccess);
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(backups[0].trust, c.trust);
  if (c.untrustedFile == nullptr) {
    EXPECT_EQ(BackupTrustText(backups[0]), L"");
  } else {
    const std::wstring file = std::wstring(kFolder) + c.untrustedFile;
    EXPECT_EQ(backups[0].untrustedFile, file);
    EXPECT_EQ(BackupTrustText(backups[0]),
              L"not trusted: " +
                  std::wstring((c.trust == kErrorInvalidOwner ? kUntrustedOwner
                                                              : kUntrustedReparsePoint)
                                   .english) +
                  L" (" + file + L")");
  }

  RESTORE_RESULT result;
  EXPECT_EQ(RestoreBackup(machine.platform(), editor, reg, list, &result), c.restored);
  EXPECT_EQ(editor.calls.size(), c.merged ? 1u : 0u);
  EXPECT_EQ(files.FileExists(L"C:\\Desk\\A.lnk"), c.copyMovedBack);
  EXPECT_EQ(files.FileExists(kCopy), !c.copyMovedBack) << "nothing of it is lost";
  EXPECT_EQ(files.FileExists(list), !c.copyMovedBack);
  const std::wstring text = RestoreFailureText(result);
  EXPECT_EQ(text.find(L"not trusted") != std::wstring::npos, c.restored != kErrorSuccess) << text;
}

// A folder that is not trusted makes every backup in it untrusted.
INSTANTIATE_TEST_SUITE_P(
    Plants, BackupTrustTest,
    ::testing::Values(
        CASE{"own", Plant::kNothing, nullptr, kErrorSuccess, kErrorSuccess, true, true},
        CASE{"planted_registry_file", Plant::kRegOwner, L"\\RCBak_December_06_26_18_31_14.reg",
             kErrorInvalidOwner, kErrorInvalidOwner, false, false},
        CASE{"registry_file_a_link", Plant::kRegLink, L"\\RCBak_December_06_26_18_31_14.reg",
             kErrorReparsePointEncountered, kErrorReparsePointEncountered, false, false},
        CASE{"planted_list_beside_a_real_backup", Plant::kListOwner,
             L"\\QuarveloBak_December_06_26_18_31_14.bak", kErrorInvalidOwner, kErrorInvalidOwner,
             true, false},
        CASE{"moved_copy_a_link", Plant::kCopyLink, nullptr, kErrorSuccess, kErrorCantWrite, true,
             false},
        CASE{"planted_folder", Plant::kFolderOwner, L"", kErrorInvalidOwner, kErrorInvalidOwner,
             false, false}),
    [](const ::testing::TestParamInfo<CASE>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace qv
