#include "repair/full_backup.h"

#include <memory>
#include <vector>

#include "base/text.h"
#include "repair/backup_texts.h"
#include "repair/registry_merge.h"
#include "state/text_file.h"
#include "state/data_folder.h"
#include "state/state_texts.h"
#include "state/time_format.h"
#include "state/trusted_files.h"

namespace qv {

std::wstring FullBackupPath(const CPlatform& platform, ErrorCode* folderError) {
  const std::wstring folder =
      ProductDataFolder(platform.shell, platform.files, kBackupSubfolder, folderError);
  const std::wstring stamp =
      FormatTime(kShortcutStampFormat, platform.clock.ToLocalTime(platform.clock.Now()));
  return FormatWithStrings(kFullBackupNameFormat, {folder, stamp});
}

ErrorCode RunFullBackup(const CPlatform& platform, IRegistryEditor& editor, std::wstring* path) {
  ErrorCode rc = kErrorSuccess;
  *path = FullBackupPath(platform, &rc);
  if (rc != kErrorSuccess) return rc;
  // The editor writes where nobody can have prepared a file or link for it, and the export takes
  // its name in one step once it is complete.
  IFileSystem& files = platform.files;
  std::wstring temporary;
  std::unique_ptr<IFile> made;
  rc = CreateTemporaryBeside(files, *path, &temporary, &made);
  if (rc != kErrorSuccess) return rc;
  made.reset();
  rc = ExportRegistryFile(editor, files, temporary);
  if (rc == kErrorSuccess) rc = files.ReplaceFile(temporary, *path);
  if (rc != kErrorSuccess) static_cast<void>(files.RemoveFile(temporary));
  return rc;
}

namespace {

// Replaces the merged registry file by its header and a comment, through a new file beside it.
ErrorCode EmptyRegistryFile(IFileSystem& files, const std::wstring& path) {
  std::wstring temporary;
  std::unique_ptr<IFile> file;
  ErrorCode rc = CreateTemporaryBeside(files, path, &temporary, &file);
  if (rc != kErrorSuccess) return rc;
  auto writer = std::make_unique<CTextWriter>(files, std::move(file));
  rc = writer->Write(std::wstring(kRegHeaderVersion4) + L"\n\n" + kMergedRegistryFileComment);
  const ErrorCode closed = writer->Close();
  if (rc == kErrorSuccess) rc = closed;
  writer.reset();
  if (rc == kErrorSuccess) rc = files.ReplaceFile(temporary, path);
  if (rc != kErrorSuccess) static_cast<void>(files.RemoveFile(temporary));
  return rc;
}

}  // namespace

ErrorCode RestoreBackup(const CPlatform& platform, IRegistryEditor& editor,
                        std::wstring_view registryFile, std::wstring_view shortcutList,
                        RESTORE_RESULT* result, IActivityLog* log) {
  *result = RESTORE_RESULT{};
  result->registryFile = registryFile;
  result->shortcutList = shortcutList;
  const std::size_t dot = shortcutList.rfind(L'.');
  if (dot != std::wstring_view::npos) result->shortcutFolder = shortcutList.substr(0, dot);
  IFileSystem& files = platform.files;

  ErrorCode first = kErrorSuccess;
  if (!registryFile.empty() && files.FileExists(registryFile)) {
    result->registryFileFound = true;
    for (const std::wstring_view path : {FolderOf(registryFile), registryFile}) {
      result->registryTrust = CheckTrustedPath(files, path);
      if (result->registryTrust == kErrorSuccess) continue;
      result->untrusted = path;
      break;
    }
  }
  if (result->registryTrust != kErrorSuccess) {
    // Another account's file, a link to one, or what lies in a folder another account could
    // steer is never merged into the registry, nor are its shortcuts moved.
    result->merge = result->registryTrust;
    return result->registryTrust;
  }
  if (result->registryFileFound) {
    result->merge = MergeRegistryFile(editor, platform.registry, files, registryFile,
                                      kRegistryMergeTimeoutMs, &result->mismatch,
                                      &result->nothingToMerge);
    first = result->merge;
  } else {
    first = kErrorFileNotFound;
  }

  bool shortcutsLeft = false;
  if (!shortcutList.empty() && files.FileExists(shortcutList)) {
    result->shortcutListFound = true;
    result->shortcuts = RestoreShortcuts(files, shortcutList, &result->moved);
    shortcutsLeft = result->shortcuts != kErrorSuccess || result->moved.failed != 0 ||
                    result->moved.untrusted != 0 || !result->moved.leftAlone.empty();
    for (const SHORTCUT_LINE_LEFT& left : result->moved.leftAlone) {
      if (log == nullptr) break;
      static_cast<void>(log->WriteLog(
          FormatWithStrings(kShortcutLineLeftLogFormat, {left.line, left.reason.english})));
    }
    if (first == kErrorSuccess && shortcutsLeft) {
      first = result->shortcuts != kErrorSuccess ? result->shortcuts : kErrorCantWrite;
    }
  }

  if (result->registryFileFound && result->merge == kErrorSuccess) {
    // The registry part is done. The file goes with the last shortcut; until then it keeps the
    // backup listed, and holds nothing that a second restore would merge over later changes.
    if (!shortcutsLeft) {
      result->registryFileDeleted = files.RemoveFile(registryFile) == kErrorSuccess;
    } else if (!result->nothingToMerge) {
      result->registryFileEmptied =
          EmptyRegistryFile(files, std::wstring(registryFile)) == kErrorSuccess;
    }
  }
  return first;
}

std::wstring RestoreLeftAloneText(const RESTORE_RESULT& result) {
  const std::vector<SHORTCUT_LINE_LEFT>& lines = result.moved.leftAlone;
  if (lines.empty()) return {};
  std::wstring text =
      TrFormat(lines.size() == 1 ? kRestoreLineLeftAloneFormat : kRestoreLinesLeftAloneFormat,
               {DecimalText(static_cast<std::int64_t>(lines.size())), result.shortcutList});
  for (std::size_t i = 0; i < lines.size() && i < kRestoreLeftAloneShown; ++i) {
    text += TrFormat(kRestoreLeftAloneItemFormat, {lines[i].line, Tr(lines[i].reason)});
  }
  if (lines.size() > kRestoreLeftAloneShown) {
    text += TrFormat(
        kRestoreLeftAloneMoreFormat,
        {DecimalText(static_cast<std::int64_t>(lines.size() - kRestoreLeftAloneShown))});
  }
  return text;
}

std::wstring RestoreFailureText(const RESTORE_RESULT& result) {
  std::wstring text;
  if (!result.registryFileFound) {
    text += TrFormat(kRestoreNoRegistryFileFormat, {result.registryFile});
  } else if (result.registryTrust != kErrorSuccess) {
    text += TrFormat(kRestoreNotTrustedFormat,
                              {result.untrusted, UntrustedReasonText(result.registryTrust)});
  } else if (result.merge == kErrorCantWrite) {
    std::wstring what = result.mismatch.key;
    if (result.mismatch.value) {
      what += TrFormat(kRestoreMismatchValueFormat, {result.mismatch.valueName});
    }
    text += TrFormat(kRestoreNotMergedFormat, {result.registryFile, what});
  } else if (result.merge != kErrorSuccess) {
    text += TrFormat(kRestoreEditorFailedFormat,
                              {result.registryFile, DecimalText(result.merge)});
  }
  if (result.shortcutListFound) {
    if (result.shortcuts == kErrorReparsePointEncountered ||
        result.shortcuts == kErrorInvalidOwner) {
      text += TrFormat(
          kRestoreListNotTrustedFormat,
          {result.shortcutList, UntrustedReasonText(result.shortcuts), result.shortcutFolder});
    } else if (result.shortcuts != kErrorSuccess) {
      text += TrFormat(kRestoreListUnreadableFormat,
                                {DecimalText(result.shortcuts), result.shortcutFolder});
    } else if (result.moved.failed != 0) {
      text += TrFormat(
          result.moved.failed == 1 ? kRestoreShortcutLeftFormat : kRestoreShortcutsLeftFormat,
          {DecimalText(static_cast<std::int64_t>(result.moved.failed)), result.shortcutFolder});
    }
    if (result.moved.untrusted != 0) {
      text += TrFormat(
          kRestoreShortcutsNotTrustedFormat,
          {DecimalText(static_cast<std::int64_t>(result.moved.untrusted)), result.shortcutFolder});
    }
    text += RestoreLeftAloneText(result);
  }
  if (text.empty()) return text;
  if (result.registryFileFound && result.merge == kErrorSuccess) text = std::wstring(Tr(kRestoreMergedLine)) + text;
  return std::wstring(Tr(kRestoreIncompleteHeading)) + text;
}

}  // namespace qv
