// System Restore as the repair uses it: one restore point around the repair's changes.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

// The restore point's description and the values passed with it.
inline constexpr wchar_t kRestorePointDescription[] = L"Quarvelo Backup";
inline constexpr std::uint32_t kRestorePointBeginSystemChange = 100;  // BEGIN_SYSTEM_CHANGE
inline constexpr std::uint32_t kRestorePointEndSystemChange = 101;    // END_SYSTEM_CHANGE
inline constexpr std::uint32_t kRestorePointModifySettings = 12;      // MODIFY_SETTINGS

enum class RESTORE_POINT_RESULT {
  kCreated,      // both calls succeeded
  kUnavailable,  // the library or its function is missing: nothing was asked
  kFailed,       // a call returned FALSE (System Restore is off, or refused)
};

class ISystemRestore {
 public:
  virtual ~ISystemRestore() = default;
  // Loads "SRCLIENT.DLL" by name, calls SRSetRestorePointW with BEGIN_SYSTEM_CHANGE,
  // MODIFY_SETTINGS, sequence 0 and the description; when that succeeded, again with
  // END_SYSTEM_CHANGE and the sequence number the first call returned; releases the library.
  [[nodiscard]] virtual RESTORE_POINT_RESULT CreateRestorePoint(std::wstring_view description) = 0;
};

}  // namespace qv
