// The one place where the program loads a library of Windows by itself (not through its import
// table): always by the full path in the system folder, never by a bare name that the search
// order could resolve to a file planted beside the program or in the current folder.
#pragma once

#include <windows.h>

#include <string_view>

namespace qv {

// Loads `fileName` (for example L"SRCLIENT.DLL") from the system folder. Null when the folder
// cannot be named or the library is not there (GetLastError says why); release with FreeLibrary
// (CUniqueHandle<CWin32ModuleTraits>).
[[nodiscard]] HMODULE LoadSystemLibrary(std::wstring_view fileName);

}  // namespace qv
