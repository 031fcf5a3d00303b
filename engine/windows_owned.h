// Windows' own configuration: the registry areas that Windows owns, where a problem is never
// reported. A shipped list may hold "W" records, each naming one such area (see OWNED_AREA and
// docs/windows-owned.md); the rows of windows-owned.wls are also built into the program. The
// code here reads a record into an area and tells whether an area covers a problem's key; it
// touches no file and no registry (reading the lists is the .wls format's, wls_format.h, and
// deciding when the areas apply is the exclusion lists', exclusion_lists.h).
//
// The records carry no identity: they are never shown on the ignore list page, never counted as
// shipped entries and never written to ignore.wls, and a "W" record in the user's own ignore.wls
// is not honoured (that file is the user's ignore list only).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qv {

// A registry area that Windows owns: the key a "W" record names and every key below it (a key
// whose name merely begins with the same letters is not below it), for every category or for
// one. The record: the type line "W" (every category) or "W" and a category index ("W9": empty
// keys only); the text line a key path, its first element a root (full name or abbreviation, as
// ParseRootKey reads it) or kEachUserRoot (every user's hive, as the checks name it:
// HKEY_CURRENT_USER\..., and HKEY_USERS\<any one hive>\...), each further element a key name
// compared without case, or "*" for any one key name.
struct OWNED_AREA {
  static constexpr int kAnyCategory = -1;
  int category = kAnyCategory;
  bool eachUser = false;               // the root is every user's hive
  RegHandle root = kNullRegHandle;     // otherwise this root
  std::vector<std::wstring> elements;  // below the root

  friend bool operator==(const OWNED_AREA&, const OWNED_AREA&) = default;
};

inline constexpr wchar_t kOwnedAreaType = L'W';
inline constexpr wchar_t kEachUserRoot[] = L"HKEY_EACH_USER";
inline constexpr wchar_t kAnyKeyName[] = L"*";
// The list of Windows' own areas that ships beside the program (one of its *.wls files). Its
// rows are also built into the program (BuiltInWindowsOwnedList): when the file is missing,
// cannot be read or holds no row, the built-in rows apply, and kBuiltInOwnedRowsNotice
// (engine_texts.inc; %s: the file's path) says so: each scan logs it and the front ends show it.
inline constexpr wchar_t kWindowsOwnedListName[] = L"windows-owned.wls";
// The bytes of windows-owned.wls as it was when the program was built (generated from
// data/windows-owned.wls).
[[nodiscard]] std::string_view BuiltInWindowsOwnedList();

// Reads one "W" record: false (and *area unchanged) when the type line is not "W" with nothing
// or a category index 0-10 after it (white space aside), or the path names no root, or holds an
// empty element.
[[nodiscard]] bool ParseOwnedArea(std::wstring_view typeLine, std::wstring_view keyPath,
                                  OWNED_AREA* area);
// Whether a problem of the category whose key (a full key path, beginning with the root's full
// name) is `key` lies in the area.
[[nodiscard]] bool OwnedAreaCovers(const OWNED_AREA& area, int category, std::wstring_view key);
// Whether any of the areas covers it: the answer of OwnedAreaCovers for each area in turn, with
// the key's root and first names read once for all of them (the scan asks for every problem).
[[nodiscard]] bool AnyOwnedAreaCovers(const std::vector<OWNED_AREA>& areas, int category,
                                      std::wstring_view key);

}  // namespace qv
