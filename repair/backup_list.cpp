#include "repair/backup_list.h"

#include <algorithm>
#include <memory>

#include "base/text.h"
#include "base/text_case.h"
#include "repair/backup_file.h"
#include "repair/backup_texts.h"
#include "state/time_format.h"
#include "state/trusted_files.h"

namespace qv {

namespace {

// FILETIME of 1970-01-01 00:00:00 UTC, and its units per second.
constexpr std::uint64_t kUnixEpochFileTime = 116444736000000000ull;
constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000ull;

}  // namespace

namespace {

bool Missing(ErrorCode rc) { return rc == kErrorFileNotFound || rc == kErrorPathNotFound; }

// The first file of the backup that is not trusted, and why; 0 when none is.
ErrorCode TrustOfBackup(IFileSystem& files, std::wstring_view folder, BACKUP_ENTRY* entry) {
  const BACKUP_FILES parts = BackupFilesOf(files, folder, entry->name);
  for (const std::wstring& file : {parts.registryFile, parts.shortcutList}) {
    if (file.empty()) continue;
    const ErrorCode trust = CheckTrustedPath(files, file);
    if (trust == kErrorSuccess || Missing(trust)) continue;
    entry->untrustedFile = file;
    return trust;
  }
  return kErrorSuccess;
}

}  // namespace

ErrorCode ListBackups(IFileSystem& files, std::wstring_view folder,
                      std::vector<BACKUP_ENTRY>* backups) {
  backups->clear();
  const ErrorCode folderTrust = CheckTrustedPath(files, folder);
  if (Missing(folderTrust)) return kErrorSuccess;
  std::vector<CFindData> found;
  const ErrorCode listed = files.FindFiles(JoinPath(folder, kBackupListPattern), &found);
  if (listed == kErrorFileNotFound || listed == kErrorPathNotFound) return kErrorSuccess;
  if (listed != kErrorSuccess) return listed;

  const std::wstring_view extension = kRegFileExtension;
  for (const CFindData& entry : found) {
    if (entry.directory || entry.size == 0) continue;
    // The listing also matches short names ("*.reg" finds "a.reg2" on some systems): only names
    // that really end in ".reg" are backups.
    const std::wstring_view fileName = entry.name;
    if (fileName.size() <= extension.size() ||
        !EqualsNoCase(fileName.substr(fileName.size() - extension.size()), extension)) {
      continue;
    }
    // Without its last extension only: a restore or delete of the name finds this very file.
    std::wstring name = entry.name.substr(0, fileName.size() - extension.size());
    BACKUP_ENTRY backup;
    backup.name = std::move(name);
    backup.file = JoinPath(folder, entry.name);
    backup.lastWriteTime = entry.lastWriteTime;
    if (folderTrust != kErrorSuccess) {
      backup.trust = folderTrust;
      backup.untrustedFile = folder;
    } else {
      backup.trust = TrustOfBackup(files, folder, &backup);
    }
    backups->push_back(std::move(backup));
  }
  std::stable_sort(backups->begin(), backups->end(),
                   [](const BACKUP_ENTRY& a, const BACKUP_ENTRY& b) {
                     if (a.lastWriteTime != b.lastWriteTime) {
                       return a.lastWriteTime > b.lastWriteTime;
                     }
                     return ToUpper(a.name) < ToUpper(b.name);
                   });
  return kErrorSuccess;
}

std::wstring BackupTrustText(const BACKUP_ENTRY& entry, WORDING wording) {
  if (entry.trust == kErrorSuccess) return {};
  return TrFormat(kBackupNotTrustedFormat,
                  {UntrustedReasonText(entry.trust, wording), entry.untrustedFile}, wording);
}

std::wstring FormatBackupDate(IClock& clock, std::uint64_t lastWriteTime) {
  const std::int64_t seconds =
      lastWriteTime >= kUnixEpochFileTime
          ? static_cast<std::int64_t>((lastWriteTime - kUnixEpochFileTime) /
                                      kFileTimeUnitsPerSecond)
          : -static_cast<std::int64_t>((kUnixEpochFileTime - lastWriteTime) /
                                       kFileTimeUnitsPerSecond);
  return FormatTime(kBackupDateFormat, clock.ToLocalTime(seconds));
}

bool IsBackupName(std::wstring_view name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:*?\"<>|") == std::wstring_view::npos;
}

std::wstring BackupBasePath(std::wstring_view folder, std::wstring_view name) {
  return JoinPath(folder, name);
}

std::wstring RestoringBackupLogLine(std::wstring_view folder, std::wstring_view name) {
  return FormatWithStrings(kRestoringBackupLogFormat, {BackupBasePath(folder, name)});
}

