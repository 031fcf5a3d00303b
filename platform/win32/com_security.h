// The process's COM security as System Restore needs it. SRSetRestorePointW works only when the
// calling process lets NetworkService, LocalService and System call back into it, which is set
// once per process with CoInitializeSecurity, after COM is initialised and before any interface
// is marshalled (after that COM has chosen the defaults itself and the call is refused with
// RPC_E_TOO_LATE). The console's repair and the library's main window call this first thing,
// on a thread that keeps COM initialised for as long as a repair can run.
#pragma once

#include <windows.h>

namespace qv {

// Sets the process's COM security once: access for Administrators, LocalService,
// NetworkService, the caller's own account (SELF) and System, owner and group Administrators,
// packet privacy, identify-level impersonation, no custom marshalling (Microsoft's "Using System
// Restore"). Activation as the activator stays allowed, so shell verbs whose handlers are COM
// servers (a web page opened with the shell) keep working. The calling thread must have COM
// initialised. Every later call returns the first call's result; RPC_E_TOO_LATE means the
// process's security was already set by its host or by COM itself.
[[nodiscard]] HRESULT SetComSecurityForSystemRestore();

}  // namespace qv
