// The registry of a Windows test's throwaway prefix read through the registry API (every key, every
// value's type and bytes; links shown as themselves) and two such dumps compared: what a console
// run changed. Windows build only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/text_case.h"
#include "base/utf16.h"

namespace qv::test {

struct VALUE {
  std::wstring name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct KEY {
  std::wstring path;                     // as enumerated
  std::map<std::wstring, VALUE> values;  // by upper-case name
};

// Every key below the dumped roots by upper-case full path ("HKEY_USERS\S-1-5-...\SOFTWARE\...").
using DUMP = std::map<std::wstring, KEY>;

inline void DumpKey(HKEY parent, const std::wstring& subkey, const std::wstring& path, DUMP* dump) {
  HKEY raw = nullptr;
  // The key itself, never a link's target (a link shows as its SymbolicLinkValue).
  if (RegOpenKeyExW(parent, subkey.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &raw) !=
      ERROR_SUCCESS) {
    return;
  }
  KEY& key = (*dump)[ToUpper(path)];
  key.path = path;
  std::vector<wchar_t> name(16384);
  std::vector<BYTE> data(1 << 20);
  for (DWORD i = 0;; ++i) {
    DWORD nameChars = static_cast<DWORD>(name.size());
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(data.size());
    const LONG rc = RegEnumValueW(raw, i, name.data(), &nameChars, nullptr, &type, data.data(),
                                  &bytes);
    if (rc != ERROR_SUCCESS) break;
    VALUE value{std::wstring(name.data(), nameChars), type,
                std::vector<BYTE>(data.begin(), data.begin() + bytes)};
    key.values[ToUpper(value.name)] = std::move(value);
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0;; ++i) {
    DWORD nameChars = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(raw, i, name.data(), &nameChars, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    children.emplace_back(name.data(), nameChars);
  }
  for (const std::wstring& child : children) DumpKey(raw, child, path + L"\\" + child, dump);
  RegCloseKey(raw);
}

// What a repair may touch: the machine's software and system keys and every user's hive. The
// product's own key (its statistics and blocked store) is left out: the program writes it.
inline DUMP DumpRegistry() {
  DUMP dump;
  DumpKey(HKEY_LOCAL_MACHINE, L"Software", L"HKEY_LOCAL_MACHINE\\Software", &dump);
  DumpKey(HKEY_LOCAL_MACHINE, L"System", L"HKEY_LOCAL_MACHINE\\System", &dump);
  DumpKey(HKEY_USERS, L"", L"HKEY_USERS", &dump);
  const std::wstring product = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\QUARVELO";
  for (auto it = dump.begin(); it != dump.end();) {
    const bool own = it->first == product || it->first.starts_with(product + L"\\");
    it = own ? dump.erase(it) : std::next(it);
  }
  return dump;
}

// String data as the registry editor stores it: whole UTF-16 units ending with a NUL unit.
inline std::vector<BYTE> Terminated(std::vector<BYTE> bytes) {
  if (bytes.size() % 2 == 1) bytes.push_back(0);
  if (bytes.size() < 2 || bytes[bytes.size() - 2] != 0 || bytes.back() != 0) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

// One difference between two dumps: a key or a value (name set) that is gone, new or changed.
struct DUMP_DIFFERENCE {
  std::wstring key;  // upper case
  bool value = false;
  std::wstring name;  // upper case
  std::string what;
};

struct COMPARISON {
  std::size_t keys = 0;
  std::size_t values = 0;
  std::size_t terminated = 0;  // strings that came back with the NUL the editor adds
  std::vector<DUMP_DIFFERENCE> differences;
};

inline COMPARISON Compare(const DUMP& before, const DUMP& after) {
  COMPARISON result;
  for (const auto& [path, key] : before) {
    ++result.keys;
    const auto other = after.find(path);
    if (other == after.end()) {
      result.differences.push_back({path, false, L"", "key gone"});
      continue;
    }
    for (const auto& [name, value] : key.values) {
      ++result.values;
      const auto there = other->second.values.find(name);
      if (there == other->second.values.end()) {
        result.differences.push_back({path, true, name, "value gone"});
      } else if (there->second.type != value.type) {
        result.differences.push_back({path, true, name, "type changed"});
      } else if (there->second.data != value.data) {
        const bool isString = value.type == REG_SZ || value.type == REG_EXPAND_SZ ||
                              value.type == REG_MULTI_SZ;
        if (isString && Terminated(value.data) == there->second.data) {
          ++result.terminated;
        } else {
          result.differences.push_back({path, true, name, "data changed"});
        }
      }
    }
    for (const auto& [name, value] : other->second.values) {
      if (key.values.count(name) == 0) result.differences.push_back({path, true, name, "new value"});
    }
  }
  for (const auto& [path, key] : after) {
    if (before.count(path) == 0) result.differences.push_back({path, false, L"", "new key"});
  }
  return result;
}

inline std::string Describe(const std::vector<DUMP_DIFFERENCE>& differences, std::size_t limit = 40) {
  std::string text;
  for (std::size_t i = 0; i < differences.size() && i < limit; ++i) {
    const DUMP_DIFFERENCE& d = differences[i];
    text += "  " + d.what + ": " + ToUtf8(d.key) + (d.value ? " : \"" + ToUtf8(d.name) + "\"" : "") +
            "\n";
  }
  if (differences.size() > limit) text += "  ...\n";
  return text;
}

}  // namespace qv::test
