// The registry as the engine sees it: the Win32 registry operations with their Windows meaning,
// error codes and buffer rules. Two implementations: platform/win32 (the real registry) and
// platform/memory (an in-memory tree with the same observable behaviour, for unit tests).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/unique_handle.h"

namespace qv {

// An open key or a predefined root. Predefined roots carry their Windows handle values; other
// handles are opaque values given out by the implementation (HKEY values in the Win32 one).
using RegHandle = std::uintptr_t;

inline constexpr RegHandle kHkeyClassesRoot = 0x80000000u;
inline constexpr RegHandle kHkeyCurrentUser = 0x80000001u;
inline constexpr RegHandle kHkeyLocalMachine = 0x80000002u;
inline constexpr RegHandle kHkeyUsers = 0x80000003u;
inline constexpr RegHandle kHkeyPerformanceData = 0x80000004u;
inline constexpr RegHandle kHkeyCurrentConfig = 0x80000005u;
inline constexpr RegHandle kHkeyDynData = 0x80000006u;
inline constexpr RegHandle kNullRegHandle = 0;

// Full names of the predefined roots, and the fourteen spellings by which key-path text names
// them (seven full names, then seven abbreviations), upper case.
inline constexpr std::wstring_view kHkeyClassesRootName = L"HKEY_CLASSES_ROOT";
inline constexpr std::wstring_view kHkeyCurrentUserName = L"HKEY_CURRENT_USER";
inline constexpr std::wstring_view kHkeyLocalMachineName = L"HKEY_LOCAL_MACHINE";
inline constexpr std::wstring_view kHkeyUsersName = L"HKEY_USERS";
inline constexpr std::wstring_view kHkeyPerformanceDataName = L"HKEY_PERFORMANCE_DATA";
inline constexpr std::wstring_view kHkeyCurrentConfigName = L"HKEY_CURRENT_CONFIG";
inline constexpr std::wstring_view kHkeyDynDataName = L"HKEY_DYN_DATA";

struct ROOT_SPELLING {
  std::wstring_view name;
  RegHandle root;
};

inline constexpr std::array<ROOT_SPELLING, 14> kRootSpellings = {{
    {kHkeyClassesRootName, kHkeyClassesRoot},
    {kHkeyCurrentUserName, kHkeyCurrentUser},
    {kHkeyLocalMachineName, kHkeyLocalMachine},
    {kHkeyUsersName, kHkeyUsers},
    {kHkeyPerformanceDataName, kHkeyPerformanceData},
    {kHkeyCurrentConfigName, kHkeyCurrentConfig},
    {kHkeyDynDataName, kHkeyDynData},
    {L"HKCR", kHkeyClassesRoot},
    {L"HKCU", kHkeyCurrentUser},
    {L"HKLM", kHkeyLocalMachine},
    {L"HKU", kHkeyUsers},
    {L"HKPD", kHkeyPerformanceData},
    {L"HKCC", kHkeyCurrentConfig},
    {L"HKDD", kHkeyDynData},
}};

// Access masks (Windows values).
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyCreateLink = 0x0020;
inline constexpr std::uint32_t kDeleteAccess = 0x00010000;  // DELETE
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyReadWriteCreate = 0x2001F;  // read + set value + create subkey
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Options of RegCreateKeyExW / RegOpenKeyExW (Windows values).
inline constexpr std::uint32_t kRegOptionCreateLink = 0x0002;
inline constexpr std::uint32_t kRegOptionOpenLink = 0x0008;

// A registry link is a key created with kRegOptionCreateLink whose value of this name, of type
// REG_LINK, holds the native path of the key it leads to (\Registry\Machine\..., UTF-16 without
// a terminator). Opening a path through a link opens the target.
inline constexpr std::wstring_view kSymbolicLinkValueName = L"SymbolicLinkValue";

// Value types (Windows values).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegResourceList = 8;
inline constexpr std::uint32_t kRegFullResourceDescriptor = 9;
inline constexpr std::uint32_t kRegResourceRequirementsList = 10;
inline constexpr std::uint32_t kRegQword = 11;

// The types whose data is UTF-16 text: REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ.
[[nodiscard]] constexpr bool IsStringType(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// Windows keeps a key tree at most this many levels deep. Every recursive walk of the registry
// stops descending there, so a tree that claims to be deeper (or a walk that keeps reaching the
// same key) ends instead of exhausting the stack.
inline constexpr int kMaxRegistryDepth = 512;

// Whether a key or value name holds a NUL character. The registry stores names as counted
// strings, so such names exist (any user can make one in his own hive through the native API),
// and enumeration returns them at their full length; but every operation below that takes a name
// takes it as Win32 text, which ends at the first NUL and would name another key or value (the
// parent itself, or a value of the shorter name). Such a name is refused by those operations
// (kErrorInvalidParameter) and passed over by every walk.
[[nodiscard]] constexpr bool HasNulCharacter(std::wstring_view name) {
  return name.find(L'\0') != std::wstring_view::npos;
}

// A registry name or path as a log line or message may show it: every NUL character written as
// the two characters "\0".
[[nodiscard]] std::wstring VisibleRegName(std::wstring_view name);

// Whether an enumeration result ends the enumeration of that key. Only an item too large for the
// caller's buffer (kErrorMoreData) is passed over; past the end, a key deleted meanwhile, a handle
// no longer good or one without the right fail at every later index as well.
[[nodiscard]] constexpr bool EndsEnumeration(ErrorCode rc) {
  return rc != kErrorSuccess && rc != kErrorMoreData;
}

// Registry operations. Every operation returns a Win32 error code (0 = success). Unless stated,
// on failure the out-parameters are unchanged. String data is stored as UTF-16LE bytes exactly as
// given (no terminator is added or required), so both builds see the same bytes. A subkey path
// or value name that holds a NUL character (HasNulCharacter) is refused with
// kErrorInvalidParameter by every operation that takes one; enumeration returns names at their
// full length, NUL characters included.
class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // RegOpenKeyExW: an empty subkey opens (a new handle to) the parent itself. On failure
  // *result is kNullRegHandle (OpenKey and CreateKey), as Windows leaves it.
  [[nodiscard]] virtual ErrorCode OpenKey(RegHandle parent, std::wstring_view subkey,
                                          std::uint32_t access, RegHandle* result) = 0;
  // RegCreateKeyExW: opens or creates every missing level; *created tells which (may be null).
  [[nodiscard]] virtual ErrorCode CreateKey(RegHandle parent, std::wstring_view subkey,
                                            std::uint32_t access, RegHandle* result,
                                            bool* created) = 0;
  // RegOpenKeyExW with REG_OPTION_OPEN_LINK: the key itself, never the target a link leads to.
  // Only the last component of the subkey path is taken as it is; links earlier in the path are
  // followed. Otherwise as OpenKey.
  [[nodiscard]] virtual ErrorCode OpenKeyNoFollow(RegHandle parent, std::wstring_view subkey,
                                                  std::uint32_t access, RegHandle* result) = 0;
  // RegCloseKey. Closing a predefined root is a no-op success.
  virtual ErrorCode CloseKey(RegHandle key) = 0;

  // RegEnumKeyExW: *nameChars is the buffer size in characters, including room for the NUL.
  // On success the name is written NUL-terminated and *nameChars is set to its length without
  // the NUL. A name that does not fit fails with kErrorMoreData. Past the end: kErrorNoMoreItems.
  [[nodiscard]] virtual ErrorCode EnumKey(RegHandle key, std::uint32_t index, wchar_t* name,
                                          std::uint32_t* nameChars) = 0;

  // RegEnumValueW: name buffer as for EnumKey; data may be null (then only *dataBytes is set to
  // the size needed); type and dataBytes may be null. A name or data that does not fit fails with
  // kErrorMoreData (with *dataBytes set to the size needed when the data was the reason).
  [[nodiscard]] virtual ErrorCode EnumValue(RegHandle key, std::uint32_t index, wchar_t* name,
                                            std::uint32_t* nameChars, std::uint32_t* type,
                                            std::uint8_t* data, std::uint32_t* dataBytes) = 0;

  // RegQueryValueExW: the empty name is the default value. data null: only the size is returned.
  // A buffer too small fails with kErrorMoreData and *dataBytes set to the size needed.
  [[nodiscard]] virtual ErrorCode QueryValue(RegHandle key, std::wstring_view name,
                                             std::uint32_t* type, std::uint8_t* data,
                                             std::uint32_t* dataBytes) = 0;

  // RegSetValueExW.
  [[nodiscard]] virtual ErrorCode SetValue(RegHandle key, std::wstring_view name, std::uint32_t type,
                                           const std::uint8_t* data, std::uint32_t dataBytes) = 0;

  // RegDeleteKeyW: fails (kErrorAccessDenied, as Windows does) when the key still has subkeys.
  // The path is followed through links, the last component too: on a link's path it deletes the
  // link's TARGET, not the link. A key that may be a link is deleted with DeleteOpenedKey.
  [[nodiscard]] virtual ErrorCode DeleteKey(RegHandle parent, std::wstring_view subkey) = 0;
  // NtDeleteKey on an open handle (opened with DELETE access, kDeleteAccess = 0x00010000):
  // deletes exactly that key (a link itself, never its target). Fails like RegDeleteKeyW when the
  // key has subkeys; kErrorAccessDenied for a handle without DELETE access and for a predefined
  // root, kErrorKeyDeleted when the key is already gone. The handle stays open (close it as
  // usual).
  [[nodiscard]] virtual ErrorCode DeleteOpenedKey(RegHandle key) = 0;
  // RegDeleteValueW.
  [[nodiscard]] virtual ErrorCode DeleteValue(RegHandle key, std::wstring_view name) = 0;

  // RegQueryInfoKeyW, the counts only (either pointer may be null).
  [[nodiscard]] virtual ErrorCode QueryInfoKey(RegHandle key, std::uint32_t* subkeys,
                                               std::uint32_t* values) = 0;

  // The name below HKEY_USERS of the hive HKEY_CURRENT_USER opens (the process's user's SID as
  // text, "S-1-5-21-..."); empty when it cannot be told.
  [[nodiscard]] virtual std::wstring CurrentUserHiveName() = 0;
};

struct CRegKeyTraits {
  using Handle = RegHandle;
  IRegistry* registry = nullptr;
  static constexpr Handle Invalid() { return kNullRegHandle; }
  void Close(Handle h) noexcept {
    if (registry != nullptr) static_cast<void>(registry->CloseKey(h));
  }
};

// A move-only open key: closed when it goes out of scope. Convenience readers keep the Win32
// buffer limits of the caller (a name or data item that does not fit fails with kErrorMoreData).
class CRegKey {
 public:
  CRegKey() = default;
  explicit CRegKey(IRegistry& registry) : m_key(kNullRegHandle, CRegKeyTraits{&registry}) {}

