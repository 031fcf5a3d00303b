// Small text helpers every layer shares: white space and trimming, the decimal conversions the
// settings and the list files use, "%s" formatting and key and path joining.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qv {

// Blank, tab, line feed, vertical tab, form feed, carriage return.
[[nodiscard]] constexpr bool IsWhiteSpace(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r');
}
[[nodiscard]] std::wstring_view TrimWhiteSpace(std::wstring_view text);

// Every character U+0000-U+007F.
[[nodiscard]] bool IsAscii(std::wstring_view text);

// The runtime's decimal conversion (wcstol/_wtoi as the system reads stored numbers): leading
// white space, an optional sign, then as many decimal digits as follow; no digits gives 0. The
// result saturates at the 32-bit limits (INT_MAX, INT_MIN) instead of overflowing.
[[nodiscard]] int ParseLeadingInt(std::wstring_view text);

// The number in decimal, with a minus sign when negative.
[[nodiscard]] std::wstring DecimalText(std::int64_t value);

// Replaces each "%s" of the format by the next argument (a "%s" without one becomes nothing) and
// each "%%" by "%"; every other character is copied. The formats of the system's texts use no
// other conversion.
[[nodiscard]] std::wstring FormatWithStrings(std::wstring_view format,
                                             std::initializer_list<std::wstring_view> args);

// "first\second", the "%s\\%s" of the checks: a key path or a file path with one more element.
// The backslash is always put between them, as that format does.
[[nodiscard]] std::wstring JoinPath(std::wstring_view first, std::wstring_view second);

// The full path that `path` names for a process whose current folder is `currentFolder` (itself
// full: C:\x or \\server\share\x), by the rules of Windows paths: a path that begins with a
// drive and a separator, or with two separators (network and device paths), stays as it is; one
// that begins with a single separator starts at the current folder's root; "X:name" continues
// the current folder when X is its drive and starts at X's root otherwise (this process does not
// know another drive's current folder); any other path continues the current folder. "." and
// ".." parts of the added part are resolved, never above the root; / counts as \. Empty when
// `path` is empty; `path` as it is when the current folder is empty.
[[nodiscard]] std::wstring FullPath(std::wstring_view path, std::wstring_view currentFolder);

}  // namespace qv
