// An in-memory registry with the observable behaviour of the Windows one, for unit tests and
// for running a whole scan or repair without touching the machine.
//
// What it keeps as Windows does:
//  - names compare without case and keep the case they were created with;
//  - subkeys enumerate sorted without case (upcased UTF-16 units), values in creation order;
//  - the caller's buffer limits: names in characters including the NUL, data in bytes; an item
//    that does not fit fails with kErrorMoreData (with the needed data size reported); past the
//    end kErrorNoMoreItems; string data that is not terminated gets a NUL appended in the
//    caller's buffer when there is room (not counted), as RegQueryValueExW does;
//  - data is stored exactly as given (no terminator added);
//  - handle access rights: reading values needs kKeyQueryValue, enumerating subkeys
//    kKeyEnumerateSubKeys, writing values kKeySetValue; predefined roots have every right;
//  - DeleteKey refuses a key that still has subkeys (kErrorAccessDenied); a handle to a deleted
//    key fails with kErrorKeyDeleted; unknown handles fail with kErrorInvalidHandle;
//  - DeleteOpenedKey deletes the key of the handle (it needs kDeleteAccess), with the same
//    refusals; predefined roots and the keys they stand for are never deleted;
//  - links (CreateLink): OpenKey and CreateKey follow a link wherever it stands in the path;
//    OpenKeyNoFollow takes the last component as it is, so on a link's own path it gives the
//    link key (one value SymbolicLinkValue of type REG_LINK, no subkeys); the parent enumerates
//    the link's name; DeleteKey on a link's path deletes the link's TARGET (as Windows and Wine
//    do), while DeleteOpenedKey on a no-follow handle removes the link itself. A link's target
//    need not exist (opening through it then fails with kErrorFileNotFound).
//
// The predefined roots:
//  - HKEY_LOCAL_MACHINE and HKEY_USERS are the two real trees;
//  - HKEY_CURRENT_USER is HKEY_USERS\S-1-5-21-0-0-0-1000 (kCurrentUserSid), so a walk of
//    HKEY_USERS sees the user's keys; HKEY_USERS\.DEFAULT exists too;
//  - HKEY_CURRENT_CONFIG is HKLM\System\CurrentControlSet\Hardware Profiles\Current;
//  - HKEY_CLASSES_ROOT is the merged view of HKLM\Software\Classes and
//    HKCU\Software\Classes: a key exists when it exists in either; subkeys enumerate as the
//    sorted union; values are the user key's values followed by the machine key's values that
//    the user key does not hide (a value in both reads as the user's). New keys are created under
//    HKLM\Software\Classes; a value is written to the user key when the key exists there,
//    otherwise to the machine key; a delete removes the user's copy when there is one, otherwise
//    the machine's;
//  - HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA open but are empty and refuse writes.
//
// Test conveniences take full key text ("HKEY_LOCAL_MACHINE\Software\X", or HKLM\..., HKCU\...,
// HKCR\..., HKU\..., HKCC\...) and throw std::invalid_argument when the root is unknown or the
// operation fails, so a test tree is built in a few lines:
//
//   CMemoryRegistry reg;
//   reg.SetString(L"HKLM\\Software\\App", L"Path", L"C:\\App\\app.exe");
//   reg.SetDword(L"HKCU\\Software\\App", L"Count", 3);
//   reg.DenyAccess(L"HKLM\\Software\\Locked", kKeyAllAccess & ~kKeyRead);
//   reg.CreateLink(L"HKLM\\Software\\A\\Link", L"HKLM\\Software\\Elsewhere");
//
// Names with NUL characters: the IRegistry operations refuse a subkey path or value name that
// holds one (kErrorInvalidParameter), as the Win32 implementation does; the test conveniences
// take names as counted strings, as the native API of Windows does, so a test can make such a
// key or value (CreatePath, SetValueRaw with a name that holds L'\0') and see it enumerated at
// its full length.
//
// All operations are safe to call from several threads (one lock).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qv {

