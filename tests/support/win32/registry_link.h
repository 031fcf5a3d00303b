// Real registry links for Windows tests, made and removed with the raw API (never through the
// code under test):
//   NativeKeyPath(HKEY_CURRENT_USER, L"Software\\X")  "\REGISTRY\USER\S-1-5-21-...\Software\X"
//   CreateRegistryLink(root, L"Software\\A\\Link", native target)
//   DeleteRegistryLink(root, L"Software\\A\\Link")   NtDeleteKey on the link itself
// Windows build only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

namespace registry_link_detail {

inline FARPROC NtDllExport(const char* name) {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr ? ::GetProcAddress(ntdll, name) : nullptr;
}

}  // namespace registry_link_detail

// The native path of root\subkey (NtQueryKey, KeyNameInformation), as a link's
// SymbolicLinkValue names its target; empty when the key cannot be opened or the subkey is empty
// (RegOpenKeyExW then hands back the predefined root itself, which names no key).
inline std::wstring NativeKeyPath(HKEY root, std::wstring_view subkey) {
  using NtQueryKeyFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  constexpr int kKeyNameInformation = 3;
  const auto query = reinterpret_cast<NtQueryKeyFunction>(
      reinterpret_cast<void*>(registry_link_detail::NtDllExport("NtQueryKey")));
  HKEY key = nullptr;
  if (query == nullptr ||
      ::RegOpenKeyExW(root, std::wstring(subkey).c_str(), 0, KEY_QUERY_VALUE, &key) !=
          ERROR_SUCCESS) {
    return {};
  }
  std::vector<ULONG> buffer(8192);  // ULONG NameLength (bytes), then the name
  ULONG needed = 0;
  const LONG status = query(key, kKeyNameInformation, buffer.data(),
                            static_cast<ULONG>(buffer.size() * sizeof(ULONG)), &needed);
  ::RegCloseKey(key);
  if (status != 0) return {};
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + 1),
                      buffer[0] / sizeof(wchar_t));
}

// Makes root\linkSubkey (it must not exist) a link to the key at the native path.
inline LSTATUS CreateRegistryLink(HKEY root, std::wstring_view linkSubkey,
                                  std::wstring_view nativeTarget) {
  HKEY link = nullptr;
  LSTATUS rc = ::RegCreateKeyExW(root, std::wstring(linkSubkey).c_str(), 0, nullptr,
                                 REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                                 nullptr, &link, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                        reinterpret_cast<const BYTE*>(nativeTarget.data()),
                        static_cast<DWORD>(nativeTarget.size() * sizeof(wchar_t)));
  ::RegCloseKey(link);
  return rc;
}

// Removes the link itself (NtDeleteKey on a REG_OPTION_OPEN_LINK handle); its target stays.
inline LSTATUS DeleteRegistryLink(HKEY root, std::wstring_view linkSubkey) {
  using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
  const auto deleteKey = reinterpret_cast<NtDeleteKeyFunction>(
      reinterpret_cast<void*>(registry_link_detail::NtDllExport("NtDeleteKey")));
  if (deleteKey == nullptr) return ERROR_PROC_NOT_FOUND;
  HKEY link = nullptr;
  const LSTATUS rc = ::RegOpenKeyExW(root, std::wstring(linkSubkey).c_str(), REG_OPTION_OPEN_LINK,
                                     DELETE | KEY_QUERY_VALUE, &link);
  if (rc != ERROR_SUCCESS) return rc;
  const LONG status = deleteKey(link);
  ::RegCloseKey(link);
  return status == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace qv::test
