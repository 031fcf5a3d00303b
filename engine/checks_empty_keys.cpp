// Category 9 (Empty Registry Keys): keys below HKEY_USERS with neither subkeys nor values.
//
// When the same scan walked HKEY_USERS for file references, that walk recorded the keys it saw
// empty and the keys it could not open (CEmptyKeySightings): this check then reports the empty
// ones, walks the unopened ones itself, and reports as many entries examined as a walk of its own
// would. Otherwise it walks the hive. The walk opens every key without following a
// registry link (a link holds a value, so it is never empty, and the walk never leaves the hive
// through one), descends no more than kMaxRegistryDepth levels, and passes over a key whose name
// holds a NUL character with a log line.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/text_case.h"
#include "engine/check_support.h"
#include "engine/checks.h"
#include "engine/empty_key_sightings.h"
#include "engine/key_naming.h"
#include "engine/registry_cleaner.h"

namespace qv {
namespace {

bool ContainsClassesMarker(std::wstring_view path) {
  return path.find(kClassesMarker) != std::wstring_view::npos;
}

// The problem of an empty key, shown as `path`.
std::unique_ptr<CRegistryProblem> EmptyKeyProblem(std::wstring path) {
  // The evidence names the key itself (ShownEvidence): no second copy of its path.
  auto problem = std::make_unique<CRegistryProblem>(
      std::move(path), std::wstring(kDefaultNameProblem), L"", REGPROBLEM_EMPTY_KEY);
  problem->evidence.kind = EVIDENCE_EMPTY_KEY;
  return problem;
}

void AddEmptyKey(CRegistryCleaner& engine, std::wstring path) {
  engine.AddProblem(EmptyKeyProblem(std::move(path)));
}

// The empty-key walk, with its texts shared by every key it visits: the path of the key whose
// subkey is walked (m_display, the text each examined entry reports) grows by a name on the way
// down and is cut back on the way up.
class CEmptyKeyWalk {
 public:
  CEmptyKeyWalk(CRegistryCleaner& engine, std::wstring_view display)
      : m_engine(engine),
        m_registry(engine.Platform().registry),
        m_display(display),
        m_keyName(kWalkKeyNameChars + 1, L'\0') {}

  // parent\name, parent being shown as m_display: true when that key was reported. m_display is
  // the same again when it returns.
  bool Walk(RegHandle parent, std::wstring_view name, int depth) {
    if (m_engine.ShouldStop()) return false;
    CRegKey key(m_registry);
    if (key.OpenNoFollow(parent, name, kKeyReadWriteCreate) != kErrorSuccess) return false;
    std::uint32_t subkeys = 0;
    std::uint32_t values = 0;
    if (m_registry.QueryInfoKey(key.get(), &subkeys, &values) != kErrorSuccess) return false;

    const std::size_t displayChars = m_display.size();
    if (subkeys == 0) {
      if (values != 0) return false;
      std::wstring path = JoinPath(m_display, name);
      if (!MayBeReportedEmpty(path)) return false;
      m_engine.ReportEntryExamined(m_display);
      AddEmptyKey(m_engine, std::move(path));
      return true;
    }

    // The name is read before the first subkey is enumerated (it may lie in m_keyName).
    if (!name.empty()) {
      m_display += L'\\';
      m_display += name;
    }
    const bool passBelow = EmptyKeyWalkPassesBelow(m_display, name.empty() ? 0 : displayChars);
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t chars = kWalkKeyNameChars;
      const ErrorCode rc = m_registry.EnumKey(key.get(), index, m_keyName.data(), &chars);
      if (EndsEnumeration(rc)) break;
      // Each subkey enumerated is reported as the key above the one walked.
      m_reported.assign(m_display, 0, displayChars);
      m_engine.ReportEntryExamined(m_reported);
      if (passBelow || rc != kErrorSuccess) continue;
      const std::wstring_view child(m_keyName.data(), chars);
      if (PassOverNulName(m_engine, m_display, child)) continue;
      if (AtDepthLimit(m_engine, depth + 1, m_display)) break;
      static_cast<void>(Walk(key.get(), child, depth + 1));
    }
    m_display.resize(displayChars);
    return false;
  }

 private:
  CRegistryCleaner& m_engine;
  IRegistry& m_registry;
  std::wstring m_display;
  std::wstring m_reported;
  std::wstring m_keyName;
};

// The empty-key check from what the File/Path walk recorded, in the walk's order: each key seen
// empty is reported (as the walk saw it, earlier in the same scan, as every check reports what
// it saw when it looked), each key the File/Path walk could not open is walked here, and the
// entries examined are reported as the walk would have reported them, each as the key above
// the next sighting.
class CSightingsCheck {
 public:
  explicit CSightingsCheck(CRegistryCleaner& engine) : m_engine(engine) {}

