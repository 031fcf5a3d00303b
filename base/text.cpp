#include "base/text.h"

#include <climits>

namespace qv {

std::wstring_view TrimWhiteSpace(std::wstring_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool IsAscii(std::wstring_view text) {
  for (const wchar_t c : text) {
    if (static_cast<std::uint32_t>(c) > 0x7F) return false;
  }
  return true;
}

int ParseLeadingInt(std::wstring_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  constexpr std::int64_t kLimit = static_cast<std::int64_t>(INT_MAX) + 1;
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > kLimit) value = kLimit;  // stays saturated, never overflows
  }
  if (negative) return value >= kLimit ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::wstring DecimalText(std::int64_t value) {
  // The magnitude in unsigned arithmetic, so the smallest 64-bit number converts too.
  std::uint64_t magnitude = value < 0 ? ~static_cast<std::uint64_t>(value) + 1
                                      : static_cast<std::uint64_t>(value);
  wchar_t digits[24];
  std::size_t at = sizeof digits / sizeof digits[0];
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--at] = L'-';
  return std::wstring(digits + at, sizeof digits / sizeof digits[0] - at);
}

std::wstring FormatWithStrings(std::wstring_view format,
                               std::initializer_list<std::wstring_view> args) {
  std::wstring out;
  std::size_t argumentChars = 0;
  for (const std::wstring_view arg : args) argumentChars += arg.size();
  out.reserve(format.size() + argumentChars);
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size()) {
      if (format[i + 1] == L's') {
        if (next != args.end()) out += *next++;
        ++i;
        continue;
      }
      if (format[i + 1] == L'%') {
        out.push_back(L'%');
        ++i;
        continue;
      }
    }
    out.push_back(format[i]);
  }
  return out;
}

std::wstring JoinPath(std::wstring_view first, std::wstring_view second) {
  std::wstring text;
  text.reserve(first.size() + 1 + second.size());
  text += first;
  text += L'\\';
  text += second;
  return text;
}

}  // namespace qv
