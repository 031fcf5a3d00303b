#include "launcher/win32/win32_library_loader.h"

#include <windows.h>

#include <string>

namespace qv {

bool CWin32LibraryLoader::FileExists(std::wstring_view path) {
  const std::wstring file(path);
  const DWORD attributes = ::GetFileAttributesW(file.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ILibraryLoader::Module CWin32LibraryLoader::Load(std::wstring_view path) {
  const std::wstring file(path);
  return ::LoadLibraryW(file.c_str());
}

ILibraryLoader::ExportFunction CWin32LibraryLoader::FindExport(Module module, const char* name) {
  const FARPROC address = ::GetProcAddress(static_cast<HMODULE>(module), name);
  // Through void (*)(): the one function pointer type that converts to any other without a
  // warning. The exports are int32 (void), as the library declares them.
  return reinterpret_cast<ExportFunction>(reinterpret_cast<void (*)()>(address));
}

void CWin32LibraryLoader::Free(Module module) { ::FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace qv
