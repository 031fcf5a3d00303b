// The system's own libraries, programs and folders, and nothing that could stand in for them.
//
// The programs run as administrator on machines that other accounts share. A library or program
// named by a bare name is found through a search order that includes the program's own folder
// and the current folder, so a file of that name planted in either would run with the
// administrator's rights. Therefore:
//   - each program restricts the library search to the system folder before anything else
//     (RestrictLibrarySearchToSystemFolder);
//   - a system library that is not a known DLL is never in an import table (those are loaded
//     before the first line of the program runs, before any restriction): it is loaded here, by
//     its full path in the system folder, when first needed;
//   - a system program is started by its full path (SystemFolderPath, WindowsFolderPath);
//   - an elevated front end makes the system folder its current folder once it has resolved the
//     relative paths of its command line (MakeSystemFolderCurrent).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qv {

// The system libraries loaded at run time.
inline constexpr wchar_t kVersionLibrary[] = L"version.dll";
inline constexpr wchar_t kSystemRestoreLibrary[] = L"SRCLIENT.DLL";
inline constexpr wchar_t kCommonControlsLibrary[] = L"comctl32.dll";

// Loads the system library `fileName` (a file name without a folder, for example
// L"SRCLIENT.DLL") by its full path in the system folder, its own dependencies from there too;
// a library the active manifest redirects (the common controls 6) comes from the side-by-side
// assembly, as an import would. Null when it is not there or the name holds a folder
// (GetLastError says why); release with FreeLibrary (CUniqueHandle<CWin32ModuleTraits>).
[[nodiscard]] HMODULE LoadSystemLibrary(std::wstring_view fileName);

// The address of `procedure` in the system library `fileName`, which is loaded once through
// LoadSystemLibrary and then kept for the life of the process. Null when either is missing.
// Safe to call from any thread.
[[nodiscard]] FARPROC SystemProcedure(std::wstring_view fileName, const char* procedure);

// SystemProcedure as a pointer to a function of the type the system's header declares:
//   static const auto getSize = SystemFunction<decltype(::GetFileVersionInfoSizeW)>(
//       kVersionLibrary, "GetFileVersionInfoSizeW");
template <typename Function>
[[nodiscard]] Function* SystemFunction(std::wstring_view fileName, const char* procedure) {
  // Through void (*)(): the one function pointer type that converts to any other without a
  // warning.
  return reinterpret_cast<Function*>(
      reinterpret_cast<void (*)()>(SystemProcedure(fileName, procedure)));
}

// Makes the system folder the only folder searched for a library named without a path, for the
// whole process and its later loads (SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32));
// where the system lacks that call (Windows 7 without its update), at least takes the current
// folder out of the search (SetDllDirectoryW(L"")). Known DLLs and the side-by-side assemblies
// of a manifest are found as before. False when neither could be done.
bool RestrictLibrarySearchToSystemFolder();

// The system folder (GetSystemDirectoryW) and the system's Windows folder
// (GetSystemWindowsDirectoryW: the shared one, not a user's private folder of a terminal server),
// without a trailing backslash. Empty when the system cannot name them.
[[nodiscard]] std::wstring SystemFolder();
[[nodiscard]] std::wstring WindowsFolder();
// The full path of a program of the system folder or of the Windows folder ("regedit.exe" lives
// there). Empty when the folder cannot be named: nothing may be started then.
[[nodiscard]] std::wstring SystemFolderPath(std::wstring_view fileName);
[[nodiscard]] std::wstring WindowsFolderPath(std::wstring_view fileName);

// Makes the system folder the process's current folder, so that nothing found or written
// "in the current folder" is in a folder another account can write. Call it only once every
// relative path of the command line has been made full. False when it could not be changed.
bool MakeSystemFolderCurrent();

}  // namespace qv
