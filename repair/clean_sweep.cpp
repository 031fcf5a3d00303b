#include "repair/clean_sweep.h"

#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/text_case.h"
#include "engine/checks.h"
#include "engine/key_naming.h"
#include "repair/key_delete.h"
#include "repair/repair_texts.h"

namespace qv {
namespace {

constexpr std::wstring_view kWow64Level = L"Wow6432Node";
constexpr std::wstring_view kClassesLevel = L"Software\\Classes";
constexpr std::wstring_view kUserClassesSuffix = L"_Classes";

// The levels of a subkey path, without empty ones (a trailing or doubled backslash) and without
// Wow6432Node levels, each upper-cased.
std::vector<std::wstring> Levels(std::wstring_view subkey) {
  std::vector<std::wstring> levels;
  std::size_t start = 0;
  while (start <= subkey.size()) {
    std::size_t end = subkey.find(L'\\', start);
    if (end == std::wstring_view::npos) end = subkey.size();
    const std::wstring_view level = subkey.substr(start, end - start);
    if (!level.empty() && !EqualsNoCase(level, kWow64Level)) levels.push_back(ToUpper(level));
    start = end + 1;
  }
  return levels;
}

bool StartsWithLevels(const std::vector<std::wstring>& levels, std::size_t from,
                      std::wstring_view prefix, std::size_t* next) {
  const std::vector<std::wstring> wanted = Levels(prefix);
  if (levels.size() < from + wanted.size()) return false;
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    if (levels[from + i] != wanted[i]) return false;
  }
  *next = from + wanted.size();
  return true;
}

bool SameLevels(const std::vector<std::wstring>& levels, std::size_t from, std::wstring_view path) {
  std::size_t next = 0;
  return StartsWithLevels(levels, from, path, &next) && next == levels.size();
}

// The containers below a classes view (HKEY_CLASSES_ROOT, Software\Classes, a user's _Classes).
bool IsClassesContainer(const std::vector<std::wstring>& levels, std::size_t from) {
  return SameLevels(levels, from, kClsidKey) || SameLevels(levels, from, kAppIdKey);
}

// The containers below a software root (HKEY_LOCAL_MACHINE or a user's hive).
bool IsSoftwareContainer(const std::vector<std::wstring>& levels, std::size_t from) {
  static constexpr std::array<std::wstring_view, 11> kContainers = {
      kUninstallKey, kAppPathsKey, kRunKey,      kSharedDllsKey, kFontsKey,     kHelpKey,
      kHtmlHelpKey,  kMenuOrderKey, kMenuOrder2Key, kShellFoldersKey, kUserShellFoldersKey};
  for (std::wstring_view container : kContainers) {
    if (SameLevels(levels, from, container)) return true;
  }
  std::size_t next = 0;
  return StartsWithLevels(levels, from, kClassesLevel, &next) && IsClassesContainer(levels, next);
}

}  // namespace

bool IsProtectedKey(RegHandle root, std::wstring_view subkey) {
  const std::vector<std::wstring> levels = Levels(subkey);
  if (levels.empty()) return true;  // the root itself
  // The classes view has no hives: its first level holds the extensions and program ids that a
  // file-association repair removes.
  if (root == kHkeyClassesRoot) return IsClassesContainer(levels, 0);
  // A hive directly below any other root.
  if (levels.size() < 2) return true;
  if (root == kHkeyLocalMachine || root == kHkeyCurrentUser) return IsSoftwareContainer(levels, 0);
  if (root == kHkeyUsers) {
    const std::wstring& hive = levels[0];
    const std::wstring suffix = ToUpper(kUserClassesSuffix);
    if (hive.size() > suffix.size() && hive.ends_with(suffix)) return IsClassesContainer(levels, 1);
    return IsSoftwareContainer(levels, 1);
  }
  return false;
}

ErrorCode CCleanSweep::CleanKey(RegHandle categoryRoot, std::wstring_view keyPath) {
  // A path cut at a NUL character would be another key (see HasNulCharacter).
  if (HasNulCharacter(keyPath)) return kErrorInvalidParameter;
  std::wstring_view path = keyPath;
  const PARSED_KEY_PATH parsed = ParseRootKey(keyPath);
  if (parsed.root != kNullRegHandle) {
    if (parsed.root != categoryRoot) return kErrorInvalidHandle;
    path = SubkeyPath(keyPath, parsed);
  }
  if (IsProtectedKey(categoryRoot, path)) return kErrorProtectedKey;

  CBackupFile* backup = m_targets.RegBackupFile();
  if (backup == nullptr && m_backupRequired) return kErrorNoBackupFile;
  if (backup != nullptr) {
    // Nothing is deleted unless the whole tree is on disk first (a tree that is gone already
    // gives the open's kErrorFileNotFound here).
    const ErrorCode backedUp = BackupKey(m_platform.registry, categoryRoot, path, backup);
    if (backedUp != kErrorSuccess) return backedUp;
  }
  return DeleteKeyTree(m_platform.registry, categoryRoot, path, &m_deleted);
}

