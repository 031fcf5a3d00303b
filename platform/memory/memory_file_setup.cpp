// The tests' hands on the in-memory file system (memory_file_system.h): drives and their kinds,
// errors set on paths, folders, files, links, owners and times made directly, and what a test
// reads back. They throw std::invalid_argument when they cannot do what they are asked. Each
// takes the lock and touches the tree (memory_file_tree.h) and the settings of this object only.
#include "platform/memory/memory_file_system.h"

#include <algorithm>
#include <stdexcept>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/memory/memory_file_tree.h"

namespace qv {
namespace {

using CEntry = CMemoryFileSystem::CEntry;
using file_tree::CParsedPath;
using file_tree::IsDriveLetter;
using file_tree::ParsePath;
using file_tree::UpperDrive;

[[noreturn]] void Fail(std::wstring_view path, const char* what, ErrorCode rc) {
  throw std::invalid_argument(std::string("CMemoryFileSystem: ") + what + " failed (" +
                              std::to_string(rc) + ") for " + ToUtf8(path));
}

}  // namespace

void CMemoryFileSystem::SetDriveKind(wchar_t letter, DRIVE_KIND kind) {
  if (!IsDriveLetter(letter)) {
    Fail(std::wstring(1, letter), "SetDriveKind", kErrorInvalidParameter);
  }
  std::lock_guard lock(*m_lock);
  m_driveKinds[UpperDrive(letter)] = kind;
}

void CMemoryFileSystem::SetPathError(std::wstring_view path, ErrorCode error) {
  std::wstring text(path);
  std::replace(text.begin(), text.end(), L'/', L'\\');
  while (text.size() > 3 && text.back() == L'\\') text.pop_back();
  std::lock_guard lock(*m_lock);
  if (error == kErrorSuccess) {
    m_pathErrors.erase(FoldCase(text));
  } else {
    m_pathErrors[FoldCase(text)] = error;
  }
}

void CMemoryFileSystem::MakeLink(std::wstring_view path, std::wstring_view target) {
  AddFolder(path);
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess || !where.entry) Fail(path, "MakeLink", rc);
  if (!where.entry->children.empty()) Fail(path, "MakeLink (not empty)", kErrorDirNotEmpty);
  where.entry->reparsePoint = true;
  where.entry->linkTarget = std::wstring(target);
  ++m_links;
}

void CMemoryFileSystem::AddDrive(wchar_t letter) {
  if (!IsDriveLetter(letter)) {
    Fail(std::wstring(1, letter), "AddDrive", kErrorInvalidParameter);
  }
  std::lock_guard lock(*m_lock);
  auto& root = m_drives[UpperDrive(letter)];
  if (!root) {
    root = std::make_shared<CEntry>();
    root->name = std::wstring{UpperDrive(letter), L':', L'\\'};
    root->folded = FoldCase(root->name);
    root->directory = true;
    root->structure = &m_structure;
    ++m_structure;
  }
}

void CMemoryFileSystem::MarkReparsePoint(std::wstring_view path) {
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess || !where.entry) Fail(path, "MarkReparsePoint", rc);
  where.entry->reparsePoint = true;
}

void CMemoryFileSystem::SetOwner(std::wstring_view path, FileOwner owner) {
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess || !where.entry) Fail(path, "SetOwner", rc);
  where.entry->owner = owner;
}

void CMemoryFileSystem::SetNewEntryOwner(FileOwner owner) {
  std::lock_guard lock(*m_lock);
  m_newOwner = owner;
}

void CMemoryFileSystem::SetElevated(bool elevated) {
  std::lock_guard lock(*m_lock);
  m_elevated = elevated;
}

void CMemoryFileSystem::SetLastWriteTime(std::wstring_view path, std::uint64_t fileTime) {
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess || !where.entry) Fail(path, "SetLastWriteTime", rc);
  where.entry->lastWriteTime = fileTime;
}

void CMemoryFileSystem::AddFolder(std::wstring_view path) {
  CParsedPath parsed;
  {
    std::lock_guard lock(*m_lock);
    if (!ParsePath(path, m_currentFolder, &parsed)) Fail(path, "AddFolder", kErrorPathNotFound);
  }
  AddDrive(parsed.drive);
  std::lock_guard lock(*m_lock);
  std::shared_ptr<CEntry> folder = m_drives[parsed.drive];
  for (const std::wstring& part : parsed.parts) {
    std::shared_ptr<CEntry> child = folder->Child(part);
    if (child && !child->directory) Fail(path, "AddFolder (a file is in the way)", kErrorDirectory);
    folder = child ? child : AddChildLocked(*folder, part, true);
  }
}

void CMemoryFileSystem::AddFile(std::wstring_view path, std::string_view content) {
  CParsedPath parsed;
  {
    std::lock_guard lock(*m_lock);
    if (!ParsePath(path, m_currentFolder, &parsed) || parsed.parts.empty()) {
      Fail(path, "AddFile", kErrorPathNotFound);
    }
  }
  const std::wstring fileName = parsed.parts.back();
  std::wstring folderPath{parsed.drive, L':', L'\\'};
  for (std::size_t i = 0; i + 1 < parsed.parts.size(); ++i) folderPath += parsed.parts[i] + L"\\";
  AddFolder(folderPath);
  std::lock_guard lock(*m_lock);
  CLocation where;
  if (LocateLocked(path, &where) != kErrorSuccess) Fail(path, "AddFile", kErrorPathNotFound);
  if (where.entry && where.entry->directory) Fail(path, "AddFile (a folder)", kErrorAccessDenied);
  std::shared_ptr<CEntry> entry =
      where.entry ? where.entry : AddChildLocked(*where.parent, fileName, false);
  entry->content = std::string(content);
}

std::optional<std::string> CMemoryFileSystem::ReadFile(std::wstring_view path) {
  std::lock_guard lock(*m_lock);
  CLocation where;
  if (LocateLocked(path, &where) != kErrorSuccess || !where.entry || where.entry->directory) {
    return std::nullopt;
  }
  return where.entry->content;
}

std::vector<std::wstring> CMemoryFileSystem::ListFolder(std::wstring_view path) {
  std::lock_guard lock(*m_lock);
  CLocation where;
  if (LocateLocked(path, &where) != kErrorSuccess || !where.entry || !where.entry->directory) {
    Fail(path, "ListFolder", kErrorPathNotFound);
  }
  std::vector<std::wstring> names;
  for (const auto& child : where.entry->children) names.push_back(child->name);
  return names;
}

void CMemoryFileSystem::SetSearchFolders(std::vector<std::wstring> folders) {
  std::lock_guard lock(*m_lock);
  m_searchFolders = std::move(folders);
}

void CMemoryFileSystem::SetCurrentFolder(std::wstring_view path) {
  std::lock_guard lock(*m_lock);
  CParsedPath parsed;
  if (!ParsePath(path, m_currentFolder, &parsed)) Fail(path, "SetCurrentFolder", kErrorPathNotFound);
  std::wstring folder{parsed.drive, L':', L'\\'};
  for (std::size_t i = 0; i < parsed.parts.size(); ++i) {
    if (i > 0) folder += L'\\';
    folder += parsed.parts[i];
  }
  m_currentFolder = folder;
}

std::size_t CMemoryFileSystem::OpenFileCount() {
  std::lock_guard lock(*m_lock);
  return *m_openFiles;
}

int CMemoryFileSystem::FlushCount(std::wstring_view path) {
  std::lock_guard lock(*m_lock);
  CLocation where;
  if (LocateLocked(path, &where) != kErrorSuccess || !where.entry) return 0;
  return where.entry->flushes;
}

}  // namespace qv
