#include "repair/merge_check.h"

#include <map>
#include <string_view>
#include <utility>

#include "base/text_case.h"
#include "base/utf16.h"

namespace qv {
namespace {

// The root and subkey of a full key name as the file writes it; false for an unknown root.
bool SplitFullKey(std::wstring_view fullKey, RegHandle* root, std::wstring_view* subkey) {
  const std::size_t slash = fullKey.find(L'\\');
  const std::wstring_view rootName = fullKey.substr(0, slash);
  for (const ROOT_SPELLING& spelling : kRootSpellings) {
    if (EqualsNoCase(spelling.name, rootName)) {
      *root = spelling.root;
      *subkey = slash == std::wstring_view::npos ? std::wstring_view() : fullKey.substr(slash + 1);
      return true;
    }
  }
  return false;
}

struct EXPECTED_KEY {
  std::wstring key;  // the full key name as the file writes it (its last mention)
  bool exists = false;
};

// What the sections leave behind, in file order: the last word on a key wins, a deleted key takes
// the keys below it with it, and a key section brings back every level above it.
// Upper-cased key -> expectation.
std::map<std::wstring, EXPECTED_KEY> ExpectedKeys(const std::vector<REG_FILE_SECTION>& sections) {
  std::map<std::wstring, EXPECTED_KEY> expected;
  for (const REG_FILE_SECTION& section : sections) {
    const std::wstring key = ToUpper(section.key);
    if (section.deletion) {
      const std::wstring below = key + L"\\";
      auto it = expected.lower_bound(below);
      while (it != expected.end() && it->first.compare(0, below.size(), below) == 0) {
        it = expected.erase(it);
      }
      expected[key] = EXPECTED_KEY{section.key, false};
      continue;
    }
    expected[key] = EXPECTED_KEY{section.key, true};
    for (std::size_t slash = key.rfind(L'\\'); slash != std::wstring::npos && slash > 0;
         slash = key.rfind(L'\\', slash - 1)) {
      auto it = expected.find(key.substr(0, slash));
      if (it != expected.end() && !it->second.exists) expected.erase(it);
    }
  }
  return expected;
}

struct EXPECTED_VALUE {
  std::wstring key;  // the full key name as the file writes it
  REG_FILE_VALUE value;
};

// What the value lines leave behind, in file order: the last line on a value wins, and a deleted
// key takes the values in it and below it with it. (Upper-cased key, upper-cased name) -> line.
std::map<std::pair<std::wstring, std::wstring>, EXPECTED_VALUE> ExpectedValues(
    const std::vector<REG_FILE_SECTION>& sections) {
  std::map<std::pair<std::wstring, std::wstring>, EXPECTED_VALUE> expected;
  for (const REG_FILE_SECTION& section : sections) {
    const std::wstring key = ToUpper(section.key);
    if (section.deletion) {
      const std::wstring below = key + L"\\";
      std::erase_if(expected, [&](const auto& entry) {
        const std::wstring& at = entry.first.first;
        return at == key || at.compare(0, below.size(), below) == 0;
      });
      continue;
    }
    for (const REG_FILE_VALUE& value : section.values) {
      expected[{key, ToUpper(value.name)}] = EXPECTED_VALUE{section.key, value};
    }
  }
  return expected;
}

// Whether the key named by the full key text is there as expected.
bool KeyConfirmed(IRegistry& registry, const EXPECTED_KEY& expected) {
  RegHandle root = kNullRegHandle;
  std::wstring_view subkey;
  if (!SplitFullKey(expected.key, &root, &subkey)) return false;
  CRegKey key(registry);
  const ErrorCode rc = key.Open(root, subkey, kKeyQueryValue);
  const bool exists = rc == kErrorSuccess || rc == kErrorAccessDenied;
  return exists == expected.exists;
}

// String data as the editor stores it from a byte list in its Unicode form: whole UTF-16 units,
// a terminating NUL character added (over an odd last byte) when the last whole unit is not one.
std::vector<std::uint8_t> EditorTerminated(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + (bytes.size() & ~std::size_t{1}));
  if (out.size() >= 2 && (out[out.size() - 2] != 0 || out.back() != 0)) {
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

// Whether the value is as the line leaves it: holding its type and data, or gone.
bool ValueConfirmed(IRegistry& registry, std::wstring_view fullKey, const REG_FILE_VALUE& line) {
  if (line.action == RegValueAction::kRejected) return false;
  RegHandle root = kNullRegHandle;
  std::wstring_view subkey;
  if (!SplitFullKey(fullKey, &root, &subkey)) return false;
  CRegKey key(registry);
  ErrorCode rc = key.Open(root, subkey, kKeyQueryValue);
  if (line.action == RegValueAction::kDelete && rc == kErrorFileNotFound) return true;
  if (rc != kErrorSuccess) return false;
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
  rc = key.QueryRaw(line.name, &type, &data);
  if (line.action == RegValueAction::kDelete) return rc == kErrorFileNotFound;
  if (rc != kErrorSuccess || type != line.type) return false;
  switch (line.match) {
    case RegDataMatch::kTypeOnly:
      return true;
    case RegDataMatch::kString:
      return TruncateAtNul(FromUtf16LeBytes(data.data(), data.size())) ==
             FromUtf16LeBytes(line.data.data(), line.data.size());
    case RegDataMatch::kStringBytes:
      return data == line.data || data == EditorTerminated(line.data);
    case RegDataMatch::kExact:
      break;
  }
  return data == line.data;
}

}  // namespace

ErrorCode ConfirmMerge(IRegistry& registry, const std::vector<REG_FILE_SECTION>& sections,
                       MERGE_MISMATCH* mismatch) {
  for (const auto& [folded, expected] : ExpectedKeys(sections)) {
    if (KeyConfirmed(registry, expected)) continue;
    if (mismatch != nullptr) *mismatch = MERGE_MISMATCH{expected.key, false, {}};
    return kErrorCantWrite;
  }
  for (const auto& [folded, expected] : ExpectedValues(sections)) {
    if (ValueConfirmed(registry, expected.key, expected.value)) continue;
    if (mismatch != nullptr) *mismatch = MERGE_MISMATCH{expected.key, true, expected.value.name};
    return kErrorCantWrite;
  }
  return kErrorSuccess;
}

}  // namespace qv
