// System Restore on the real system: SRSetRestorePointW of "SRCLIENT.DLL", loaded for each call
// and released afterwards (the library is absent on some editions and on servers).
#pragma once

#include "platform/system_restore.h"

namespace qv {

class CWin32SystemRestore final : public ISystemRestore {
 public:
  [[nodiscard]] RESTORE_POINT_RESULT CreateRestorePoint(std::wstring_view description) override;
};

}  // namespace qv
