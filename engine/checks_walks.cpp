// Categories 7 (File/Path References) and 9 (Empty Registry Keys): the two walks of whole hives.
//
// Both open every key without following registry links (REG_OPTION_OPEN_LINK): a link opens as
// the key it is, with its one REG_LINK value and no subkeys, so a walk never leaves the hive it
// walks through a link, never visits a tree twice, and never loops through a link to an
// ancestor. A link's REG_LINK value is no string value and is never judged; a link is never an
// empty key. Neither descends more than kMaxRegistryDepth levels below where it starts, and a
// key or value whose name holds a NUL character is passed over with a log line (opened by its
// name as text it would be the parent again, and the walk would never end).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "engine/check_support.h"
#include "engine/checks.h"
#include "engine/key_naming.h"
#include "engine/path_references.h"
#include "engine/registry_cleaner.h"

namespace qv {
namespace {

// Whether the key (shown as its full path) is an uninstall key, whose subkeys are the entries of
// installed programs: ...\Microsoft\Windows\CurrentVersion\Uninstall in any hive and view.
bool IsUninstallKey(std::wstring_view display) {
  constexpr std::wstring_view kUninstallTail = L"\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  return display.size() >= kUninstallTail.size() &&
         EqualsNoCase(display.substr(display.size() - kUninstallTail.size()), kUninstallTail);
}

// The File/Path walk, with its buffers shared by every key it visits.
class CFileReferenceWalk {
 public:
  explicit CFileReferenceWalk(CRegistryCleaner& engine)
      : m_engine(engine),
        m_registry(engine.Platform().registry),
        m_keyName(kWalkKeyNameChars + 1, L'\0'),
        m_valueName(kCheckValueNameChars + 1, L'\0'),
        m_data(kWalkValueDataBytes + 2, 0) {}

  // Walks parent\name (the empty name: parent itself), shown as `display`, whose values a
  // program of the registry view reads, `depth` levels below where the walk began. Each key is
  // opened below its parent's open handle, so an open costs one lookup, not one per level of its
  // path; it is the same key with the same access the full path from the root would open. The
  // values of a key in an uninstall entry (`inUninstallEntry`) are left to the uninstall check.
  void Walk(RegHandle parent, std::wstring_view name, const std::wstring& display,
            REGISTRY_VIEW view, int depth, bool inUninstallEntry = false) {
    m_engine.ReportEntryExamined(display);
    CRegKey key(m_registry);
    if (key.OpenNoFollow(parent, name, kKeyAllAccess) != kErrorSuccess) return;
    if (m_engine.ShouldStop()) return;

    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t chars = kWalkKeyNameChars;
      const ErrorCode rc = m_registry.EnumKey(key.get(), index, m_keyName.data(), &chars);
      if (EndsEnumeration(rc)) break;
      if (rc == kErrorSuccess) {
        const std::wstring child(m_keyName.data(), chars);
        if (PassOverNulName(m_engine, display, child)) continue;
        if (AtDepthLimit(m_engine, depth + 1, display)) break;
        // A key named Wow6432Node is the 32-bit view of what lies around it: everything below it
        // is read by 32-bit programs.
        Walk(key.get(), child, JoinPath(display, child), IsWow64Node(child) ? VIEW_32BIT : view,
             depth + 1, inUninstallEntry || IsUninstallKey(display));
      }
      if (m_engine.ShouldStop()) return;
    }

    // An uninstall entry is repaired whole by the uninstall check, which judges its uninstall
    // command: deleting its other values one by one would leave Windows listing the program with
    // an uninstall button that no longer works.
    if (inUninstallEntry) return;
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t nameChars = kCheckValueNameChars;
      std::uint32_t dataBytes = kWalkValueDataBytes;
      std::uint32_t type = kRegNone;
      const ErrorCode rc = m_registry.EnumValue(key.get(), index, m_valueName.data(), &nameChars,
                                                &type, m_data.data(), &dataBytes);
      if (EndsEnumeration(rc)) break;
      if (rc == kErrorSuccess && dataBytes > kFileReferenceMinBytes &&
          (type == kRegSz || type == kRegExpandSz)) {
        const std::wstring_view valueName(m_valueName.data(), nameChars);
        if (!PassOverNulName(m_engine, display, valueName)) {
          Judge(display, valueName, dataBytes, view);
        }
      }
      if (m_engine.ShouldStop()) return;
    }
  }

 private:
  void Judge(const std::wstring& display, std::wstring_view name, std::uint32_t dataBytes,
             REGISTRY_VIEW view) {
    // Only a drive path (x:\...) is ever judged missing, and only an environment variable or a
    // placeholder (both written with a percent sign) can bring a drive into a text: text without
    // a colon and without a percent sign is a valid reference, whatever else it holds.
    if (!MayNameADrivePath(dataBytes)) return;
    const std::wstring text = FixedBufferText(m_data.data(), dataBytes, kWalkValueDataBytes);
    const REFERENCE_JUDGEMENT reference = m_engine.JudgeReference(text, view);
    m_engine.PassOver(REGPROBLEM_FILE_PATH, display, std::wstring(name), reference.reading.named,
                      reference);
    if (!reference.missing) return;
    // Every path the value names is missing. One in the Windows folder is Windows' own, and one
    // whose nearest existing folder is a program's own that still holds a program belongs to a
    // program that is installed (a file or folder it makes on first use): either keeps the value.
    PROBLEM_EVIDENCE evidence;
    for (const std::wstring& missing : reference.missingPaths) {
      const std::wstring readable = m_engine.ReadablePath(missing, reference.reading.named, view);
      const MISSING_PATH where = m_engine.JudgeMissingPath(readable);
      if (where.standing == MISSING_PATH_STANDING::kWindows ||
          where.standing == MISSING_PATH_STANDING::kProgramFolder) {
        return;
      }
      if (evidence.kind == EVIDENCE_NONE) evidence = MissingPathEvidence(readable, where);
    }
    AddProblemWithEvidence(m_engine, display, std::wstring(name), reference.reading.named,
                           REGPROBLEM_FILE_PATH, std::move(evidence));
  }