  [[nodiscard]] ErrorCode Open(RegHandle parent, std::wstring_view subkey, std::uint32_t access);
  [[nodiscard]] ErrorCode Create(RegHandle parent, std::wstring_view subkey, std::uint32_t access,
                                 bool* created = nullptr);
  // IRegistry::OpenKeyNoFollow: the key itself even when it is a link.
  [[nodiscard]] ErrorCode OpenNoFollow(RegHandle parent, std::wstring_view subkey,
                                       std::uint32_t access);
  void Close() { m_key.reset(); }

  [[nodiscard]] RegHandle get() const { return m_key.get(); }
  [[nodiscard]] bool valid() const { return m_key.valid(); }
  [[nodiscard]] IRegistry* registry() const { return m_key.traits().registry; }

  // The index-th subkey name, read with a buffer of maxChars characters (including the NUL).
  [[nodiscard]] ErrorCode EnumKeyName(std::uint32_t index, std::uint32_t maxChars,
                                      std::wstring* name) const;

  // A value read as text with a buffer of maxBytes bytes, the way the checks read registry
  // strings: any type is accepted, the data is taken up to its first NUL, and data that fills the
  // buffer without a NUL is cut at the buffer end (the last character gives way to the NUL).
  [[nodiscard]] ErrorCode QueryString(std::wstring_view valueName, std::uint32_t maxBytes,
                                      std::wstring* text, std::uint32_t* type = nullptr) const;

