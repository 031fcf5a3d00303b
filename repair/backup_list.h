// The registry backups in the backup folder, as the backups page and the console list them: both
// the per-repair backups (RCBak_...) and the full ones (QuarveloBak_...), newest first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/language.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "state/log_interface.h"

namespace qv {

inline constexpr std::wstring_view kBackupListPattern = L"*.reg";
inline constexpr std::wstring_view kBackupDateFormat = L"%B %d, %Y (%H:%M:%S)";

struct BACKUP_ENTRY {
  std::wstring name;            // the file name without its last extension (".reg")
  std::wstring file;            // the full path of the .reg file
  std::uint64_t lastWriteTime = 0;  // FILETIME units, all 64 bits
  // 0 when the backup folder, the .reg file and the shortcut list a restore would read
  // (BackupFilesOf) are all trusted (state/trusted_files.h); otherwise why not, for
  // `untrustedFile`. Such a backup is listed, but neither read nor restored.
  ErrorCode trust = kErrorSuccess;
  std::wstring untrustedFile;
};

// "*.reg" in the folder; folders and empty files are skipped; one row per file, named by the file
// name without its last extension ("a.old.reg" is "a.old", never "a"); ordered by the whole
// 64-bit last write time, newest first (equal times by name), each with its trust. An empty or
// missing folder gives no rows and 0; another listing failure is returned.
[[nodiscard]] ErrorCode ListBackups(IFileSystem& files, std::wstring_view folder,
                                    std::vector<BACKUP_ENTRY>* backups);

// "not trusted: <reason> (<file>)" for a backup that is not trusted; empty for one that is.
[[nodiscard]] std::wstring BackupTrustText(const BACKUP_ENTRY& entry,
                                           WORDING wording = WORDING::kUser);

// The last write time as the list shows it, in local time: "December 06, 2026 (18:31:14)".
[[nodiscard]] std::wstring FormatBackupDate(IClock& clock, std::uint64_t lastWriteTime);

// Whether the text can name a backup of the backup folder: not empty, not "." or "..", and none
// of \\ / : * ? " < > | (so it never reaches outside the folder).
[[nodiscard]] bool IsBackupName(std::wstring_view name);

// "<folder>\\<name>", to which the backup's two files add ".reg" and ".bak".
[[nodiscard]] std::wstring BackupBasePath(std::wstring_view folder, std::wstring_view name);
// "Restoring backup file <folder>\\<name>", logged before a listed backup is restored.
[[nodiscard]] std::wstring RestoringBackupLogLine(std::wstring_view folder,
                                                  std::wstring_view name);

// The files of one backup of the backup folder: its registry file, and the shortcut list that a
// restore pairs with it (ShortcutListForBackup: QuarveloBak_<stamp>.bak for a repair's
// RCBak_<stamp>, <name>.bak for any other name) with the folder its shortcuts were moved into (the
// list's path without ".bak"). A full backup QuarveloBak_<stamp> has no list of its own when a
// repair's RCBak_<stamp>.reg is there (the same second): the list and folder are that repair's,
// and both paths are empty then.
struct BACKUP_FILES {
  std::wstring registryFile;
  std::wstring shortcutList;
  std::wstring shortcutFolder;
};
[[nodiscard]] BACKUP_FILES BackupFilesOf(IFileSystem& files, std::wstring_view folder,
                                         std::wstring_view name);

// Deletes one backup, every file of BackupFilesOf: the shortcuts in its folder, the folder, the
// list, and the registry file last, so that whatever stays after a failure is still listed under
// the backup's name (a later Delete finishes it). A registry file that cannot be opened for
// writing by this process alone (another program has it open) is refused first, with nothing
// deleted. A file that is not there is no failure; the shortcut folder is only emptied of its
// files (never entered when it is a junction or link, nor its subfolders). Result: 0 when at
// least one of the files was there and every one there is gone; kErrorFileNotFound when none was
// there; kErrorInvalidParameter for a name IsBackupName refuses; otherwise the error of the
// first file that stayed. *failedFile (may be null) gets that file (the registry file when none
// was there, the name itself when refused).
[[nodiscard]] ErrorCode DeleteBackup(IFileSystem& files, std::wstring_view folder,
                                     std::wstring_view name, std::wstring* failedFile = nullptr);

struct BACKUP_DELETION_FAILURE {
  std::wstring name;
  std::wstring file;  // as DeleteBackup's *failedFile
  ErrorCode error = kErrorSuccess;
};

struct BACKUP_DELETION {
  std::vector<std::wstring> removed;  // in the order given
  std::vector<BACKUP_DELETION_FAILURE> failed;
};

// The backups page's "Delete" over the checked names, in the order given: DeleteBackup for each;
// "Removed Backup file <name>" is logged for each backup removed, and when at least one was,
// "Succesfully, Selected Backup files has been deleted " at the end. A backup that could not be
// removed is not counted and not logged; it is in `failed`, for one message after the loop. The
// log may be null.
[[nodiscard]] BACKUP_DELETION DeleteBackups(IFileSystem& files, std::wstring_view folder,
                                            const std::vector<std::wstring>& names,
                                            IActivityLog* log);

// The message telling what could not be deleted: the heading, then one line per failure with the
// file and its error code. Empty when nothing failed.
[[nodiscard]] std::wstring BackupDeletionFailureText(const BACKUP_DELETION& deletion);

}  // namespace qv
