// Whose folder a missing path lies in: the folders that hold programs rather than being one
// (containers), the nearest existing folder on a missing path's way, and whether that folder is
// an installed program's own. Asks the drive through IFileSystem or the scan's CPathMemo.
#include "engine/path_references.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/text.h"
#include "base/text_case.h"
#include "engine/path_text.h"

namespace qv {

using namespace path_text;

namespace {

// How a folder the shell gives counts as a container.
enum class CONTAINER_ROLE {
  kItself,     // the folder itself
  kInProfile,  // its place inside a profile, in every profile (itself when outside the profile)
};

struct CONTAINER_FOLDER {
  int csidl;
  CONTAINER_ROLE role;
};

constexpr std::array<CONTAINER_FOLDER, 7> kContainerFolders = {{
    {kCsidlProgramFiles, CONTAINER_ROLE::kItself},
    {kCsidlProgramFilesX86, CONTAINER_ROLE::kItself},
    {kCsidlProgramFilesCommon, CONTAINER_ROLE::kItself},
    {kCsidlProgramFilesCommonX86, CONTAINER_ROLE::kItself},
    {kCsidlCommonAppData, CONTAINER_ROLE::kItself},
    {kCsidlAppData, CONTAINER_ROLE::kInProfile},
    {kCsidlLocalAppData, CONTAINER_ROLE::kInProfile},
}};


// The folder that holds the path ("C:\a\b" gives "C:\a", "C:\a" gives "C:\"); empty for a root
// or a path without a folder.
std::wstring_view ParentFolder(std::wstring_view path) {
  if (IsDriveRoot(path)) return {};
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring_view::npos) return {};
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}



// What the climb asks of folders when no memo is given: the drive itself, each folder once in
// the call.
class CFoldersAskedAfresh {
 public:
  bool IsFolder(std::wstring_view folder, IFileSystem& files) {
    signed char& known = m_folders[ToUpper(WithoutTrailingSlash(folder))].exists;
    if (known < 0) known = files.IsDirectory(folder) ? 1 : 0;
    return known == 1;
  }
  bool HoldsProgram(std::wstring_view folder, IFileSystem& files) {
    STATE& state = m_folders[ToUpper(WithoutTrailingSlash(folder))];
    if (state.holds >= 0) return state.holds == 1;
    if (state.program < 0) List(folder, state, files);
    bool holds = state.program == 1;
    for (std::size_t i = 0; !holds && i < state.subfolders.size(); ++i) {
      STATE& subfolder = m_folders[ToUpper(state.subfolders[i])];
      if (subfolder.program < 0) List(state.subfolders[i], subfolder, files);
      holds = subfolder.program == 1;
    }
    state.holds = holds ? 1 : 0;
    return holds;
  }

 private:
  struct STATE {
    signed char exists = -1;
    signed char program = -1;
    signed char holds = -1;
    std::vector<std::wstring> subfolders;
  };
  static void List(std::wstring_view folder, STATE& state, IFileSystem& files) {
    state.program = 0;
    std::wstring pattern(WithoutTrailingSlash(folder));
    if (!pattern.ends_with(L'\\')) pattern += L'\\';
    const std::size_t folderChars = pattern.size();
    pattern += L'*';
    std::vector<CFindData> entries;
    if (files.FindFiles(pattern, &entries) != kErrorSuccess) return;
    for (const CFindData& entry : entries) {
      if (entry.name == L"." || entry.name == L"..") continue;
      if (entry.directory) {
        if (!entry.reparsePoint) state.subfolders.push_back(pattern.substr(0, folderChars) + entry.name);
      } else if (IsProgramFileName(entry.name)) {
        state.program = 1;
      }
    }
  }
  std::unordered_map<std::wstring, STATE> m_folders;  // by upper-case path
};

// The nearest folder on the missing path's way that exists (empty when none does, not even the
// drive), and the first missing folder below it (empty when the path's own folder exists, or
// when the path names no folder at all).
template <typename FOLDERS>
void FindNearestFolder(std::wstring_view path, IFileSystem& files, FOLDERS& memo,
                       std::wstring_view* existing, std::wstring_view* firstMissing) {
  std::wstring_view child = path;
  std::wstring_view folder = ParentFolder(path);
  *existing = {};
  *firstMissing = {};
  if (folder.empty()) return;
  while (!folder.empty()) {
    if (memo.IsFolder(folder, files)) {
      *existing = folder;
      *firstMissing = child == path ? std::wstring_view() : child;
      return;
    }
    child = folder;
    folder = ParentFolder(folder);
  }
  *firstMissing = child;
}

MISSING_PATH Located(std::wstring_view existing, std::wstring_view firstMissing) {
  if (firstMissing.empty()) {
    return {MISSING_PATH_STANDING::kMissingFile, std::wstring(existing)};
  }
  return {MISSING_PATH_STANDING::kMissingFolder, std::wstring(firstMissing)};
}

}  // namespace