class CMemoryRegistry final : public IRegistry {
 public:
  static constexpr std::wstring_view kCurrentUserSid = L"S-1-5-21-0-0-0-1000";
  static constexpr std::wstring_view kCurrentConfigPath =
      L"System\\CurrentControlSet\\Hardware Profiles\\Current";
  // Longest key name component Windows accepts (characters). Not enforced (Wine accepts longer
  // names); the conveniences size their buffers from it.
  static constexpr std::size_t kMaxKeyNameChars = 255;

  CMemoryRegistry();
  ~CMemoryRegistry() override;
  CMemoryRegistry(const CMemoryRegistry&) = delete;
  CMemoryRegistry& operator=(const CMemoryRegistry&) = delete;

  // IRegistry
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
  [[nodiscard]] ErrorCode SetValue(RegHandle key, std::wstring_view name, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t dataBytes) override;
  [[nodiscard]] ErrorCode DeleteKey(RegHandle parent, std::wstring_view subkey) override;
  [[nodiscard]] ErrorCode DeleteOpenedKey(RegHandle key) override;
  [[nodiscard]] ErrorCode DeleteValue(RegHandle key, std::wstring_view name) override;
  [[nodiscard]] ErrorCode QueryInfoKey(RegHandle key, std::uint32_t* subkeys,
                                       std::uint32_t* values) override;
  [[nodiscard]] std::wstring CurrentUserHiveName() override {
    return std::wstring(kCurrentUserSid);
  }

  // ---- Test conveniences (full key text; throw std::invalid_argument on failure) ----
  // Creates the key and every missing level.
  void CreatePath(std::wstring_view keyPath);
  // REG_SZ / REG_EXPAND_SZ with a terminating NUL.
  void SetString(std::wstring_view keyPath, std::wstring_view valueName, std::wstring_view text);
  void SetExpandString(std::wstring_view keyPath, std::wstring_view valueName,
                       std::wstring_view text);
  // REG_MULTI_SZ: each string with its NUL, then the final NUL.
  void SetMultiString(std::wstring_view keyPath, std::wstring_view valueName,
                      const std::vector<std::wstring>& strings);
  void SetDword(std::wstring_view keyPath, std::wstring_view valueName, std::uint32_t value);
  // Any type, bytes exactly as given (for unterminated strings, odd sizes, binary data).
  void SetValueRaw(std::wstring_view keyPath, std::wstring_view valueName, std::uint32_t type,
                   const std::vector<std::uint8_t>& bytes);
  // Removes the key and its subtree (no-op when missing). A link at the end of the path is
  // removed itself; no link's target is touched.
  void RemovePath(std::wstring_view keyPath);
  // Makes the key at linkKeyPath (its parent levels are created; the key itself must not exist)
  // a link to targetKeyPath, which need not exist: one value SymbolicLinkValue of type REG_LINK
  // holding NativePath(targetKeyPath) as UTF-16 without a terminator, no subkeys.
  void CreateLink(std::wstring_view linkKeyPath, std::wstring_view targetKeyPath);
  // The native path of a key text: \Registry\Machine\... (HKLM, HKCR, HKCC) or
  // \Registry\User\... (HKU, HKCU).
  [[nodiscard]] static std::wstring NativePath(std::wstring_view keyPath);
  // Opening the key (OpenKey, CreateKey) with an access that includes any bit of `mask` fails
  // with kErrorAccessDenied from now on. The key must exist.
  void DenyAccess(std::wstring_view keyPath, std::uint32_t mask);

  [[nodiscard]] bool KeyExists(std::wstring_view keyPath);
  [[nodiscard]] bool ValueExists(std::wstring_view keyPath, std::wstring_view valueName);
  // The value as text (up to its first NUL); nullopt when the key or value is missing.
  [[nodiscard]] std::optional<std::wstring> GetString(std::wstring_view keyPath,
                                                      std::wstring_view valueName);
  [[nodiscard]] std::optional<std::uint32_t> GetDword(std::wstring_view keyPath,
                                                      std::wstring_view valueName);
  // Type and bytes of the value; nullopt when missing.
  struct CRawValue {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
  };
  [[nodiscard]] std::optional<CRawValue> GetValueRaw(std::wstring_view keyPath,
                                                     std::wstring_view valueName);
  // Names in enumeration order (throw when the key is missing).
  [[nodiscard]] std::vector<std::wstring> SubkeyNames(std::wstring_view keyPath);
  [[nodiscard]] std::vector<std::wstring> ValueNames(std::wstring_view keyPath);
  // Handles handed out and not yet closed (tests check that every opened key was closed).
  [[nodiscard]] std::size_t OpenHandleCount();