  // Whether the value's text (its UTF-16LE units up to the first NUL) holds a colon or a percent
  // sign.
  [[nodiscard]] bool MayNameADrivePath(std::uint32_t dataBytes) const {
    for (std::uint32_t i = 0; i + 1 < dataBytes; i += 2) {
      if (m_data[i + 1] != 0) continue;
      const std::uint8_t unit = m_data[i];
      if (unit == 0) return false;
      if (unit == ':' || unit == '%') return true;
    }
    return false;
  }

  CRegistryCleaner& m_engine;
  IRegistry& m_registry;
  std::wstring m_keyName;
  std::wstring m_valueName;
  std::vector<std::uint8_t> m_data;
};


bool ContainsClassesMarker(std::wstring_view path) {
  return path.find(kClassesMarker) != std::wstring_view::npos;
}

}  // namespace

void CheckFileReferences(CRegistryCleaner& engine) {
  CFileReferenceWalk walk(engine);
  walk.Walk(kHkeyLocalMachine, L"", std::wstring(kHkeyLocalMachineName), VIEW_64BIT, 0);
  walk.Walk(kHkeyUsers, L"", std::wstring(kHkeyUsersName), VIEW_64BIT, 0);
}

void WalkFileReferences(CRegistryCleaner& engine, RegHandle root, std::wstring_view subkey,
                        std::wstring_view display) {
  CFileReferenceWalk(engine).Walk(root, subkey, std::wstring(display),
                                  PassesWow64Node(subkey) ? VIEW_32BIT : VIEW_64BIT, 0);
}

std::unique_ptr<CRegistryProblem> JudgeEmptyKey(CRegistryCleaner& engine,
                                                std::wstring_view keyText) {
  // Only what the walk of HKEY_USERS reports: a key below a hive, never the hive itself, nothing
  // below HKEY_USERS\.DEFAULT, no classes key.
  const PARSED_KEY_PATH parsed = ParseRootKey(keyText);
  if (parsed.root != kHkeyUsers || ContainsClassesMarker(keyText) ||
      keyText.find(kUserClassesMarker) != std::wstring_view::npos) {
    return nullptr;
  }
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
  auto problem = std::make_unique<CRegistryProblem>(std::wstring(keyText),
                                                    std::wstring(kDefaultNameProblem), L"",
                                                    REGPROBLEM_EMPTY_KEY);
  problem->evidence = {EVIDENCE_EMPTY_KEY, std::wstring(keyText), L""};
  return problem;
}

void CheckEmptyKeys(CRegistryCleaner& engine) {
  static_cast<void>(WalkEmptyKeys(engine, kHkeyUsers, L"", kHkeyUsersName));
}

bool WalkEmptyKeys(CRegistryCleaner& engine, RegHandle parent, std::wstring_view name,
                   std::wstring_view display, int depth) {
  if (engine.ShouldStop()) return false;
  IRegistry& registry = engine.Platform().registry;
  CRegKey key(registry);
  if (key.OpenNoFollow(parent, name, kKeyReadWriteCreate) != kErrorSuccess) return false;
  std::uint32_t subkeys = 0;
  std::uint32_t values = 0;
  if (registry.QueryInfoKey(key.get(), &subkeys, &values) != kErrorSuccess) return false;

  if (subkeys == 0) {
    std::wstring path = JoinPath(display, name);
    if (values != 0 || ContainsClassesMarker(path) ||
        path.find(kUserClassesMarker) != std::wstring::npos) {
      return false;
    }
    engine.ReportEntryExamined(std::wstring(display));
    PROBLEM_EVIDENCE evidence{EVIDENCE_EMPTY_KEY, path, L""};
    AddProblemWithEvidence(engine, std::move(path), std::wstring(kDefaultNameProblem), L"",
                           REGPROBLEM_EMPTY_KEY, std::move(evidence));
    return true;
  }

  const std::wstring below = name.empty() ? std::wstring(display) : JoinPath(display, name);
  // Nothing below HKEY_USERS\.DEFAULT or a classes key is walked.
  const bool skipChildren = EqualsNoCase(below, kDefaultUsersKey) || ContainsClassesMarker(below);
  std::wstring child;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = key.EnumKeyName(index, kWalkKeyNameChars, &child);
    if (EndsEnumeration(rc)) break;
    engine.ReportEntryExamined(std::wstring(display));
    if (skipChildren || rc != kErrorSuccess || PassOverNulName(engine, below, child)) continue;
    if (AtDepthLimit(engine, depth + 1, below)) break;
    static_cast<void>(WalkEmptyKeys(engine, key.get(), child, below, depth + 1));
  }
  return false;
}

}  // namespace qv
