#include "platform/win32/system_library.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/text_case.h"

namespace qv {
namespace {

// Of the library loader (libloaderapi.h); the headers declare them only for Windows 8 and later.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kAlteredSearchPath = 0x00000008;  // LOAD_WITH_ALTERED_SEARCH_PATH
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// A folder the system names through a call of the GetSystemDirectoryW kind, whatever its length.
template <typename Call>
std::wstring FolderFrom(Call call) {
  std::wstring path(MAX_PATH, L'\0');
  UINT length = call(path.data(), static_cast<UINT>(path.size()));
  if (length >= path.size()) {
    path.resize(length);
    length = call(path.data(), static_cast<UINT>(path.size()));
  }
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring InFolder(const std::wstring& folder, std::wstring_view fileName) {
  if (folder.empty() || fileName.empty()) return {};
  return folder + L"\\" + std::wstring(fileName);
}

// Kernel32 is loaded in every process before any code of ours; its functions are looked up
// rather than imported where an older system may lack them.
FARPROC KernelProcedure(const char* name) {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  return kernel != nullptr ? ::GetProcAddress(kernel, name) : nullptr;
}

}  // namespace

HMODULE LoadSystemLibrary(std::wstring_view fileName) {
  if (fileName.empty() || fileName.find_first_of(L"\\/:") != std::wstring_view::npos) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::wstring name(fileName);
  // A library the active manifest redirects (the common controls 6 of a side-by-side assembly) is
  // loaded by its name, so the system's redirection applies; nothing but the system folder is
  // searched if it does not.
  ACTCTX_SECTION_KEYED_DATA redirected{};
  redirected.cbSize = sizeof(redirected);
  if (::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                 name.c_str(), &redirected)) {
    return ::LoadLibraryExW(name.c_str(), nullptr, kSearchSystem32);
  }
  // Any other by its full path in the system folder: that file and no other of the same name,
  // even one some other library of the process loaded before. LOAD_LIBRARY_SEARCH_SYSTEM32 takes
  // its own dependencies from the system folder too; a system without that flag refuses it with
  // ERROR_INVALID_PARAMETER, and there the altered search order looks in the library's own folder
  // (the system folder) for them first.
  const std::wstring path = SystemFolderPath(fileName);
  if (path.empty()) return nullptr;
  HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, kSearchSystem32);
  if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    module = ::LoadLibraryExW(path.c_str(), nullptr, kAlteredSearchPath);
  }
  return module;
}

FARPROC SystemProcedure(std::wstring_view fileName, const char* procedure) {
  // The libraries loaded so far, by name: each is loaded once and never freed, so the addresses
  // handed out stay valid.
  static std::mutex lock;
  static std::vector<std::pair<std::wstring, HMODULE>> loaded;
  HMODULE module = nullptr;
  {
    const std::lock_guard<std::mutex> guard(lock);
    bool found = false;
    for (const auto& [name, handle] : loaded) {
      if (EqualsNoCase(name, fileName)) {
        module = handle;
        found = true;
        break;
      }
    }
    if (!found) {
      module = LoadSystemLibrary(fileName);
      // A library that is not there is not looked for again: the answer stays the same.
      loaded.emplace_back(std::wstring(fileName), module);
    }
  }
  return module != nullptr ? ::GetProcAddress(module, procedure) : nullptr;
}

bool RestrictLibrarySearchToSystemFolder() {
  const auto setDefault =
      reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(
          KernelProcedure("SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(kSearchSystem32)) return true;
  return ::SetDllDirectoryW(L"") != FALSE;
}

std::wstring SystemFolder() {
  return FolderFrom([](wchar_t* buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); });
}

std::wstring WindowsFolder() {
  return FolderFrom(
      [](wchar_t* buffer, UINT size) { return ::GetSystemWindowsDirectoryW(buffer, size); });
}

std::wstring SystemFolderPath(std::wstring_view fileName) {
  return InFolder(SystemFolder(), fileName);
}

std::wstring WindowsFolderPath(std::wstring_view fileName) {
  return InFolder(WindowsFolder(), fileName);
}

bool MakeSystemFolderCurrent() {
  const std::wstring folder = SystemFolder();
  return !folder.empty() && ::SetCurrentDirectoryW(folder.c_str()) != FALSE;
}

}  // namespace qv
