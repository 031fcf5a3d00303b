// Category 8 (Windows Shortcuts): the shortcut files of the drive that holds the user profiles.
//
// The walk never enters a reparse point (a junction or a symbolic link to a folder): such a
// folder may lead back to one of its ancestors, and a walk into it would never end (Windows'
// own profile folders hold several of them, "Application Data" inside "AppData" among them).
// A shortcut whose target is a network or device path counts as fine without a look at it: the
// scan runs with administrator rights and never reaches out to another host.
// The program's own shortcut backups are passed over wherever the product's data folder is: on
// the Windows XP layout its path holds "Application Data\Quarvelo\Backup", on every later one it
// is the common application-data folder's Quarvelo\Backup (C:\ProgramData\Quarvelo\Backup).
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/text_case.h"
#include "engine/check_support.h"
#include "engine/checks.h"
#include "engine/path_text.h"
#include "engine/registry_cleaner.h"
#include "platform/shell.h"
#include "state/data_folder.h"
#include "state/state_texts.h"

namespace qv {
namespace {

// The path without its last element ("C:\users\user" gives "C:\users"); a path without a
// backslash is left as it is.
std::wstring WithoutLastElement(std::wstring path) {
  const std::size_t slash = path.rfind(L'\\');
  if (slash != std::wstring::npos) path.resize(slash);
  return path;
}

// The folder part of a search pattern ("C:\dir\*.*" gives "C:\dir").
std::wstring_view PatternFolder(std::wstring_view pattern) {
  const std::size_t slash = pattern.rfind(L'\\');
  return slash == std::wstring_view::npos ? std::wstring_view() : pattern.substr(0, slash);
}

bool EndsWithShortcutExtension(std::wstring_view name) {
  // Exactly ".lnk": a file named X.LNK is not examined.
  return name.size() >= kShortcutExtension.size() &&
         name.substr(name.size() - kShortcutExtension.size()) == kShortcutExtension;
}

class CShortcutWalk {
 public:
  explicit CShortcutWalk(CRegistryCleaner& engine)
      : m_engine(engine),
        m_backupFolder(ProductDataFolderPath(engine.Platform().shell, kBackupSubfolder)) {}

  void Walk(std::wstring_view pattern) {
    std::vector<CFindData> entries;
    if (m_engine.Platform().files.FindFiles(pattern, &entries) != kErrorSuccess) return;
    const std::wstring folder(PatternFolder(pattern));
    std::wstring path;  // each entry's, in one buffer for the folder
    for (const CFindData& entry : entries) {
      if (m_engine.ShouldStop()) return;
      path.assign(folder);
      path += L'\\';
      path += entry.name;
      m_engine.ReportEntryExamined(path);
      if (entry.name == L"." || entry.name == L"..") continue;
      if (entry.directory) {
        if (entry.reparsePoint || EqualsNoCase(entry.name, kSendToFolder)) continue;
        Walk(path + std::wstring(kAllFilesPattern));
        continue;
      }
      if (!EndsWithShortcutExtension(entry.name)) continue;
      if (path.find(kShortcutBackupMarker) != std::wstring::npos ||
          path_text::IsInFolder(path, m_backupFolder)) {
        continue;
      }
      std::wstring target;
      if (!ShortcutTargetExists(m_engine, path, &target) && !m_engine.IsCancelled()) {
        AddProblemWithEvidence(m_engine, path, L"", L"", REGPROBLEM_SHORTCUT,
                               {EVIDENCE_MISSING_TARGET, std::move(target), L""});
      }
    }
  }

 private:
  CRegistryCleaner& m_engine;
  const std::wstring m_backupFolder;
};

}  // namespace

void CheckShortcuts(CRegistryCleaner& engine) {
  std::wstring profile;
  if (engine.Platform().shell.GetFolderPath(kCsidlProfile, &profile) != kErrorSuccess) {
    profile.clear();
  }
  // Two levels up from a profile such as C:\users\user: the drive ("C:").
  const std::wstring start = WithoutLastElement(WithoutLastElement(profile));
  WalkShortcuts(engine, start + std::wstring(kAllFilesPattern));
}

void WalkShortcuts(CRegistryCleaner& engine, std::wstring_view pattern) {
  CShortcutWalk(engine).Walk(pattern);
}

bool IsNetworkOrDevicePath(std::wstring_view path) {
  path = TrimWhiteSpace(path);
  const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;
  return path.starts_with(L"\\??\\");
}

bool ShortcutTargetExists(CRegistryCleaner& engine, std::wstring_view path,
                          std::wstring* target) {
  SHORTCUT_INFO shortcut;
  if (engine.Platform().shell.ReadShortcut(path, &shortcut) != kErrorSuccess) return true;
  if (IsNetworkOrDevicePath(shortcut.target)) return true;
  std::wstring cleaned = engine.CleanPath(shortcut.target);
  if (IsNetworkOrDevicePath(cleaned)) return true;
  // Judged as every reference is: a target on a drive that is not judged is passed over, and
  // only "not found" is missing.
  const REFERENCE_JUDGEMENT judgement = JudgePlainPath(engine, cleaned, VIEW_64BIT);
  engine.PassOver(REGPROBLEM_SHORTCUT, std::wstring(path), L"", L"", judgement);
  if (!judgement.missing) return true;
  if (target != nullptr) *target = std::move(cleaned);
  return false;
}

}  // namespace qv