  void Run(CEmptyKeySightings& record) {
    EMPTY_KEY_SIGHTING seen;
    while (record.TakeFirst(&seen)) {
      const std::size_t slash = seen.path.rfind(L'\\');
      if (slash == std::wstring::npos) continue;
      const std::wstring_view parent = std::wstring_view(seen.path).substr(0, slash);
      if (parent != m_parent) m_parent.assign(parent);
      if (!ReportExamined(seen.examinedBefore)) return;
      if (seen.unopenedDepth >= 0) {
        WalkUnopened(std::wstring_view(seen.path).substr(slash + 1), seen.unopenedDepth);
      } else {
        m_engine.ReportEntryExamined(m_parent);
        AddEmptyKey(m_engine, std::move(seen.path));
      }
    }
    m_parent.assign(kHkeyUsersName);
    static_cast<void>(ReportExamined(record.ExaminedAfter()));
  }

 private:
  // The empty-key walk of m_parent\name, which the File/Path walk could not open.
  void WalkUnopened(std::wstring_view name, int depth) {
    CRegKey parent(m_engine.Platform().registry);
    const std::wstring_view subkey = SubkeyPath(m_parent, ParseRootKey(m_parent));
    if (parent.OpenNoFollow(kHkeyUsers, subkey, kKeyReadWriteCreate) != kErrorSuccess) return;
    static_cast<void>(WalkEmptyKeys(m_engine, parent.get(), name, m_parent, depth));
  }

  // Reports `count` entries examined, shown as m_parent; false when the scan stops.
  bool ReportExamined(std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) {
      m_engine.ReportEntryExamined(m_parent);
      if (i % 1024 == 1023 && m_engine.ShouldStop()) return false;
    }
    return !m_engine.ShouldStop();
  }

  CRegistryCleaner& m_engine;
  std::wstring m_parent;  // the key above the sighting at hand, as shown
};

}  // namespace

bool EmptyKeyWalkPassesBelow(std::wstring_view display, std::size_t entered) {
  if (EqualsNoCase(display, kDefaultUsersKey)) return true;
  // A marker that lies within the entered key would have kept the walk out of it.
  const std::size_t from =
      entered + 1 > kClassesMarker.size() ? entered + 1 - kClassesMarker.size() : 0;
  return display.find(kClassesMarker, from) != std::wstring_view::npos;
}

bool MayBeReportedEmpty(std::wstring_view path) {
  return !ContainsClassesMarker(path) && path.find(kUserClassesMarker) == std::wstring_view::npos;
}

std::unique_ptr<CRegistryProblem> JudgeEmptyKey(CRegistryCleaner& engine,
                                                std::wstring_view keyText) {
  // Only what the walk of HKEY_USERS reports: a key below a hive, never the hive itself, nothing
  // below HKEY_USERS\.DEFAULT, no classes key.
  const PARSED_KEY_PATH parsed = ParseRootKey(keyText);
  if (parsed.root != kHkeyUsers || !MayBeReportedEmpty(keyText)) return nullptr;
  const std::wstring_view subkey = SubkeyPath(keyText, parsed);
  const std::size_t slash = subkey.find(L'\\');
  if (slash == std::wstring_view::npos || EqualsNoCase(subkey.substr(0, slash), L".DEFAULT")) {
    return nullptr;
  }
  IRegistry& registry = engine.Platform().registry;
  CRegKey key(registry);
  if (key.OpenNoFollow(kHkeyUsers, subkey, kKeyReadWriteCreate) != kErrorSuccess) return nullptr;
  std::uint32_t subkeys = 0;
  std::uint32_t values = 0;
  if (registry.QueryInfoKey(key.get(), &subkeys, &values) != kErrorSuccess || subkeys != 0 ||
      values != 0) {
    return nullptr;
  }
  return EmptyKeyProblem(std::wstring(keyText));
}

void CheckEmptyKeys(CRegistryCleaner& engine) {
  CEmptyKeySightings& record = engine.EmptyKeySightings();
  if (record.Whole()) {
    CSightingsCheck(engine).Run(record);
  } else {
    static_cast<void>(WalkEmptyKeys(engine, kHkeyUsers, L"", kHkeyUsersName));
  }
  record.Clear();
}

bool WalkEmptyKeys(CRegistryCleaner& engine, RegHandle parent, std::wstring_view name,
                   std::wstring_view display, int depth) {
  return CEmptyKeyWalk(engine, display).Walk(parent, name, depth);
}

}  // namespace qv
