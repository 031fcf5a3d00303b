#include "repair/backup_list.h"

#include <algorithm>
#include <unordered_set>

#include "base/text.h"
#include "base/text_case.h"
#include "repair/backup_texts.h"
#include "state/time_format.h"

namespace qv {

namespace {

// FILETIME of 1970-01-01 00:00:00 UTC, and its units per second.
constexpr std::uint64_t kUnixEpochFileTime = 116444736000000000ull;
constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000ull;

}  // namespace

ErrorCode ListBackups(IFileSystem& files, std::wstring_view folder,
                      std::vector<BACKUP_ENTRY>* backups) {
  backups->clear();
  std::vector<CFindData> found;
  const ErrorCode listed = files.FindFiles(JoinPath(folder, kBackupListPattern), &found);
  if (listed == kErrorFileNotFound || listed == kErrorPathNotFound) return kErrorSuccess;
  if (listed != kErrorSuccess) return listed;

  std::unordered_set<std::wstring> names;  // upper-cased
  for (const CFindData& entry : found) {
    if (entry.directory || entry.size == 0) continue;
    // The listing also matches short names ("*.reg" finds "a.reg2" on some systems): only names
    // that really end in ".reg" are backups.
    const std::wstring_view fileName = entry.name;
    if (fileName.size() < 4 || !EqualsNoCase(fileName.substr(fileName.size() - 4), L".reg")) {
      continue;
    }
    std::wstring name = entry.name.substr(0, entry.name.find(L'.'));
    if (!names.insert(ToUpper(name)).second) continue;
    backups->push_back(
        BACKUP_ENTRY{std::move(name), JoinPath(folder, entry.name), entry.lastWriteTime});
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

ErrorCode DeleteBackup(IFileSystem& files, std::wstring_view folder, std::wstring_view name,
                       std::wstring* failedFile) {
  if (!IsBackupName(name)) {
    if (failedFile != nullptr) *failedFile = name;
    return kErrorInvalidParameter;
  }
  const std::wstring base = BackupBasePath(folder, name);
  bool found = false;
  for (const wchar_t* format : {kBackupRegistryFileFormat, kBackupShortcutListFormat}) {
    const std::wstring file = FormatWithStrings(format, {base});
    const ErrorCode rc = files.RemoveFile(file);
    if (rc == kErrorFileNotFound || rc == kErrorPathNotFound) continue;
    if (rc != kErrorSuccess) {
      if (failedFile != nullptr) *failedFile = file;
      return rc;
    }
    found = true;
  }
  if (found) return kErrorSuccess;
  if (failedFile != nullptr) *failedFile = FormatWithStrings(kBackupRegistryFileFormat, {base});
  return kErrorFileNotFound;
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
  std::wstring text = kBackupsNotDeletedMessage;
  for (const BACKUP_DELETION_FAILURE& failure : deletion.failed) {
    text += FormatWithStrings(kBackupNotDeletedLineFormat,
                              {failure.file, DecimalText(failure.error)});
  }
  return text;
}

}  // namespace qv