  // Splits "HKLM\Software\X" into the root handle and the subkey path (accepts the seven full
  // names and their abbreviations, any case; a forward slash also ends the root name).
  [[nodiscard]] static bool SplitKeyPath(std::wstring_view keyPath, RegHandle* root,
                                         std::wstring_view* subkey);

  struct CNode;  // a key of the tree (internal)

 private:
  struct CTarget;
  struct CHandleEntry;

  // QueryValue and SetValue for any name, NUL characters included (the test conveniences).
  [[nodiscard]] ErrorCode QueryValueAnyName(RegHandle key, std::wstring_view name,
                                            std::uint32_t* type, std::uint8_t* data,
                                            std::uint32_t* dataBytes);
  [[nodiscard]] ErrorCode SetValueAnyName(RegHandle key, std::wstring_view name,
                                          std::uint32_t type, const std::uint8_t* data,
                                          std::uint32_t dataBytes);
  [[nodiscard]] ErrorCode ResolveLocked(RegHandle handle, std::uint32_t needed, CTarget* target);
  [[nodiscard]] ErrorCode OpenOrCreateLocked(RegHandle parent, std::wstring_view subkey,
                                             std::uint32_t access, bool create, bool noFollow,
                                             RegHandle* result, bool* created);
  // The key at `parts` below `node`, following links (the last component only with
  // `followLast`), creating missing levels with `create`; null when there is none.
  std::shared_ptr<CNode> WalkLocked(std::shared_ptr<CNode> node,
                                    const std::vector<std::wstring_view>& parts, bool create,
                                    bool followLast, int depth, bool* madeOne);
  std::shared_ptr<CNode> FollowLinkLocked(CNode& link, bool create, int depth, bool* madeOne);
  // The tree roots and the keys the predefined handles stand for: never deleted.
  bool IsRootNodeLocked(const std::shared_ptr<CNode>& node);
  [[nodiscard]] ErrorCode DeleteLocked(RegHandle parent, std::wstring_view subkey, bool tree);
  RegHandle AddHandleLocked(CHandleEntry entry);
  // The open handle's entry, or null when the handle is not one of this registry's open keys.
  [[nodiscard]] CHandleEntry* FindHandleLocked(RegHandle handle);
  bool EraseHandleLocked(RegHandle handle);
  // Opens the key by full text with the given access (throws on a bad root).
  [[nodiscard]] ErrorCode OpenPath(std::wstring_view keyPath, bool create, std::uint32_t access,
                                   RegHandle* result);

  std::recursive_mutex m_lock;
  std::shared_ptr<CNode> m_machine;
  std::shared_ptr<CNode> m_users;
  std::shared_ptr<CNode> m_performance;
  std::shared_ptr<CNode> m_dynData;
  // Open handles: a slot each, reused once closed. A handle value names its slot and the slot's
  // use (a number bumped on every close), so a closed handle never reaches the key that a later
  // open gets in the same slot.
  std::vector<std::unique_ptr<CHandleEntry>> m_slots;
  std::vector<std::uint32_t> m_slotUses;
  std::vector<std::size_t> m_freeSlots;
  std::size_t m_openHandles = 0;
  std::unique_ptr<CHandleEntry> m_classesRootEntry;  // the predefined HKEY_CLASSES_ROOT view
  std::u16string m_folded;                          // a name being looked up (under the lock)
  std::vector<std::wstring_view> m_parts;           // the parts of a path being opened
  std::uint64_t m_generation = 0;  // bumped on every change of the key structure
};

}  // namespace qv
