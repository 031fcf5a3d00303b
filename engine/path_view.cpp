// The 32-bit registry view's paths: what a 32-bit program on 64-bit Windows opens when it names
// the system folder or the program files folders, the forms a path of that view is written in,
// and the variables of its environment. Folder texts only: it asks nothing of the drive.
#include "engine/path_references.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "engine/path_text.h"

namespace qv {

using namespace path_text;

namespace {

// The subfolders of the system folder that the file system redirector leaves alone.
constexpr std::array<std::wstring_view, 6> kUnredirectedSystemFolders = {
    L"catroot", L"catroot2", L"driverstore", L"drivers\\etc", L"logfiles", L"spool"};
// Below the Windows folder: the name a 32-bit program opens the real system folder by, the
// folder of the last known good system files, and the registry editor (which has a 32-bit twin
// in the 32-bit system folder).
constexpr std::wstring_view kSysnativeFolder = L"Sysnative";
constexpr std::wstring_view kLastGoodFolder = L"lastgood";
constexpr std::wstring_view kRegistryEditorFile = L"regedit.exe";
// The variables a 32-bit program's environment sets to the x86 folders.
constexpr std::wstring_view kProgramFilesVariable = L"ProgramFiles";
constexpr std::wstring_view kCommonProgramFilesVariable = L"CommonProgramFiles";

// The last element of a folder path ("SysWOW64" of "C:\Windows\SysWOW64").
std::wstring_view LastElement(std::wstring_view folder) {
  const std::size_t slash = folder.rfind(L'\\');
  return slash == std::wstring_view::npos ? folder : folder.substr(slash + 1);
}

}  // namespace

CPathView CPathView::Resolve32Bit(IShell& shell, const CFolderTable& folders) {
  CPathView view;
  view.m_folders = folders;
  const std::wstring_view windows = WithoutTrailingSlash(folders.Path(FOLDER_WINDOWS));
  const std::wstring_view system = WithoutTrailingSlash(folders.Path(FOLDER_SYSTEM));
  std::wstring wow64;
  if (shell.GetFolderPath(kCsidlSystemX86, &wow64) != kErrorSuccess) wow64.clear();
  const std::wstring_view system32Bit = WithoutTrailingSlash(wow64);
  // A 32-bit Windows gives its one system folder for both.
  if (!windows.empty() && !system32Bit.empty() && !EqualsNoCase(system, system32Bit) &&
      system.size() > windows.size() && IsInFolder(system, windows) &&
      IsInFolder(system32Bit, windows)) {
    view.m_windows = windows;
    for (std::wstring_view folder : kUnredirectedSystemFolders) {
      view.m_exempt.push_back(JoinPath(system, folder));
    }
    const std::wstring lastGood = JoinPath(windows, kLastGoodFolder);
    view.m_rules = {
        {std::wstring(system), std::wstring(system32Bit), false},
        {JoinPath(windows, kSysnativeFolder), std::wstring(system), false},
        {JoinPath(lastGood, LastElement(system)), JoinPath(lastGood, LastElement(system32Bit)),
         false},
        {JoinPath(windows, kRegistryEditorFile), JoinPath(system32Bit, kRegistryEditorFile), true},
    };
  }
  const auto x86 = [&](int csidl, ENGINE_FOLDER folder, std::wstring* mapped) {
    std::wstring path;
    if (shell.GetFolderPath(csidl, &path) != kErrorSuccess) return;
    path = WithoutTrailingSlash(path);
    if (path.empty() || Utf16Length(path) >= kMaxPathChars ||
        EqualsNoCase(path, WithoutTrailingSlash(folders.Path(folder)))) {
      return;
    }
    view.m_folders.SetPath(folder, path);
    *mapped = std::move(path);
    view.m_programFiles = true;
  };
  x86(kCsidlProgramFilesX86, FOLDER_PROGRAM_FILES, &view.m_programFilesX86);
  x86(kCsidlProgramFilesCommonX86, FOLDER_COMMON_FILES, &view.m_commonFilesX86);
  return view;
}

std::wstring CPathView::WithViewVariables(std::wstring_view text) const {
  std::wstring result(text);
  if (!m_programFiles) return result;
  std::size_t start = result.find(L'%');
  while (start != std::wstring::npos) {
    const std::size_t end = result.find(L'%', start + 1);
    if (end == std::wstring::npos) break;
    const std::wstring_view name = std::wstring_view(result).substr(start + 1, end - start - 1);
    const std::wstring* folder = nullptr;
    if (!m_programFilesX86.empty() && EqualsNoCase(name, kProgramFilesVariable)) {
      folder = &m_programFilesX86;
    } else if (!m_commonFilesX86.empty() && EqualsNoCase(name, kCommonProgramFilesVariable)) {
      folder = &m_commonFilesX86;
    }
    if (folder == nullptr) {
      start = end;  // the closing sign may open the next variable, as the expansion reads it
      continue;
    }
    result.replace(start, end - start + 1, *folder);
    start = result.find(L'%', start + folder->size());
  }
  return result;
}

bool CPathView::MapPath(std::wstring_view path, std::wstring* mapped) const {
  if (m_rules.empty() || !IsInFolder(path, m_windows)) return false;
  for (const std::wstring& exempt : m_exempt) {
    if (IsInFolder(path, exempt)) return false;
  }
  for (const PATH_RULE& rule : m_rules) {
    if (rule.file ? !EqualsNoCase(path, rule.from) : !IsInFolder(path, rule.from)) continue;
    std::wstring result = rule.to;
    result.append(path.substr(rule.from.size()));
    *mapped = std::move(result);
    return true;
  }
  return false;
}

std::wstring CPathView::Resolve(std::wstring_view path) const {
  std::wstring mapped;
  return MapPath(path, &mapped) ? mapped : std::wstring(path);
}

std::vector<std::wstring> CPathView::WrittenForms(std::wstring_view path) const {
  std::vector<std::wstring> forms;
  for (const PATH_RULE& rule : m_rules) {
    if (rule.file ? !EqualsNoCase(path, rule.to) : !IsInFolder(path, rule.to)) continue;
    std::wstring written = rule.from;
    written.append(path.substr(rule.to.size()));
    // Only a form the view maps back to the path (an exempt folder is not).
    if (Resolve(written) == path) forms.push_back(std::move(written));
  }
  return forms;
}

}  // namespace qv
