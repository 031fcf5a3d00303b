// Upper and lower case, and white space, as the engine compares and cleans text. One definition
// for both builds, so a path or key name folds the same way natively and on Windows.
//
// Case covers ASCII and Latin-1 the way the Windows character conversion (CharUpperW,
// CharLowerW) treats those characters: A-Z and U+00C0-U+00DE (except the multiplication sign
// U+00D7) pair with their lower-case forms; y with diaeresis (U+00FF) pairs with U+0178; the micro
// sign and sharp s have no single-character counterpart and stay as they are. Every other
// character is left unchanged. The conversion never changes the length of a text, so positions
// found in a converted copy are valid in the original.
#pragma once

#include <string>
#include <string_view>

namespace qv {

[[nodiscard]] wchar_t ToUpperChar(wchar_t c);
[[nodiscard]] wchar_t ToLowerChar(wchar_t c);
[[nodiscard]] std::wstring ToUpper(std::wstring_view text);
[[nodiscard]] std::wstring ToLower(std::wstring_view text);

// Blank, tab, line feed, vertical tab, form feed, carriage return.
[[nodiscard]] bool IsWhiteSpace(wchar_t c);
[[nodiscard]] std::wstring_view TrimWhiteSpace(std::wstring_view text);

}  // namespace qv
