// The real registry through ADVAPI32 (and NtDeleteKey of ntdll.dll for DeleteOpenedKey).
// RegHandle values are HKEY values; the predefined roots keep the 32-bit values of
// platform/registry.h on the way in and out, so callers never see Windows' sign-extended
// spelling of them.
#pragma once

#include <windows.h>

#include "platform/registry.h"

namespace qv {

class CWin32Registry final : public IRegistry {
 public:
  // Converts between the seam's handle values and HKEY.
  [[nodiscard]] static HKEY ToHkey(RegHandle handle);
  [[nodiscard]] static RegHandle FromHkey(HKEY key);

  [[nodiscard]] ErrorCode OpenKey(RegHandle parent, std::wstring_view subkey, std::uint32_t access,
                                  RegHandle* result) override;
  [[nodiscard]] ErrorCode CreateKey(RegHandle parent, std::wstring_view subkey,
                                    std::uint32_t access, RegHandle* result,
                                    bool* created) override;
  [[nodiscard]] ErrorCode OpenKeyNoFollow(RegHandle parent, std::wstring_view subkey,
                                          std::uint32_t access, RegHandle* result) override;
  ErrorCode CloseKey(RegHandle key) override;
  [[nodiscard]] ErrorCode EnumKey(RegHandle key, std::uint32_t index, wchar_t* name,
                                  std::uint32_t* nameChars) override;
  [[nodiscard]] ErrorCode EnumValue(RegHandle key, std::uint32_t index, wchar_t* name,
                                    std::uint32_t* nameChars, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* dataBytes) override;
  [[nodiscard]] ErrorCode QueryValue(RegHandle key, std::wstring_view name, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* dataBytes) override;
  // String data is passed so that RegSetValueExW stores exactly the bytes given: left alone,
  // it adds a terminator to the count when the character after the data happens to be a NUL.
  [[nodiscard]] ErrorCode SetValue(RegHandle key, std::wstring_view name, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t dataBytes) override;
  [[nodiscard]] ErrorCode DeleteKey(RegHandle parent, std::wstring_view subkey) override;
  // NtDeleteKey, looked up in ntdll.dll (ERROR_PROC_NOT_FOUND when it is missing); its status
  // is mapped to a Win32 error with RtlNtStatusToDosError.
  [[nodiscard]] ErrorCode DeleteOpenedKey(RegHandle key) override;
  [[nodiscard]] ErrorCode DeleteValue(RegHandle key, std::wstring_view name) override;
  [[nodiscard]] ErrorCode QueryInfoKey(RegHandle key, std::uint32_t* subkeys,
                                       std::uint32_t* values) override;
  // The process token's user as a SID string, as the system names that user's hive.
  [[nodiscard]] std::wstring CurrentUserHiveName() override;
};

}  // namespace qv
