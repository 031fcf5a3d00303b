#include "platform/win32/win32_registry.h"

#include <sddl.h>

#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace qv {
namespace {

bool IsPredefined(RegHandle handle) {
  return handle >= kHkeyClassesRoot && handle <= kHkeyDynData;
}

// ntdll.dll exports, looked up once (ntdll is in every process and never unloaded).
using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE key);
using RtlNtStatusToDosErrorFunction = ULONG(WINAPI*)(LONG status);

struct NTDLL_EXPORTS {
  NtDeleteKeyFunction deleteKey = nullptr;
  RtlNtStatusToDosErrorFunction toDosError = nullptr;
};

const NTDLL_EXPORTS& NtDll() {
  static const NTDLL_EXPORTS exports = [] {
    NTDLL_EXPORTS found;
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll != nullptr) {
      found.deleteKey = reinterpret_cast<NtDeleteKeyFunction>(
          reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtDeleteKey")));
      found.toDosError = reinterpret_cast<RtlNtStatusToDosErrorFunction>(
          reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    }
    return found;
  }();
  return exports;
}

}  // namespace

HKEY CWin32Registry::ToHkey(RegHandle handle) {
  if (IsPredefined(handle)) {
    // Windows spells the roots as sign-extended 32-bit values.
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
  }
  return reinterpret_cast<HKEY>(handle);
}

RegHandle CWin32Registry::FromHkey(HKEY key) {
  const auto value = reinterpret_cast<ULONG_PTR>(key);
  const auto low = static_cast<RegHandle>(value & 0xFFFFFFFFu);
  if (IsPredefined(low) && ToHkey(low) == key) return low;
  return static_cast<RegHandle>(value);
}

ErrorCode CWin32Registry::OpenKey(RegHandle parent, std::wstring_view subkey,
                                  std::uint32_t access, RegHandle* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = kNullRegHandle;
  if (HasNulCharacter(subkey)) return ERROR_INVALID_PARAMETER;
  const std::wstring sub(subkey);
  HKEY key = nullptr;
  const LSTATUS rc = ::RegOpenKeyExW(ToHkey(parent), sub.c_str(), 0, access, &key);
  if (rc == ERROR_SUCCESS) *result = FromHkey(key);
  return rc;
}

ErrorCode CWin32Registry::CreateKey(RegHandle parent, std::wstring_view subkey,
                                    std::uint32_t access, RegHandle* result, bool* created) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = kNullRegHandle;
  if (HasNulCharacter(subkey)) return ERROR_INVALID_PARAMETER;
  const std::wstring sub(subkey);
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LSTATUS rc = ::RegCreateKeyExW(ToHkey(parent), sub.c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                                       &disposition);
  if (rc == ERROR_SUCCESS) {
    *result = FromHkey(key);
    if (created != nullptr) *created = disposition == REG_CREATED_NEW_KEY;
  }
  return rc;
}

ErrorCode CWin32Registry::OpenKeyNoFollow(RegHandle parent, std::wstring_view subkey,
                                          std::uint32_t access, RegHandle* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = kNullRegHandle;
  if (HasNulCharacter(subkey)) return ERROR_INVALID_PARAMETER;
  const std::wstring sub(subkey);
  HKEY key = nullptr;
  const LSTATUS rc =
      ::RegOpenKeyExW(ToHkey(parent), sub.c_str(), REG_OPTION_OPEN_LINK, access, &key);
  if (rc == ERROR_SUCCESS) *result = FromHkey(key);
  return rc;
}

ErrorCode CWin32Registry::CloseKey(RegHandle key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  return ::RegCloseKey(ToHkey(key));
}

ErrorCode CWin32Registry::EnumKey(RegHandle key, std::uint32_t index, wchar_t* name,
                                  std::uint32_t* nameChars) {
  if (name == nullptr || nameChars == nullptr) return ERROR_INVALID_PARAMETER;
  DWORD chars = *nameChars;
  const LSTATUS rc =
      ::RegEnumKeyExW(ToHkey(key), index, name, &chars, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) *nameChars = chars;
  return rc;
}

ErrorCode CWin32Registry::EnumValue(RegHandle key, std::uint32_t index, wchar_t* name,
                                    std::uint32_t* nameChars, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* dataBytes) {
  if (data != nullptr && dataBytes == nullptr) return ERROR_INVALID_PARAMETER;
  if (name != nullptr && nameChars == nullptr) return ERROR_INVALID_PARAMETER;
  // RegEnumValueW wants a name buffer; lend one of the longest name's size when none is given.
  std::vector<wchar_t> spare;
  DWORD chars = 0;
  if (name == nullptr) {
    spare.resize(16384);
    name = spare.data();
    chars = static_cast<DWORD>(spare.size());
  } else {
    chars = *nameChars;
  }
  DWORD valueType = 0;
  DWORD bytes = dataBytes != nullptr ? *dataBytes : 0;
  const LSTATUS rc = ::RegEnumValueW(ToHkey(key), index, name, &chars, nullptr, &valueType, data,
                                     dataBytes != nullptr ? &bytes : nullptr);
  if (rc == ERROR_SUCCESS && spare.empty()) *nameChars = chars;
  if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
    if (type != nullptr) *type = valueType;
    if (dataBytes != nullptr) *dataBytes = bytes;
  }
  return rc;
}

