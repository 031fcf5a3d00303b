#include "platform/win32/win32_system_restore.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace qv {
namespace {

// The structures of the System Restore client (srrestoreptapi.h), declared here because the
// cross compiler's headers do not all carry them. Packed as the system declares them.
#pragma pack(push, 1)
struct RESTORE_POINT_INFO_W {
  DWORD eventType;
  DWORD restorePointType;
  INT64 sequenceNumber;
  WCHAR description[256];  // MAX_DESC_W
};
struct STATE_MANAGER_STATUS {
  DWORD status;
  INT64 sequenceNumber;
};
#pragma pack(pop)

using SetRestorePointFunction = BOOL(WINAPI*)(RESTORE_POINT_INFO_W*, STATE_MANAGER_STATUS*);

}  // namespace

RESTORE_POINT_RESULT CWin32SystemRestore::CreateRestorePoint(std::wstring_view description) {
  HMODULE library = LoadLibraryW(L"SRCLIENT.DLL");
  if (library == nullptr) return RESTORE_POINT_RESULT::kUnavailable;
  const auto setRestorePoint = reinterpret_cast<SetRestorePointFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "SRSetRestorePointW")));
  if (setRestorePoint == nullptr) {
    FreeLibrary(library);
    return RESTORE_POINT_RESULT::kUnavailable;
  }

  RESTORE_POINT_INFO_W info{};
  info.eventType = kRestorePointBeginSystemChange;
  info.restorePointType = kRestorePointModifySettings;
  info.sequenceNumber = 0;
  const std::size_t chars = std::min<std::size_t>(description.size(), 255);
  std::wmemcpy(info.description, description.data(), chars);
  info.description[chars] = L'\0';
  STATE_MANAGER_STATUS status{};
  BOOL succeeded = setRestorePoint(&info, &status);
  if (succeeded) {
    info.eventType = kRestorePointEndSystemChange;
    info.sequenceNumber = status.sequenceNumber;
    succeeded = setRestorePoint(&info, &status);
  }
  FreeLibrary(library);
  return succeeded ? RESTORE_POINT_RESULT::kCreated : RESTORE_POINT_RESULT::kFailed;
}

}  // namespace qv
