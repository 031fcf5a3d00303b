#include "engine/repair_chains.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <utility>

#include "base/text.h"
#include "base/text_case.h"
#include "engine/checks.h"
#include "engine/exclusion_lists.h"
#include "engine/key_naming.h"

namespace qv {
namespace {

constexpr std::wstring_view kShellKey = L"shell";
constexpr std::wstring_view kOpenKey = L"open";
constexpr std::wstring_view kCommandKey = L"command";

// The key that holds a key ("HKEY_USERS\S-1\Software\A" gives "HKEY_USERS\S-1\Software"); empty
// for a root.
std::wstring_view ParentKey(std::wstring_view key) {
  const std::size_t slash = key.rfind(L'\\');
  return slash == std::wstring_view::npos ? std::wstring_view() : key.substr(0, slash);
}

std::vector<std::wstring_view> Levels(std::wstring_view path) {
  std::vector<std::wstring_view> levels;
  while (!path.empty()) {
    const std::size_t slash = path.find(L'\\');
    levels.push_back(path.substr(0, slash));
    if (slash == std::wstring_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return levels;
}

// Whether the levels below a type are the type itself or a key on the way to its open command
// ("<type>", "<type>\shell", "<type>\shell\open", "<type>\shell\open\command").
bool OnTheWayToTheCommand(const std::vector<std::wstring_view>& levels) {
  constexpr std::wstring_view kWay[] = {kShellKey, kOpenKey, kCommandKey};
  if (levels.size() > 1 + std::size(kWay)) return false;
  for (std::size_t i = 1; i < levels.size(); ++i) {
    if (!EqualsNoCase(levels[i], kWay[i - 1])) return false;
  }
  return true;
}

// The names changed entries refer to (upper-cased, as Windows compares registry names), each with
// the first change that did: a classes entry is then matched in one lookup, not against every
// change.
using REFERENCED = std::unordered_map<std::wstring, std::size_t>;

void Refer(REFERENCED* names, std::wstring_view name, std::size_t because) {
  names->try_emplace(ToUpper(name), because);
}

// The change whose entry `name` refers to, or null.
const std::size_t* Referencing(const REFERENCED& names, std::wstring_view name) {
  const auto found = names.find(ToUpper(name));
  return found == names.end() ? nullptr : &found->second;
}

// Every subkey of the hive's classes key in the view (the empty path: the classes root) with the
// string value `valueName` of its subkey `below` (empty: of itself), for `visit`.
template <typename Visit>
void EachClassesEntry(CRegistryCleaner& engine, const CLASSES_HIVE& hive, REGISTRY_VIEW view,
                      std::wstring_view container, std::wstring_view below,
                      std::wstring_view valueName, Visit visit) {
  IRegistry& registry = engine.Platform().registry;
  CRegKey parent(registry);
  if (parent.Open(hive.root, HiveClassesKey(hive, container, view), kKeyReadWriteCreate) !=
      kErrorSuccess) {
    return;
  }
  std::wstring name;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = parent.EnumKeyName(index, kCheckKeyNameChars, &name);
    if (EndsEnumeration(rc)) break;
    if (rc != kErrorSuccess || HasNulCharacter(name)) continue;
    CRegKey entry(registry);
    std::wstring value;
    if (entry.Open(parent.get(), below.empty() ? name : JoinPath(name, below),
                   kKeyReadWriteCreate) == kErrorSuccess &&
        entry.QueryString(valueName, kComValueBytes, &value) == kErrorSuccess) {
      visit(name, value);
    }
  }
}

// The key as the walk of every user's hive names it: HKEY_CURRENT_USER\X is
// HKEY_USERS\<the user's hive>\X (unchanged when that hive cannot be told or it is another root).
std::wstring AsUsersKey(std::wstring_view key, std::wstring_view userHive) {
  const std::size_t slash = key.find(L'\\');
  if (userHive.empty() || !EqualsNoCase(key.substr(0, slash), kHkeyCurrentUserName)) {
    return std::wstring(key);
  }
  const std::wstring hive = JoinPath(kHkeyUsersName, userHive);
  return slash == std::wstring_view::npos ? hive : JoinPath(hive, key.substr(slash + 1));
}

// Silences the engine's notify sink while the repair looks again.
class CQuietSink {
 public:
  explicit CQuietSink(CRegistryCleaner& engine) : m_engine(engine), m_sink(engine.NotifySink()) {
    engine.SetNotifySink(nullptr);
  }
  ~CQuietSink() { m_engine.SetNotifySink(m_sink); }
  CQuietSink(const CQuietSink&) = delete;
  CQuietSink& operator=(const CQuietSink&) = delete;

 private:
  CRegistryCleaner& m_engine;
  IScanSink* m_sink;
};

}  // namespace

std::wstring REGISTRY_CHANGE::Text() const {
  if (keyDeleted) return key;
  return JoinPath(key, valueName.empty() ? std::wstring_view(kDefaultNameProblem)
                                         : std::wstring_view(valueName));
}

std::wstring UncoveredIdentity(const CRegistryProblem& problem) {
  return ToLowerAscii(ProblemIdentity(problem));
}

std::vector<UNCOVERED_PROBLEM> FindUncoveredProblems(CRegistryCleaner& engine,
                                                     const std::vector<REGISTRY_CHANGE>& changes,
                                                     std::unordered_set<std::wstring>* known) {
  CQuietSink quiet(engine);
  std::vector<UNCOVERED_PROBLEM> found;
  const auto offer = [&](std::unique_ptr<CRegistryProblem> problem, std::size_t because) {
    if (!problem || !engine.ScanCategory(problem->type)) return;
    if (engine.Filter() != nullptr && engine.Filter()->IsProblemExcluded(*problem)) return;
    if (!known->insert(UncoveredIdentity(*problem)).second) return;
    found.push_back({std::move(problem), because});
  };

  REFERENCED classes;
  REFERENCED appIds;
  REFERENCED types;
  const std::wstring userHive = engine.Platform().registry.CurrentUserHiveName();
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const REGISTRY_CHANGE& change = changes[i];
    // The key that held what went may be empty now (a key of the user's own hive is judged as the
    // scan names it).
    const std::wstring_view holder = change.keyDeleted ? ParentKey(change.key) : change.key;
    if (!holder.empty()) offer(JudgeEmptyKey(engine, AsUsersKey(holder, userHive)), i);

    std::wstring_view below;
    if (!IsClassesKeyText(change.key, &below)) continue;
    std::vector<std::wstring_view> levels = Levels(below);
    if (!levels.empty() && IsWow64Node(levels.front())) levels.erase(levels.begin());
    if (levels.empty()) continue;
    const bool typeCommand = levels.size() == 4 && OnTheWayToTheCommand(levels);
    if (!change.keyDeleted) {
      // A type's open command lost its program.
      if (typeCommand && change.valueName.empty()) Refer(&types, levels[0], i);
      continue;
    }
    if (levels.size() == 2 && EqualsNoCase(levels[0], kClsidKey)) {
      Refer(&classes, levels[1], i);
    } else if (levels.size() == 2 && EqualsNoCase(levels[0], kAppIdKey)) {
      Refer(&appIds, levels[1], i);
    } else if (!levels[0].starts_with(L'.') && !EqualsNoCase(levels[0], kClsidKey) &&
               !EqualsNoCase(levels[0], kAppIdKey) && OnTheWayToTheCommand(levels)) {
      // The type itself, its shell, its open verb or its command.
      Refer(&types, levels[0], i);
    }
  }

