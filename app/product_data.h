// What the program keeps on a machine between runs, prepared before the first run and removed
// when the user asks for it on the way out (the console's "data" command, run by the installer
// and the uninstaller):
//   - the product data folder: the registry backups (Backup), the activity logs (LOGS) and the
//     user's ignore list (ignore.wls);
//   - the product key HKEY_LOCAL_MACHINE\SOFTWARE\Quarvelo: the settings, the statistics and the
//     blocked store.
#pragma once

#include <cstdint>
#include <string>

#include "base/errors.h"
#include "platform/platform.h"

namespace qv {

struct DATA_FOLDER_PREPARATION {
  std::wstring folder;             // the product data folder
  ErrorCode error = kErrorSuccess;  // the first level that could not be created, or 0
};

// Makes the product data folder as every program of the product makes it (ProductDataFolder),
// so it exists, with the same protection, before anything runs.
[[nodiscard]] DATA_FOLDER_PREPARATION PrepareProductDataFolder(const CPlatform& platform);

struct PRODUCT_DATA_REMOVAL {
  std::wstring folder;  // the product data folder looked at
  std::uint32_t filesRemoved = 0;
  std::uint32_t foldersRemoved = 0;
  ErrorCode folderError = kErrorSuccess;  // the first removal that failed, or 0
  std::wstring failedPath;                // where it failed
  ErrorCode keyError = kErrorSuccess;     // the product key's deletion: 0 when gone or absent
};

// Removes the product data and the product key. The data folder goes with everything in it; a
// junction or symbolic link inside it is removed itself and never walked into, so nothing outside
// the folder is ever touched. When the data folder is the program's own folder (the shell gave no
// common application-data folder), only what the program put there goes: Backup, LOGS and
// ignore.wls. A removal that fails is passed over and the rest still removed; the first failure
// is reported. The product key goes with its whole tree unless a registry link is in it
// (DeleteKeyTree: then nothing of it is deleted).
[[nodiscard]] PRODUCT_DATA_REMOVAL RemoveProductData(const CPlatform& platform);

}  // namespace qv
