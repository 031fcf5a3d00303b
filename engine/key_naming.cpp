#include "engine/key_naming.h"

#include <array>
#include <utility>

#include "base/text.h"
#include "base/text_case.h"

namespace qv {

namespace {

// The fourteen spellings (kRootSpellings, platform/registry.h) are a constant table: it is
// complete before any thread can look at it.

// The first spellings of kRootSpellings are the roots' full names.
constexpr std::size_t kFullNameSpellings = 7;

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
  for (std::size_t i = 0; i < kFullNameSpellings; ++i) {
    if (kRootSpellings[i].root == root) return kRootSpellings[i].name;
  }
  return {};
}

PARSED_KEY_PATH ParseRootKey(std::wstring_view keyPath) {
  // A root written in full as the program writes it (every problem's key is), read without
  // copying: the same answer as the general reading below.
  for (std::size_t i = 0; i < kFullNameSpellings; ++i) {
    const std::wstring_view name = kRootSpellings[i].name;
    if (keyPath.starts_with(name) &&
        (keyPath.size() == name.size() || IsSeparator(keyPath[name.size()]))) {
      PARSED_KEY_PATH parsed;
      parsed.root = kRootSpellings[i].root;
      if (keyPath.size() > name.size() + 1) parsed.subkeyOffset = name.size() + 1;
      return parsed;
    }
  }
  std::wstring_view copy = keyPath.substr(0, kRootNameLimit);
  const std::size_t separatorInCopy = FindSeparator(copy);
  if (separatorInCopy != std::wstring_view::npos) copy = copy.substr(0, separatorInCopy);
  // Upper case into a buffer of the limit's size: every problem a scan finds is named by its key.
  const std::wstring_view blankless = RemoveBlanks(copy);
  std::array<wchar_t, kRootNameLimit> upper;
  for (std::size_t i = 0; i < blankless.size(); ++i) upper[i] = ToUpperChar(blankless[i]);
  const std::wstring_view cleaned(upper.data(), blankless.size());

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

bool IsWow64Node(std::wstring_view keyName) {
  return keyName.size() == kWow64NodeName.size() && EqualsNoCase(keyName, kWow64NodeName);
}

bool PassesWow64Node(std::wstring_view subkeyPath) {
  std::size_t start = 0;
  while (start <= subkeyPath.size()) {
    std::size_t end = subkeyPath.find(L'\\', start);
    if (end == std::wstring_view::npos) end = subkeyPath.size();
    if (IsWow64Node(subkeyPath.substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
}

std::wstring SoftwareKeyInView(std::wstring_view softwareKey, REGISTRY_VIEW view) {
  if (view != VIEW_32BIT) return std::wstring(softwareKey);
  const std::size_t slash = softwareKey.find(L'\\');
  if (slash == std::wstring_view::npos) return JoinPath(softwareKey, kWow64NodeName);
  return JoinPath(JoinPath(softwareKey.substr(0, slash), kWow64NodeName),
                  softwareKey.substr(slash + 1));
}

std::wstring ClassesKeyInView(std::wstring_view classesKey, REGISTRY_VIEW view) {
  if (view != VIEW_32BIT) return std::wstring(classesKey);
  return classesKey.empty() ? std::wstring(kWow64NodeName) : JoinPath(kWow64NodeName, classesKey);
}

namespace {

constexpr std::wstring_view kSoftwareKey = L"SOFTWARE";

std::vector<REGISTRY_VIEW> ViewsBelow(IRegistry& registry, RegHandle root,
                                      std::wstring_view parent) {
  std::vector<REGISTRY_VIEW> views{VIEW_64BIT};
  CRegKey node(registry);
  const std::wstring path =
      parent.empty() ? std::wstring(kWow64NodeName) : JoinPath(parent, kWow64NodeName);
  if (node.Open(root, path, kKeyRead) == kErrorSuccess) {
    views.push_back(VIEW_32BIT);
  }
  return views;
}

}  // namespace

std::vector<REGISTRY_VIEW> SoftwareViews(IRegistry& registry, RegHandle root) {
  return ViewsBelow(registry, root, kSoftwareKey);
}

std::wstring HiveClassesKey(const CLASSES_HIVE& hive, std::wstring_view classesKey,
                            REGISTRY_VIEW view) {
  const std::wstring inView = ClassesKeyInView(classesKey, view);
  return inView.empty() ? std::wstring(hive.key) : JoinPath(hive.key, inView);
}

std::wstring HiveClassesKeyText(const CLASSES_HIVE& hive, std::wstring_view classesKey,
                                REGISTRY_VIEW view) {
  return JoinPath(RootKeyName(hive.root), HiveClassesKey(hive, classesKey, view));
}

std::vector<REGISTRY_VIEW> ClassesViews(IRegistry& registry, const CLASSES_HIVE& hive) {
  return ViewsBelow(registry, hive.root, hive.key);
}

bool IsClassesKeyText(std::wstring_view keyText, std::wstring_view* below) {
  const PARSED_KEY_PATH parsed = ParseRootKey(keyText);
  if (parsed.root == kNullRegHandle) return false;
  std::wstring_view rest = SubkeyPath(keyText, parsed);
  const auto skipLevel = [](std::wstring_view* path) {
    const std::size_t slash = path->find(L'\\');
    const std::wstring_view level = path->substr(0, slash);
    *path = slash == std::wstring_view::npos ? std::wstring_view() : path->substr(slash + 1);
    return level;
  };
  const auto skipClasses = [&](std::wstring_view* path) {
    const std::wstring_view software = skipLevel(path);
    const std::wstring_view classes = skipLevel(path);
    return EqualsNoCase(software, L"Software") && EqualsNoCase(classes, L"Classes");
  };
  bool classes = false;
  if (parsed.root == kHkeyClassesRoot) {
    classes = true;
  } else if (parsed.root == kHkeyLocalMachine || parsed.root == kHkeyCurrentUser) {
    classes = skipClasses(&rest);
  } else if (parsed.root == kHkeyUsers) {
    const std::wstring_view hiveName = skipLevel(&rest);
    constexpr std::wstring_view kClassesHiveSuffix = L"_Classes";
    classes = (hiveName.size() > kClassesHiveSuffix.size() &&
               EqualsNoCase(hiveName.substr(hiveName.size() - kClassesHiveSuffix.size()),
                            kClassesHiveSuffix)) ||
              skipClasses(&rest);
  }
  if (classes && below != nullptr) *below = rest;
  return classes;
}

}  // namespace qv