BACKUP_FILES BackupFilesOf(IFileSystem& files, std::wstring_view folder, std::wstring_view name) {
  BACKUP_FILES parts;
  parts.registryFile = FormatWithStrings(kBackupRegistryFileFormat, {BackupBasePath(folder, name)});
  const std::wstring_view shortcutPrefix = kShortcutBackupPrefix;
  if (name.size() > shortcutPrefix.size() &&
      EqualsNoCase(name.substr(0, shortcutPrefix.size()), shortcutPrefix)) {
    const std::wstring repair = std::wstring(kRepairBackupPrefix) +
                                std::wstring(name.substr(shortcutPrefix.size()));
    if (files.FileExists(FormatWithStrings(kBackupRegistryFileFormat,
                                           {BackupBasePath(folder, repair)}))) {
      return parts;
    }
  }
  parts.shortcutList = ShortcutListForBackup(folder, name);
  parts.shortcutFolder = parts.shortcutList.substr(
      0, parts.shortcutList.size() - std::wstring_view(kShortcutListExtension).size());
  return parts;
}

namespace {

// Empties the shortcut folder of its files and removes it. *found tells whether it was there.
ErrorCode DeleteShortcutFolder(IFileSystem& files, const std::wstring& folder, bool* found,
                               std::wstring* failedFile) {
  std::vector<CFindData> self;
  const ErrorCode looked = files.FindFiles(folder, &self);
  if (Missing(looked)) return kErrorSuccess;
  if (looked != kErrorSuccess || self.empty() || !self.front().directory) {
    *failedFile = folder;
    return looked != kErrorSuccess ? looked : kErrorDirectory;
  }
  *found = true;
  if (!self.front().reparsePoint) {
    std::vector<CFindData> entries;
    const ErrorCode listed = files.FindFiles(JoinPath(folder, L"*"), &entries);
    if (listed != kErrorSuccess && !Missing(listed)) {
      *failedFile = folder;
      return listed;
    }
    for (const CFindData& entry : entries) {
      if (entry.directory) continue;  // "." and "..", and what the repair never made
      const std::wstring path = JoinPath(folder, entry.name);
      const ErrorCode rc = files.RemoveFile(path);
      if (rc != kErrorSuccess && !Missing(rc)) {
        *failedFile = path;
        return rc;
      }
    }
  }
  const ErrorCode removed = files.RemoveFolder(folder);
  if (removed != kErrorSuccess && !Missing(removed)) {
    *failedFile = folder;
    return removed;
  }
  return kErrorSuccess;
}

}  // namespace

ErrorCode DeleteBackup(IFileSystem& files, std::wstring_view folder, std::wstring_view name,
                       std::wstring* failedFile) {
  std::wstring failed;
  const ErrorCode rc = [&] {
    if (!IsBackupName(name)) {
      failed = name;
      return kErrorInvalidParameter;
    }
    const BACKUP_FILES parts = BackupFilesOf(files, folder, name);
    bool found = false;
    // A registry file another program holds would stay after its shortcuts went: refused first.
    if (files.FileExists(parts.registryFile)) {
      std::unique_ptr<IFile> held;
      const ErrorCode opened = files.OpenFile(parts.registryFile, FileOpenMode::kOverwrite,
                                              FileShareMode::kDenyWrite, &held);
      if (opened != kErrorSuccess) {
        failed = parts.registryFile;
        return opened;
      }
    }
    if (!parts.shortcutFolder.empty()) {
      const ErrorCode emptied = DeleteShortcutFolder(files, parts.shortcutFolder, &found, &failed);
      if (emptied != kErrorSuccess) return emptied;
    }
    for (const std::wstring& file : {parts.shortcutList, parts.registryFile}) {
      if (file.empty()) continue;
      const ErrorCode removed = files.RemoveFile(file);
      if (Missing(removed)) continue;
      if (removed != kErrorSuccess) {
        failed = file;
        return removed;
      }
      found = true;
    }
    if (found) return kErrorSuccess;
    failed = parts.registryFile;
    return kErrorFileNotFound;
  }();
  if (failedFile != nullptr) *failedFile = std::move(failed);
  return rc;
}

BACKUP_DELETION DeleteBackups(IFileSystem& files, std::wstring_view folder,
                              const std::vector<std::wstring>& names, IActivityLog* log) {
  BACKUP_DELETION deletion;
  for (const std::wstring& name : names) {
    std::wstring file;
    const ErrorCode rc = DeleteBackup(files, folder, name, &file);
    if (rc != kErrorSuccess) {
      deletion.failed.push_back(BACKUP_DELETION_FAILURE{name, std::move(file), rc});
      continue;
    }
    deletion.removed.push_back(name);
    // A log that cannot be written stops nothing.
    if (log != nullptr) {
      static_cast<void>(log->WriteLog(FormatWithStrings(kRemovedBackupLogFormat, {name})));
    }
  }
  if (!deletion.removed.empty() && log != nullptr) {
    static_cast<void>(log->WriteLog(kBackupsDeletedLog));
  }
  return deletion;
}

std::wstring BackupDeletionFailureText(const BACKUP_DELETION& deletion) {
  if (deletion.failed.empty()) return {};
  std::wstring text(Tr(kBackupsNotDeletedMessage));
  for (const BACKUP_DELETION_FAILURE& failure : deletion.failed) {
    text += TrFormat(kBackupNotDeletedLineFormat, {failure.file, DecimalText(failure.error)});
  }
  return text;
}

}  // namespace qv
