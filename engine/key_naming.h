// How the system writes registry keys as text: the root's full name, a backslash, then the
// subkey path with backslash separators (HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\...). The empty
// subkey path denotes the root itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qv {

// The full name of a predefined root; the empty text for any other handle.
[[nodiscard]] std::wstring_view RootKeyName(RegHandle root);

struct PARSED_KEY_PATH {
  RegHandle root = kNullRegHandle;  // null: the text names no known root
  // Position of the subkey path in the text; 0 when there is none (the key is the root itself).
  std::size_t subkeyOffset = 0;
};

// Splits key-path text into its root and the position of its subkey path.
//
// The root name is the text before the first backslash or forward slash, looked at within the
// first 31 characters of the text, with leading and trailing blanks removed, in any case; it may
// be a full name (HKEY_LOCAL_MACHINE) or an abbreviation (HKLM, HKCR, HKCU, HKU, HKPD, HKCC,
// HKDD). A root segment that runs on past those 31 characters with anything but blanks names no
// root. The subkey path starts right after the separator, provided at least one character
// follows it; otherwise the offset is 0.
[[nodiscard]] PARSED_KEY_PATH ParseRootKey(std::wstring_view keyPath);

// The subkey path of a parsed key-path text (empty when the offset is 0).
[[nodiscard]] std::wstring_view SubkeyPath(std::wstring_view keyPath, const PARSED_KEY_PATH& parsed);

// ---- The two views of the registry on 64-bit Windows ----
//
// A 64-bit program (this one) sees the 64-bit view at the ordinary paths. The 32-bit view, where
// 32-bit programs keep what Windows redirects (the machine's software keys, COM classes), lies
// below keys named Wow6432Node: HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node for the software keys,
// HKEY_CLASSES_ROOT\Wow6432Node for the classes. A key of the 32-bit view is named by that real
// path, so every part of the program that works on key paths works on it unchanged. A 32-bit
// Windows has no such keys.
enum REGISTRY_VIEW : int { VIEW_64BIT = 0, VIEW_32BIT = 1 };

inline constexpr std::wstring_view kWow64NodeName = L"Wow6432Node";

// Whether a key name is the 32-bit view's node: exactly "Wow6432Node", compared as registry
// names compare (without case). "Wow6432NodeLike" is an ordinary key.
[[nodiscard]] bool IsWow64Node(std::wstring_view keyName);
// Whether a subkey path passes through such a key (any of its elements is one).
[[nodiscard]] bool PassesWow64Node(std::wstring_view subkeyPath);

// A key of the machine's software (a path below HKEY_LOCAL_MACHINE whose first element is
// SOFTWARE, in any case) in the view: the 32-bit view's has Wow6432Node after that first element.
[[nodiscard]] std::wstring SoftwareKeyInView(std::wstring_view softwareKey, REGISTRY_VIEW view);
// A key below HKEY_CLASSES_ROOT in the view: the 32-bit view's is below Wow6432Node (the empty
// path: the classes root of the view).
[[nodiscard]] std::wstring ClassesKeyInView(std::wstring_view classesKey, REGISTRY_VIEW view);

// The views a check of the machine's software keys, or of the classes, examines, in that order:
// the 64-bit view, then the 32-bit one when the machine has it (HKEY_LOCAL_MACHINE\SOFTWARE,
// respectively HKEY_CLASSES_ROOT, holds a Wow6432Node key).
[[nodiscard]] std::vector<REGISTRY_VIEW> SoftwareViews(IRegistry& registry);
[[nodiscard]] std::vector<REGISTRY_VIEW> ClassesViews(IRegistry& registry);

// A path as shown to the user: every HKEY_LOCAL_MACHINE becomes HKLM, then HKEY_CURRENT_USER
// HKCU, then HKEY_CLASSES_ROOT HKCR, then HKEY_USERS HKU (exact case).
[[nodiscard]] std::wstring AbbreviateRootNames(std::wstring_view path);

}  // namespace qv
