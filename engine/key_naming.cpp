#include "engine/key_naming.h"

#include <array>
#include <utility>

#include "base/text_case.h"

namespace qv {

namespace {

// The fourteen spellings (kRootSpellings, platform/registry.h) are a constant table: it is
// complete before any thread can look at it.

// The longest root name the parser looks at, in characters.
constexpr std::size_t kRootNameLimit = 31;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::size_t FindSeparator(std::wstring_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsSeparator(text[i])) return i;
  }
  return std::wstring_view::npos;
}

// Leading and trailing blanks only, as PathRemoveBlanksW removes them.
std::wstring_view RemoveBlanks(std::wstring_view text) {
  while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  return text;
}

}  // namespace

std::wstring_view RootKeyName(RegHandle root) {
  // The first seven spellings are the full names.
  for (std::size_t i = 0; i < 7; ++i) {
    if (kRootSpellings[i].root == root) return kRootSpellings[i].name;
  }
  return {};
}

PARSED_KEY_PATH ParseRootKey(std::wstring_view keyPath) {
  std::wstring_view copy = keyPath.substr(0, kRootNameLimit);
  const std::size_t separatorInCopy = FindSeparator(copy);
  if (separatorInCopy != std::wstring_view::npos) copy = copy.substr(0, separatorInCopy);
  const std::wstring cleaned = ToUpper(RemoveBlanks(copy));

  RegHandle root = kNullRegHandle;
  for (const ROOT_SPELLING& spelling : kRootSpellings) {
    if (spelling.name == cleaned) {
      root = spelling.root;
      break;
    }
  }
  if (root == kNullRegHandle) return {};

  const std::size_t separator = FindSeparator(keyPath);
  if (separatorInCopy == std::wstring_view::npos) {
    // The root segment is longer than the part looked at: what lies beyond must be blanks,
    // otherwise a longer name would pass for the root.
    const std::size_t segmentEnd = separator == std::wstring_view::npos ? keyPath.size() : separator;
    for (std::size_t i = kRootNameLimit; i < segmentEnd; ++i) {
      if (keyPath[i] != L' ') return {};
    }
  }

  PARSED_KEY_PATH parsed;
  parsed.root = root;
  // The subkey begins after the separator itself, so blanks around the root name do not shift it.
  if (separator != std::wstring_view::npos && separator + 1 < keyPath.size()) {
    parsed.subkeyOffset = separator + 1;
  }
  return parsed;
}

std::wstring_view SubkeyPath(std::wstring_view keyPath, const PARSED_KEY_PATH& parsed) {
  if (parsed.subkeyOffset == 0 || parsed.subkeyOffset >= keyPath.size()) return {};
  return keyPath.substr(parsed.subkeyOffset);
}

std::wstring AbbreviateRootNames(std::wstring_view path) {
  static constexpr std::array<std::pair<std::wstring_view, std::wstring_view>, 4> kAbbreviations = {{
      {kHkeyLocalMachineName, L"HKLM"},
      {kHkeyCurrentUserName, L"HKCU"},
      {kHkeyClassesRootName, L"HKCR"},
      {kHkeyUsersName, L"HKU"},
  }};
  std::wstring text(path);
  for (const auto& [fullName, abbreviation] : kAbbreviations) {
    std::size_t position = 0;
    while ((position = text.find(fullName, position)) != std::wstring::npos) {
      text.replace(position, fullName.size(), abbreviation);
      position += abbreviation.size();
    }
  }
  return text;
}

}  // namespace qv
