// The product data folder: where every file of the program that is not a setting lives.
//
//   <common application data>\Quarvelo\<subfolder>
//
// The common application-data folder comes from the shell (CSIDL_COMMON_APPDATA with
// CSIDL_FLAG_CREATE). When the shell cannot give it, the running program's own folder is used,
// followed directly by the subfolder (no product level). Each missing level below the base folder
// is created in turn; a level that cannot be created stops the creation, and the path is returned
// all the same (opening a file in it then fails). The result never ends with a backslash.
#pragma once

#include <string>
#include <string_view>

#include "base/errors.h"
#include "platform/file_system.h"
#include "platform/shell.h"

namespace qv {

inline constexpr int kCommonAppDataCreate = kCsidlCommonAppData | kCsidlFlagCreate;  // 0x8023

// The folder for `subfolder` ("Backup", "LOGS"; empty for the data folder itself), with its
// missing levels created. *createError (may be null) receives the first creation failure, or 0.
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

}  // namespace qv