ErrorCode CWin32Registry::QueryValue(RegHandle key, std::wstring_view name, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* dataBytes) {
  if (data != nullptr && dataBytes == nullptr) return ERROR_INVALID_PARAMETER;
  if (HasNulCharacter(name)) return ERROR_INVALID_PARAMETER;
  const std::wstring valueName(name);
  DWORD valueType = 0;
  DWORD bytes = dataBytes != nullptr ? *dataBytes : 0;
  const LSTATUS rc = ::RegQueryValueExW(ToHkey(key), valueName.c_str(), nullptr, &valueType, data,
                                        dataBytes != nullptr ? &bytes : nullptr);
  if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
    if (type != nullptr) *type = valueType;
    if (dataBytes != nullptr) *dataBytes = bytes;
  }
  return rc;
}

ErrorCode CWin32Registry::SetValue(RegHandle key, std::wstring_view name, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t dataBytes) {
  if (data == nullptr && dataBytes != 0) return ERROR_INVALID_PARAMETER;
  if (HasNulCharacter(name)) return ERROR_INVALID_PARAMETER;
  const std::wstring valueName(name);
  if (!IsStringType(type) || dataBytes == 0) {
    return ::RegSetValueExW(ToHkey(key), valueName.c_str(), 0, type, data, dataBytes);
  }
  // RegSetValueExW looks at the character before and after the given string data (Windows and
  // Wine both add the terminator to the count when the data ends without one but a NUL follows).
  // Copy the data between non-NUL guard characters so exactly these bytes are stored and nothing
  // outside the caller's buffer is read.
  constexpr std::size_t kGuard = 4;
  std::vector<std::uint8_t> guarded(kGuard + dataBytes + kGuard + 1, 0xFF);
  std::copy(data, data + dataBytes, guarded.begin() + kGuard);
  return ::RegSetValueExW(ToHkey(key), valueName.c_str(), 0, type, guarded.data() + kGuard,
                          dataBytes);
}

ErrorCode CWin32Registry::DeleteKey(RegHandle parent, std::wstring_view subkey) {
  if (HasNulCharacter(subkey)) return ERROR_INVALID_PARAMETER;
  const std::wstring sub(subkey);
  return ::RegDeleteKeyW(ToHkey(parent), sub.c_str());
}

ErrorCode CWin32Registry::DeleteOpenedKey(RegHandle key) {
  // A predefined root is no key handle of its own; never hand it to NtDeleteKey.
  if (IsPredefined(key)) return ERROR_ACCESS_DENIED;
  const NTDLL_EXPORTS& ntdll = NtDll();
  if (ntdll.deleteKey == nullptr || ntdll.toDosError == nullptr) return ERROR_PROC_NOT_FOUND;
  const LONG status = ntdll.deleteKey(reinterpret_cast<HANDLE>(ToHkey(key)));
  if (status == 0) return ERROR_SUCCESS;
  return static_cast<ErrorCode>(ntdll.toDosError(status));
}

ErrorCode CWin32Registry::DeleteValue(RegHandle key, std::wstring_view name) {
  if (HasNulCharacter(name)) return ERROR_INVALID_PARAMETER;
  const std::wstring valueName(name);
  return ::RegDeleteValueW(ToHkey(key), valueName.c_str());
}

ErrorCode CWin32Registry::QueryInfoKey(RegHandle key, std::uint32_t* subkeys,
                                       std::uint32_t* values) {
  DWORD keyCount = 0;
  DWORD valueCount = 0;
  const LSTATUS rc = ::RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &keyCount,
                                        nullptr, nullptr, &valueCount, nullptr, nullptr, nullptr,
                                        nullptr);
  if (rc == ERROR_SUCCESS) {
    if (subkeys != nullptr) *subkeys = keyCount;
    if (values != nullptr) *values = valueCount;
  }
  return rc;
}

std::wstring CWin32Registry::CurrentUserHiveName() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const CUniqueHandle<CWin32HandleTraits> owned(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid,
                                &text)) {
    return {};
  }
  std::wstring name(text);
  ::LocalFree(text);
  return name;
}

}  // namespace qv
