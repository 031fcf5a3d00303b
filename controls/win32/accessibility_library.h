// The two calls of oleacc.dll the accessible objects need. oleacc.dll is not a known DLL, so an
// import of it would be looked for in the program's own folder first, before any code of ours
// could say otherwise; it is loaded at run time from the system folder instead.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace qv {

// CreateStdAccessibleObject(window, objectId, IID_IAccessible, object); E_NOTIMPL when the
// system's oleacc.dll is not there.
HRESULT CreateStandardAccessible(HWND window, LONG objectId, void** object);

// LresultFromObject(IID_IAccessible, flags, object): what WM_GETOBJECT returns; 0 (the window
// gives no object of its own) when the system's oleacc.dll is not there.
LRESULT AccessibleResult(WPARAM flags, IUnknown* object);

}  // namespace qv
