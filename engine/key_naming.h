// How the system writes registry keys as text: the root's full name, a backslash, then the
// subkey path with backslash separators (HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\...). The empty
// subkey path denotes the root itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

// A path as shown to the user: every HKEY_LOCAL_MACHINE becomes HKLM, then HKEY_CURRENT_USER
// HKCU, then HKEY_CLASSES_ROOT HKCR, then HKEY_USERS HKU (exact case).
[[nodiscard]] std::wstring AbbreviateRootNames(std::wstring_view path);

}  // namespace qv
