#include "engine/text_case.h"

namespace qv {

namespace {

constexpr wchar_t kLatinSmallYDiaeresis = 0x00FF;
constexpr wchar_t kLatinCapitalYDiaeresis = 0x0178;
constexpr wchar_t kMultiplicationSign = 0x00D7;
constexpr wchar_t kDivisionSign = 0x00F7;

}  // namespace

wchar_t ToUpperChar(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x00E0 && c <= 0x00FE && c != kDivisionSign) return static_cast<wchar_t>(c - 0x20);
  if (c == kLatinSmallYDiaeresis) return kLatinCapitalYDiaeresis;
  return c;
}

wchar_t ToLowerChar(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 0x20);
  if (c >= 0x00C0 && c <= 0x00DE && c != kMultiplicationSign) return static_cast<wchar_t>(c + 0x20);
  if (c == kLatinCapitalYDiaeresis) return kLatinSmallYDiaeresis;
  return c;
}

std::wstring ToUpper(std::wstring_view text) {
  std::wstring result(text);
  for (wchar_t& c : result) c = ToUpperChar(c);
  return result;
}

std::wstring ToLower(std::wstring_view text) {
  std::wstring result(text);
  for (wchar_t& c : result) c = ToLowerChar(c);
  return result;
}

bool IsWhiteSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

std::wstring_view TrimWhiteSpace(std::wstring_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace qv
