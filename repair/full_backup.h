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

namespace qv {

// "%s\\QuarveloBak%s.reg": the backup folder and the local time's stamp
// ("_December_06_26_18_31_14").
inline constexpr wchar_t kFullBackupNameFormat[] = L"%s\\QuarveloBak%s.reg";

// The full backup's path for the current local time, in the backup folder (made when missing).
[[nodiscard]] std::wstring FullBackupPath(const CPlatform& platform);

// Exports the whole registry into FullBackupPath (in *path): 0 once the editor has ended and the
// file is there (ExportRegistryFile's results otherwise).
[[nodiscard]] ErrorCode RunFullBackup(const CPlatform& platform, IRegistryEditor& editor,
                                      std::wstring* path);

struct RESTORE_RESULT {
  bool registryFileFound = false;
  ErrorCode merge = kErrorSuccess;  // MergeRegistryFile's result: 0 = merged and confirmed
  MERGE_MISMATCH mismatch;          // with kErrorCantWrite: what is not as the file leaves it
  bool registryFileDeleted = false;
  bool shortcutListFound = false;
  ErrorCode shortcuts = kErrorSuccess;  // RestoreShortcuts' result
  SHORTCUT_RESTORE moved;
};

// Merges the registry file when it exists and deletes it only when the editor ran to its end and
// the registry holds what the file says (the editor's exit status says nothing); then moves the
// shortcuts of the list back when it exists. Returns 0 when everything found was restored and
// confirmed, otherwise the first failure (the merge's, then the shortcuts': kErrorCantWrite for
// a copy that could not go back).
[[nodiscard]] ErrorCode RestoreBackup(const CPlatform& platform, IRegistryEditor& editor,
                                      std::wstring_view registryFile,
                                      std::wstring_view shortcutList, RESTORE_RESULT* result);

}  // namespace qv
