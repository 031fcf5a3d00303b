// The registry backups in the backup folder, as the backups page and the console list them: both
// the per-repair backups (RCBak_...) and the full ones (QuarveloBak_...), newest first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace qv {

inline constexpr std::wstring_view kBackupListPattern = L"*.reg";
inline constexpr std::wstring_view kBackupDateFormat = L"%B %d, %Y (%H:%M:%S)";

struct BACKUP_ENTRY {
  std::wstring name;            // the file name up to its first "."
  std::wstring file;            // the full path of the .reg file
  std::uint64_t lastWriteTime;  // FILETIME units, all 64 bits
};

// "*.reg" in the folder; folders and empty files are skipped; one row per name (compared without
// case: the first file listed of a name); ordered by the whole 64-bit last write time, newest
// first (equal times by name). An empty or missing folder gives no rows and 0; another listing
// failure is returned.
[[nodiscard]] ErrorCode ListBackups(IFileSystem& files, std::wstring_view folder,
                                    std::vector<BACKUP_ENTRY>* backups);

// The last write time as the list shows it, in local time: "December 06, 2026 (18:31:14)".
[[nodiscard]] std::wstring FormatBackupDate(IClock& clock, std::uint64_t lastWriteTime);

}  // namespace qv