ErrorCode CCleanSweep::CleanValue(RegHandle categoryRoot, std::wstring_view keyPath,
                                  std::wstring_view valueName) {
  // A name cut at a NUL character would be another value, maybe a healthy one of the shorter
  // name: neither backed up nor deleted.
  if (HasNulCharacter(keyPath) || HasNulCharacter(valueName)) return kErrorInvalidParameter;
  const PARSED_KEY_PATH parsed = ParseRootKey(keyPath);
  if (categoryRoot == kNullRegHandle && parsed.root == kNullRegHandle) return kErrorInvalidHandle;
  if (categoryRoot != kNullRegHandle && parsed.root != kNullRegHandle &&
      categoryRoot != parsed.root) {
    return kErrorInvalidHandle;
  }
  const RegHandle root = categoryRoot != kNullRegHandle ? categoryRoot : parsed.root;
  const std::wstring_view path =
      parsed.root != kNullRegHandle ? SubkeyPath(keyPath, parsed) : keyPath;

  CBackupFile* backup = m_targets.RegBackupFile();
  if (backup == nullptr && m_backupRequired) return kErrorNoBackupFile;
  // The key itself, never a link's target: a key that is (or became) a link is refused before
  // anything is written or deleted, and the value is deleted through this very handle.
  CRegKey key(m_platform.registry);
  const ErrorCode opened = key.OpenNoFollow(root, path, kKeyQueryValue | kKeySetValue);
  if (opened != kErrorSuccess) return opened;
  bool isLink = false;
  const ErrorCode checked = key.IsLink(&isLink);
  if (checked != kErrorSuccess) return checked;
  if (isLink) return kErrorReparsePointEncountered;
  if (backup != nullptr) {
    const ErrorCode backedUp = BackupValue(m_platform.registry, root, path, valueName, backup);
    if (backedUp != kErrorSuccess) return backedUp;
  }
  const ErrorCode deleted = m_platform.registry.DeleteValue(key.get(), valueName);
  if (deleted == kErrorSuccess) ++m_deleted;
  return deleted;
}

ErrorCode CCleanSweep::CleanFile(std::wstring_view path, int passes) {
  IFileSystem& files = m_platform.files;
  std::unique_ptr<IFile> file;
  ErrorCode rc = files.OpenFile(path, FileOpenMode::kRead, FileShareMode::kShareAll, &file);
  if (rc != kErrorSuccess) return rc;
  file.reset();
  rc = files.OpenFile(path, FileOpenMode::kOverwrite, FileShareMode::kDenyWrite, &file);
  if (rc != kErrorSuccess) return rc;
  file.reset();
  std::vector<CFindData> found;
  rc = files.FindFiles(path, &found);
  if (rc != kErrorSuccess) return rc;
  const std::uint64_t length = found.empty() ? 0 : found.front().size;

  std::minstd_rand random(static_cast<std::uint32_t>(m_platform.clock.Now()));
  const std::uint64_t blocks = length / kCleanFileBlockBytes;
  for (int pass = 0; pass < passes; ++pass) {
    const std::array<std::uint8_t, 2> values = {static_cast<std::uint8_t>(random() & 0xFF),
                                                static_cast<std::uint8_t>(random() & 0xFF)};
    for (const std::uint8_t value : values) {
      // A pass whose open fails writes nothing; the next one tries again.
      if (files.OpenFile(path, FileOpenMode::kOverwrite, FileShareMode::kDenyWrite, &file) !=
          kErrorSuccess) {
        continue;
      }
      const std::array<std::uint8_t, kCleanFileBlockBytes> block = [value] {
        std::array<std::uint8_t, kCleanFileBlockBytes> bytes{};
        bytes.fill(value);
        return bytes;
      }();
      for (std::uint64_t i = 0; i < blocks; ++i) {
        if (file->Write(block.data(), block.size()) != kErrorSuccess) break;
      }
      static_cast<void>(file->Flush());
      file.reset();
    }
  }
  rc = files.RemoveFile(path);
  if (rc != kErrorSuccess) return rc;
  m_fileBytes += static_cast<std::uint32_t>(length);  // a 32-bit counter, as it is shown
  ++m_files;
  return kErrorSuccess;
}

ErrorCode CCleanSweep::MoveShortcut(std::wstring_view shortcutPath) {
  CShortcutBackup* backup = m_targets.LnkBackupFile();
  if (backup == nullptr) return kErrorNoBackupFile;
  return MoveShortcutToBackup(m_platform.files, shortcutPath, *backup);
}

std::wstring RepairFailureReason(ErrorCode error, WORDING wording) {
  const auto text = [wording](const UI_TEXT& reason) { return std::wstring(Tr(reason, wording)); };
  switch (error) {
    case kErrorSuccess:
      return text(kRepairReasonRepaired);
    case kErrorFileNotFound:
    case kErrorPathNotFound:
      return text(kRepairReasonNotThere);
    case kErrorAccessDenied:
      return text(kRepairReasonAccessDenied);
    case kErrorInvalidHandle:
      return text(kRepairReasonOtherRoot);
    case kErrorInvalidData:
      return text(kRepairReasonLineBreak);
    case kErrorProtectedKey:
      return text(kRepairReasonProtected);
    case kErrorNoBackupFile:
      return text(kRepairReasonNoBackup);
    case kErrorReparsePointEncountered:
      return text(kRepairReasonRegistryLink);
    case kErrorBadPathname:
      return text(kRepairReasonShortcutPath);
    case kErrorStoppedOnSymlink:
      return text(kRepairReasonThroughLink);
    case kErrorKeyDeleted:
      return text(kRepairReasonKeyDeleted);
    default:
      return TrFormat(kRepairReasonSystemError, {DecimalText(static_cast<std::int64_t>(error))},
                      wording);
  }
}

}  // namespace qv
