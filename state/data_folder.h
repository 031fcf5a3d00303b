// The product data folder: where every file of the program that is not a setting lives.
//
//   <common application data>\Quarvelo\<subfolder>
//
// The common application-data folder comes from the shell (CSIDL_COMMON_APPDATA with
// CSIDL_FLAG_CREATE). When the shell cannot give it, the running program's own folder is used,
// followed directly by the subfolder (no product level). Each missing level below the base folder
// is created in turn; a level that cannot be created stops the creation, and the path is returned
// all the same (opening a file in it then fails). The result never ends with a backslash.
//
// The levels belong to administrators: a level is made with the protected access list (full
// control for SYSTEM and Administrators, nothing inherited, nothing for other accounts), only by
// an elevated process, and an existing level is used only when it is trusted (no reparse point,
// owned by SYSTEM, Administrators or this process's user, see state/trusted_files.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/language.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/shell.h"

namespace qv {

inline constexpr int kCommonAppDataCreate = kCsidlCommonAppData | kCsidlFlagCreate;  // 0x8023

// The folder for `subfolder` ("Backup", "LOGS"; empty for the data folder itself), with its
// missing levels created. *createError (may be null) receives the first failure, or 0: a level
// that cannot be made (kErrorAccessDenied for a missing one when the process is not elevated),
// or a level that is there but not trusted (kErrorReparsePointEncountered, kErrorInvalidOwner):
// the folder is not to be used then.
[[nodiscard]] std::wstring ProductDataFolder(IShell& shell, IFileSystem& files,
                                             std::wstring_view subfolder,
                                             ErrorCode* createError = nullptr);

// The same folder's path without creating anything (the common application-data folder asked for
// without CSIDL_FLAG_CREATE): where the folder is, or would be once made.
[[nodiscard]] std::wstring ProductDataFolderPath(IShell& shell, std::wstring_view subfolder);

// The running program's folder: its module path without the file name and without a trailing
// backslash ("C:\Program Files\Quarvelo", "C:" for a program in a drive root).
[[nodiscard]] std::wstring ProgramFolder(IShell& shell);

// Removes every backslash at the end of the path.
[[nodiscard]] std::wstring_view StripTrailingBackslashes(std::wstring_view path);

// A folder of the product data folder that a start did not trust.
struct FOLDER_NOTICE {
  std::wstring folder;
  ErrorCode trust = kErrorSuccess;      // why (TrustOf's errors, or the error of asking)
  std::wstring movedTo;                 // where it was renamed; empty when it stayed
  ErrorCode moveError = kErrorSuccess;  // the rename's failure, when it stayed although elevated
  bool elevated = false;                // whether the run could change anything
};

struct DATA_FOLDER_CHECK {
  std::vector<FOLDER_NOTICE> untrusted;
  // Folders that could not be given the protected access list, with the error.
  std::vector<std::pair<std::wstring, ErrorCode>> unprotected;
};

// What each start does before it uses the product data folder: the product level (not the
// program's own folder when that stands in for it), Backup, LOGS and the shortcut folders in
// Backup ("QuarveloBak_*") are checked. Elevated: a folder that is a reparse point or has an
// untrusted owner is renamed aside to its name followed by kMovedAsideSuffixFormat (a number
// added when that is taken; never deleted, it may be evidence) and a fresh protected folder is
// made in its place (the shortcut folders excepted: a repair makes its own); a trusted folder
// without the protected access list gets it; the product level, Backup and LOGS are made when
// missing. Not elevated: nothing is changed or made, the untrusted folders are only reported
// (their files are not read either: ProductDataFolder refuses them).
[[nodiscard]] DATA_FOLDER_CHECK SecureDataFolders(IShell& shell, IFileSystem& files,
                                                  IClock& clock);

// What to tell about a folder that was not trusted (one of kFolderMovedAsideFormat,
// kFolderNotMovedFormat, kFolderLeftAloneFormat).
[[nodiscard]] std::wstring FolderNoticeText(const FOLDER_NOTICE& notice,
                                            WORDING wording = WORDING::kUser);
// Every text of the check, the untrusted folders first.
[[nodiscard]] std::vector<std::wstring> DataFolderCheckTexts(const DATA_FOLDER_CHECK& check,
                                                             WORDING wording = WORDING::kUser);

}  // namespace qv
