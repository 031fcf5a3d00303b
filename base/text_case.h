// Upper and lower case, and white space: the one case table of the whole system, used by the
// engine to compare and clean paths and by the in-memory registry and file system to compare
// names. One definition for both builds, so a path or a key name folds the same way natively and
// on Windows.
//
// The table is the simple case mapping of Windows for the Basic Multilingual Plane
// (CharUpperBuffW and CharLowerBuffW, generated into case_table.inc by scripts/gen-case-table):
// every letter pairs as Windows pairs it (y with diaeresis with U+0178, Greek and Cyrillic and
// the other scripts included); a unit without a single-unit counterpart (the micro sign, sharp s,
// dotless i, final sigma) stays as it is, and so does every unit outside the plane. The conversion
// maps one UTF-16 unit to one, so it never changes the length of a text and positions found in a
// converted copy are valid in the original.
#pragma once

#include <string>
#include <string_view>

namespace qv {

[[nodiscard]] wchar_t ToUpperChar(wchar_t c);
[[nodiscard]] wchar_t ToLowerChar(wchar_t c);
[[nodiscard]] std::wstring ToUpper(std::wstring_view text);
[[nodiscard]] std::wstring ToLower(std::wstring_view text);

// The folded form of a name: its UTF-16 code units, upper-cased. Equal folded forms are the same
// name; folded forms order names as Windows enumerates registry keys (units compared by value
// after upcasing, so "AB" sorts before "a_b": 'B' < '_').
[[nodiscard]] std::u16string FoldCase(std::wstring_view name);
// The same into a buffer the caller keeps (its storage is reused: no allocation once it is big
// enough).
void FoldCaseInto(std::wstring_view name, std::u16string* folded);
[[nodiscard]] bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// ASCII letters only: A-Z to a-z, every other character unchanged (the exclusion lists' rule).
[[nodiscard]] wchar_t ToLowerAsciiChar(wchar_t c);
[[nodiscard]] std::wstring ToLowerAscii(std::wstring_view text);
[[nodiscard]] bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);

}  // namespace qv
