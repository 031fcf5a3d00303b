// Case-insensitive names for the in-memory registry and file system, compared the way Windows
// compares registry and NTFS names: each UTF-16 code unit is upcased, then the units are compared
// by value (so "AB" sorts before "a_b": 'B' < '_').
#pragma once

#include <string>
#include <string_view>

namespace qv {

// Upper case of one UTF-16 code unit (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic; other
// units stay as they are).
char16_t UpcaseUnit(char16_t unit);
// The folded form of a name: its UTF-16 code units, upcased. Equal folded forms are the same name;
// folded forms order names as Windows enumerates them.
std::u16string FoldCase(std::wstring_view name);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

}  // namespace qv
