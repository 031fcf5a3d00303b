// Windows' own areas (windows_owned.h): a "W" record read into an area, and whether an area covers
// a problem's key. Pure text work on key paths: no file, registry or list is touched here.
#include "engine/windows_owned.h"

#include <array>
#include <cstddef>
#include <utility>

#include "engine/categories.h"
#include "engine/key_naming.h"
#include "base/text.h"
#include "base/text_case.h"

namespace qv {
namespace {

// Takes the next element off a key path below its root: false when none is left.
bool NextKeyName(std::wstring_view* rest, std::wstring_view* name) {
  if (rest->empty()) return false;
  const std::size_t separator = rest->find(L'\\');
  *name = rest->substr(0, separator);
  *rest = separator == std::wstring_view::npos ? std::wstring_view() : rest->substr(separator + 1);
  return true;
}

// False when two characters differ whatever their case: both ASCII and not the same letter. (Of
// other characters only EqualsNoCase can tell.)
bool MayEqualNoCase(wchar_t a, wchar_t b) {
  return a >= 0x80 || b >= 0x80 || ToLowerAsciiChar(a) == ToLowerAsciiChar(b);
}

constexpr std::wstring_view kAnyKey(kAnyKeyName);

// Whether the area covers a problem of the category whose key lies below `root` at the subkey
// path `rest` (the key's root read once for every area).
bool AreaCoversSubkey(const OWNED_AREA& area, int category, RegHandle root, std::wstring_view rest) {
  if (area.category != OWNED_AREA::kAnyCategory && area.category != category) return false;
  std::wstring_view name;
  if (area.eachUser) {
    // HKEY_USERS\<hive>\... is a user's hive seen from the machine; HKEY_CURRENT_USER\... the
    // same hive as the logged-on user sees it.
    if (root == kHkeyUsers) {
      if (!NextKeyName(&rest, &name)) return false;
    } else if (root != kHkeyCurrentUser) {
      return false;
    }
  } else if (root != area.root) {
    return false;
  }
  for (const std::wstring& element : area.elements) {
    if (!NextKeyName(&rest, &name)) return false;
    if (element != kAnyKey && !EqualsNoCase(element, name)) return false;
  }
  return true;
}

}  // namespace

bool ParseOwnedArea(std::wstring_view typeLine, std::wstring_view keyPath, OWNED_AREA* area) {
  typeLine = TrimWhiteSpace(typeLine);
  if (typeLine.empty() || ToLowerAsciiChar(typeLine.front()) != ToLowerAsciiChar(kOwnedAreaType)) {
    return false;
  }
  OWNED_AREA parsed;
  const std::wstring_view categoryText = TrimWhiteSpace(typeLine.substr(1));
  if (!categoryText.empty()) {
    // Digits only, at most two: "W+9" or "W9x" is no record of ours.
    if (categoryText.size() > 2) return false;
    for (const wchar_t c : categoryText) {
      if (c < L'0' || c > L'9') return false;
    }
    parsed.category = ParseLeadingInt(categoryText);
    if (!IsValidCategory(parsed.category)) return false;
  }

  keyPath = TrimWhiteSpace(keyPath);
  const std::size_t separator = keyPath.find(L'\\');
  const std::wstring_view rootText = keyPath.substr(0, separator);
  std::wstring_view rest =
      separator == std::wstring_view::npos ? std::wstring_view() : keyPath.substr(separator + 1);
  if (EqualsNoCase(TrimWhiteSpace(rootText), kEachUserRoot)) {
    parsed.eachUser = true;
  } else {
    // The root alone: a forward slash would let the root reader take the rest for a subkey.
    if (rootText.find(L'/') != std::wstring_view::npos) return false;
    const PARSED_KEY_PATH root = ParseRootKey(rootText);
    if (root.root == kNullRegHandle) return false;
    parsed.root = root.root;
  }
  std::wstring_view name;
  while (NextKeyName(&rest, &name)) {
    if (name.empty()) return false;
    parsed.elements.emplace_back(name);
  }
  *area = std::move(parsed);
  return true;
}

bool OwnedAreaCovers(const OWNED_AREA& area, int category, std::wstring_view key) {
  const PARSED_KEY_PATH parsed = ParseRootKey(key);
  if (parsed.root == kNullRegHandle) return false;
  return AreaCoversSubkey(area, category, parsed.root, SubkeyPath(key, parsed));
}

bool AnyOwnedAreaCovers(const std::vector<OWNED_AREA>& areas, int category,
                        std::wstring_view key) {
  if (areas.empty()) return false;
  const PARSED_KEY_PATH parsed = ParseRootKey(key);
  if (parsed.root == kNullRegHandle) return false;
  // The first key names below the root, read once for every area and only as far as an area
  // asks (the rows name a few levels).
  constexpr std::size_t kNames = 12;
  std::array<std::wstring_view, kNames> names;
  std::size_t count = 0;
  std::wstring_view rest = SubkeyPath(key, parsed);
  const auto readUpTo = [&](std::size_t wanted) {
    std::wstring_view name;
    while (count < wanted && NextKeyName(&rest, &name)) names[count++] = name;
    return count >= wanted;
  };
  for (const OWNED_AREA& area : areas) {
    if (area.category != OWNED_AREA::kAnyCategory && area.category != category) continue;
    std::size_t first = 0;
    if (area.eachUser) {
      // HKEY_USERS\<hive>\... is a user's hive seen from the machine; HKEY_CURRENT_USER\... the
      // same hive as the logged-on user sees it.
      if (parsed.root == kHkeyUsers) {
        first = 1;
      } else if (parsed.root != kHkeyCurrentUser) {
        continue;
      }
    } else if (parsed.root != area.root) {
      continue;
    }
    if (first + area.elements.size() > kNames) {
      // Only a key deeper than the names read can still lie in the area: asked in full.
      readUpTo(kNames);
      if (!rest.empty() && AreaCoversSubkey(area, category, parsed.root, SubkeyPath(key, parsed))) {
        return true;
      }
      continue;
    }
    if (!readUpTo(first + area.elements.size())) continue;  // the key is not that deep
    bool covers = true;
    for (std::size_t i = 0; covers && i < area.elements.size(); ++i) {
      const std::wstring& element = area.elements[i];
      const std::wstring_view keyName = names[first + i];
      covers = element == kAnyKey ||
               (element.size() == keyName.size() &&
                (element.empty() || MayEqualNoCase(element[0], keyName[0])) &&
                EqualsNoCase(element, keyName));
    }
    if (covers) return true;
  }
  return false;
}

}  // namespace qv
