#include "repair/full_backup.h"

#include "base/text.h"
#include "repair/backup_texts.h"
#include "repair/registry_merge.h"
#include "state/data_folder.h"
#include "state/state_texts.h"
#include "state/time_format.h"

namespace qv {

std::wstring FullBackupPath(const CPlatform& platform) {
  const std::wstring folder = ProductDataFolder(platform.shell, platform.files, kBackupSubfolder);
  const std::wstring stamp =
      FormatTime(kShortcutStampFormat, platform.clock.ToLocalTime(platform.clock.Now()));
  return FormatWithStrings(kFullBackupNameFormat, {folder, stamp});
}

ErrorCode RunFullBackup(const CPlatform& platform, IRegistryEditor& editor, std::wstring* path) {
  *path = FullBackupPath(platform);
  return ExportRegistryFile(editor, platform.files, *path);
}

ErrorCode RestoreBackup(const CPlatform& platform, IRegistryEditor& editor,
                        std::wstring_view registryFile, std::wstring_view shortcutList,
                        RESTORE_RESULT* result) {
  *result = RESTORE_RESULT{};
  ErrorCode first = kErrorSuccess;
  if (!registryFile.empty() && platform.files.FileExists(registryFile)) {
    result->registryFileFound = true;
    result->merge = MergeRegistryFile(editor, platform.registry, platform.files, registryFile,
                                      kRegistryMergeTimeoutMs, &result->mismatch);
    if (result->merge == kErrorSuccess) {
      result->registryFileDeleted = platform.files.RemoveFile(registryFile) == kErrorSuccess;
    } else {
      first = result->merge;
    }
  }
  if (!shortcutList.empty() && platform.files.FileExists(shortcutList)) {
    result->shortcutListFound = true;
    result->shortcuts = RestoreShortcuts(platform.files, shortcutList, &result->moved);
    if (first == kErrorSuccess) {
      if (result->shortcuts != kErrorSuccess) {
        first = result->shortcuts;
      } else if (result->moved.failed != 0) {
        first = kErrorCantWrite;
      }
    }
  }
  return first;
}

}  // namespace qv