  IRegistry& registry = engine.Platform().registry;
  for (const CLASSES_HIVE& hive : kClassesHives) {
    for (const REGISTRY_VIEW view : ClassesViews(registry, hive)) {
      if (!classes.empty()) {
        EachClassesEntry(engine, hive, view, L"", kClsidKey, L"",
                         [&](const std::wstring& progId, const std::wstring& classId) {
                           if (progId.starts_with(L'.')) return;
                           if (const std::size_t* by = Referencing(classes, classId)) {
                             offer(JudgeProgIdClass(engine, hive, view, progId, classId),
                                   *by);
                           }
                         });
      }
      if (!appIds.empty()) {
        EachClassesEntry(engine, hive, view, kClsidKey, L"", kAppIdValue,
                         [&](const std::wstring& classId, const std::wstring& appId) {
                           if (const std::size_t* by = Referencing(appIds, appId)) {
                             offer(JudgeClassAppId(engine, hive, view, classId, appId),
                                   *by);
                           }
                         });
      }
    }
    if (!types.empty()) {
      EachClassesEntry(engine, hive, VIEW_64BIT, L"", L"", L"",
                       [&](const std::wstring& extension, const std::wstring& type) {
                         if (!extension.starts_with(L'.')) return;
                         if (const std::size_t* by = Referencing(types, type)) {
                           offer(JudgeFileType(engine, hive, extension, type), *by);
                         }
                       });
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const UNCOVERED_PROBLEM& a, const UNCOVERED_PROBLEM& b) {
                     return a.because < b.because;
                   });
  return found;
}

}  // namespace qv