  // A whole value of any size: type and raw bytes.
  [[nodiscard]] ErrorCode QueryRaw(std::wstring_view valueName, std::uint32_t* type,
                                   std::vector<std::uint8_t>* data) const;

  // Sets a REG_SZ value to the text with its terminating NUL.
  [[nodiscard]] ErrorCode SetString(std::wstring_view valueName, std::wstring_view text) const;

  // Whether the open key is taken for a link: it holds a value SymbolicLinkValue of type
  // REG_LINK (needs kKeyQueryValue). Conservative: a plain key that merely holds such a value is
  // taken for a link too, so at worst a strange key is refused, never a link followed. Only
  // meaningful on a handle opened with OpenNoFollow (a followed handle is the target). On
  // failure *isLink is unchanged.
  [[nodiscard]] ErrorCode IsLink(bool* isLink) const;

 private:
  CUniqueHandle<CRegKeyTraits> m_key;
};

// Whether parent\subkey is a link (CRegKey::IsLink on the key opened no-follow with
// kKeyQueryValue). The open's error when it cannot be opened (kErrorFileNotFound when missing);
// *isLink is unchanged on failure.
[[nodiscard]] ErrorCode IsRegistryLink(IRegistry& registry, RegHandle parent,
                                       std::wstring_view subkey, bool* isLink);

}  // namespace qv
