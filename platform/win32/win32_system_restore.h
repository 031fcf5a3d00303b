// System Restore on the real system: SRSetRestorePointW of the system folder's "SRCLIENT.DLL",
// loaded for each request and released afterwards (the library is absent on servers), and the
// restore points listed before the request through WMI (class SystemRestore in root\default), so
// the outcome says whether the system made a new point or kept an earlier one.
//
// The request runs on a thread of its own in the multithreaded apartment, as Microsoft's example
// does, so System Restore's calls back into the process never wait for the caller's thread; the
// process's COM security must be set before (SetComSecurityForSystemRestore).
#pragma once

#include "platform/system_restore.h"

namespace qv {

class CWin32SystemRestore final : public ISystemRestore {
 public:
  [[nodiscard]] RESTORE_POINT_OUTCOME CreateRestorePoint(std::wstring_view description) override;
};

}  // namespace qv