CContainerFolders CContainerFolders::Resolve(IShell& shell, const CFolderTable& folders) {
  CContainerFolders containers;
  std::wstring profile;
  if (shell.GetFolderPath(kCsidlProfile, &profile) != kErrorSuccess) profile.clear();
  const std::wstring_view profileFolder = WithoutTrailingSlash(profile);
  const std::wstring_view users = ParentFolder(profileFolder);
  // A profile right below a drive's root leaves no users' folder to tell profiles by.
  if (!users.empty() && !IsDriveRoot(users)) {
    containers.m_users = ToUpper(users);
    containers.m_folders.push_back(containers.m_users);
  }
  for (const CONTAINER_FOLDER& container : kContainerFolders) {
    std::wstring path;
    if (shell.GetFolderPath(container.csidl, &path) != kErrorSuccess) continue;
    const std::wstring_view folder = WithoutTrailingSlash(path);
    if (folder.empty()) continue;
    if (container.role == CONTAINER_ROLE::kInProfile && !containers.m_users.empty() &&
        folder.size() > profileFolder.size() + 1 && IsInFolder(folder, profileFolder)) {
      containers.m_profileFolders.push_back(ToUpper(folder.substr(profileFolder.size() + 1)));
    } else {
      containers.m_folders.push_back(ToUpper(folder));
    }
  }
  const std::wstring_view temp = WithoutTrailingSlash(folders.Path(FOLDER_TEMP));
  if (!temp.empty()) containers.m_folders.push_back(ToUpper(temp));
  return containers;
}

bool CContainerFolders::Contains(std::wstring_view folder) const {
  folder = WithoutTrailingSlash(folder);
  if (IsDriveRoot(folder)) return true;
  // The folders are kept in upper case; the folder is compared without case.
  for (const std::wstring& container : m_folders) {
    if (EqualsNoCase(folder, container)) return true;
  }
  if (m_users.empty() || folder.size() <= m_users.size() + 1 ||
      !EqualsNoCase(folder.substr(0, m_users.size()), m_users) ||
      folder[m_users.size()] != L'\\') {
    return false;
  }
  // Below the users' folder: a profile, or a profile's application-data folder.
  const std::wstring_view inUsers = folder.substr(m_users.size() + 1);
  const std::size_t slash = inUsers.find(L'\\');
  if (slash == std::wstring_view::npos) return true;
  const std::wstring_view inProfile = inUsers.substr(slash + 1);
  for (const std::wstring& inside : m_profileFolders) {
    if (EqualsNoCase(inProfile, inside)) return true;
  }
  return false;
}

namespace {

template <typename FOLDERS>
MISSING_PATH JudgeMissing(std::wstring_view path, std::wstring_view windows,
                          const CContainerFolders& containers, IFileSystem& files,
                          FOLDERS& asked) {
  path = WithoutTrailingSlash(path);
  windows = WithoutTrailingSlash(windows);
  if (IsInFolder(path, windows)) {
    return {MISSING_PATH_STANDING::kWindows, std::wstring(path.substr(0, windows.size()))};
  }
  std::wstring_view existing;
  std::wstring_view firstMissing;
  FindNearestFolder(path, files, asked, &existing, &firstMissing);
  if (!existing.empty() && !containers.Contains(existing)) {
    // A program's own folder may hold folders of its data (Tool\\data, which it made at setup,
    // beside Tool\\tool.exe): the program is looked for in each folder on the way up, until a
    // folder that holds programs rather than being one.
    for (std::wstring_view folder = existing; !folder.empty() && !containers.Contains(folder);
         folder = ParentFolder(folder)) {
      if (asked.HoldsProgram(folder, files)) {
        return {MISSING_PATH_STANDING::kProgramFolder, std::wstring(folder)};
      }
    }
    return {MISSING_PATH_STANDING::kNoProgram, std::wstring(existing)};
  }
  return Located(existing, firstMissing);
}

}  // namespace

MISSING_PATH LocateMissingPath(std::wstring_view path, IFileSystem& files, CPathMemo* memo) {
  std::wstring_view existing;
  std::wstring_view firstMissing;
  if (memo != nullptr) {
    FindNearestFolder(WithoutTrailingSlash(path), files, *memo, &existing, &firstMissing);
  } else {
    CFoldersAskedAfresh once;
    FindNearestFolder(WithoutTrailingSlash(path), files, once, &existing, &firstMissing);
  }
  return Located(existing, firstMissing);
}

MISSING_PATH JudgeMissingPath(std::wstring_view path, std::wstring_view windows,
                              const CContainerFolders& containers, IFileSystem& files,
                              CPathMemo* memo) {
  if (memo != nullptr) return JudgeMissing(path, windows, containers, files, *memo);
  CFoldersAskedAfresh once;
  return JudgeMissing(path, windows, containers, files, once);
}

}  // namespace qv
