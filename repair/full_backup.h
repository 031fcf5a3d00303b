// The whole registry saved to a file by the system registry editor, and a backup merged back:
// what the backup dialog and the console's "backup" and "restore" run.
#pragma once

#include <string>
#include <string_view>

#include "base/errors.h"
#include "platform/platform.h"
#include "platform/registry_editor.h"
#include "repair/merge_check.h"
#include "repair/shortcut_restore.h"
#include "state/log_interface.h"

namespace qv {

// "%s\\QuarveloBak%s.reg": the backup folder and the local time's stamp
// ("_December_06_26_18_31_14").
inline constexpr wchar_t kFullBackupNameFormat[] = L"%s\\QuarveloBak%s.reg";

// The full backup's path for the current local time, in the backup folder (made when missing).
// *folderError (may be null) gets ProductDataFolder's error: no backup goes there unless it is 0.
[[nodiscard]] std::wstring FullBackupPath(const CPlatform& platform,
                                          ErrorCode* folderError = nullptr);

// Exports the whole registry into FullBackupPath (in *path): the editor writes a new file under a
// name nobody can guess, which then replaces whatever is at the path (a link itself, never what
// it points at). 0 once the editor has ended and the file is in place; the backup folder's error
// when it is not to be used; ExportRegistryFile's results otherwise.
[[nodiscard]] ErrorCode RunFullBackup(const CPlatform& platform, IRegistryEditor& editor,
                                      std::wstring* path);

struct RESTORE_RESULT {
  std::wstring registryFile;    // as given
  std::wstring shortcutList;    // as given
  std::wstring shortcutFolder;  // where the list's shortcuts were moved (the list without ".bak")
  bool registryFileFound = false;
  // Not 0: the backup folder or the registry file (`untrusted`) is not trusted; nothing of the
  // backup is merged or moved.
  ErrorCode registryTrust = kErrorSuccess;
  std::wstring untrusted;
  ErrorCode merge = kErrorSuccess;  // MergeRegistryFile's result: 0 = merged and confirmed
  MERGE_MISMATCH mismatch;          // with kErrorCantWrite: what is not as the file leaves it
  bool nothingToMerge = false;      // the file held no section (merged by an earlier restore)
  bool registryFileDeleted = false;
  // Merged and confirmed while shortcuts are left: the file now holds only its header and a
  // comment, so the backup stays listed and a restore tried again merges nothing a second time.
  bool registryFileEmptied = false;
  bool shortcutListFound = false;
  ErrorCode shortcuts = kErrorSuccess;  // RestoreShortcuts' result
  SHORTCUT_RESTORE moved;
};

// Merges the registry file and moves the shortcuts of the list back (also when the merge failed
// or the file is missing: they belong where they were). When the folder of the registry file or
// the file itself is not trusted (state/trusted_files.h) nothing is merged or moved: its trust
// error is the result; a list or moved shortcut that is not trusted is not read or moved
// (RestoreShortcuts). The registry file is deleted only when
// the editor ran to its end, the registry holds what the file says (the editor's exit status
// says nothing) and no shortcut is left; with shortcuts left it is emptied (see
// registryFileEmptied) and stays listed, so they can be moved back by a restore tried again.
// A line of the list that the restore left alone (see RestoreShortcuts) counts as a shortcut
// left, and is written to `log` (may be null) with its reason.
// Returns 0 when everything was restored and confirmed, otherwise the first failure:
// kErrorFileNotFound when there is no registry file, the merge's, then the shortcuts' (the list's
// read error, or kErrorCantWrite for a copy that could not go back or a line left alone).
[[nodiscard]] ErrorCode RestoreBackup(const CPlatform& platform, IRegistryEditor& editor,
                                      std::wstring_view registryFile,
                                      std::wstring_view shortcutList, RESTORE_RESULT* result,
                                      IActivityLog* log = nullptr);

// What a restore that did not finish has to tell the user: a heading, then one paragraph per
// failure (the registry file missing or not merged; the shortcuts not moved back, how many and
// where they are). Empty when the restore finished.
[[nodiscard]] std::wstring RestoreFailureText(const RESTORE_RESULT& result);

// The paragraph of RestoreFailureText on the lines of the shortcut list that the restore left
// alone: how many, the list, then each line with its reason (the first kRestoreLeftAloneShown,
// then how many more). Empty when none was.
[[nodiscard]] std::wstring RestoreLeftAloneText(const RESTORE_RESULT& result);

}  // namespace qv
