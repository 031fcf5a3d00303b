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

namespace {

constexpr bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "X:" at the start.
bool HasDrive(std::wstring_view path) {
  return path.size() >= 2 && path[1] == L':' &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

// The length of the root of a full path: X: (2), or \\server\share; 0 when it has none.
std::size_t RootLength(std::wstring_view path) {
  if (HasDrive(path)) return 2;
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
  std::size_t at = 2;
  for (int part = 0; part < 2; ++part) {
    while (at < path.size() && !IsSeparator(path[at])) ++at;
    if (part == 0 && at < path.size()) ++at;
  }
  return at;
}

}  // namespace

std::wstring FullPath(std::wstring_view path, std::wstring_view currentFolder) {
  if (path.empty()) return {};
  const bool fullyQualified = (HasDrive(path) && path.size() >= 3 && IsSeparator(path[2])) ||
                              (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
  const std::size_t currentRoot = RootLength(currentFolder);
  if (fullyQualified || currentRoot == 0) return std::wstring(path);

  std::wstring full;
  std::size_t rootLength = currentRoot;
  std::wstring_view rest = path;
  if (IsSeparator(path[0])) {
    full = currentFolder.substr(0, currentRoot);
    rest.remove_prefix(1);
  } else if (HasDrive(path)) {
    const bool sameDrive = HasDrive(currentFolder) &&
                           (path[0] | 0x20) == (currentFolder[0] | 0x20);
    full = sameDrive ? std::wstring(currentFolder) : std::wstring(path.substr(0, 2));
    rootLength = 2;
    rest.remove_prefix(2);
  } else {
    full = currentFolder;
  }
  while (full.size() > rootLength && IsSeparator(full.back())) full.pop_back();

  while (!rest.empty()) {
    std::size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::wstring_view part = rest.substr(0, end);
    rest.remove_prefix(end < rest.size() ? end + 1 : end);
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      const std::size_t slash = full.find_last_of(L"\\/");
      if (full.size() > rootLength) {
        full.resize(slash == std::wstring::npos || slash < rootLength ? rootLength : slash);
      }
      continue;
    }
    full += L'\\';
    full += part;
  }
  if (full.size() == rootLength) full += L'\\';
  return full;
}

}  // namespace qv
