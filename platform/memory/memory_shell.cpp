#include "platform/memory/memory_shell.h"

#include "base/text_case.h"
#include "base/utf16.h"

#include <memory>
#include <vector>

namespace qv {

CMemoryShell::CMemoryShell() = default;

bool CMemoryShell::LookupFolder(int csidl, bool create, std::wstring* path) {
  std::wstring folder;
  IFileSystem* files = nullptr;
  {
    std::lock_guard lock(m_lock);
    const auto it = m_folders.find(csidl & ~kCsidlFlagCreate);
    if (it == m_folders.end()) return false;
    folder = it->second;
    files = m_files;
  }
  if ((create || (csidl & kCsidlFlagCreate) != 0) && files != nullptr &&
      !files->IsDirectory(folder)) {
    // Each missing level from the drive down.
    for (std::size_t pos = folder.find(L'\\', 3);; pos = folder.find(L'\\', pos + 1)) {
      const std::wstring level = folder.substr(0, pos);
      if (!files->IsDirectory(level)) static_cast<void>(files->MakeDirectory(level));
      if (pos == std::wstring::npos) break;
    }
  }
  *path = std::move(folder);
  return true;
}

ErrorCode CMemoryShell::GetFolderPath(int csidl, std::wstring* path) {
  if (path == nullptr) return kFolderNotKnown;
  return LookupFolder(csidl, false, path) ? kErrorSuccess : kFolderNotKnown;
}

ErrorCode CMemoryShell::GetSpecialFolderPath(int csidl, bool create, std::wstring* path) {
  if (path == nullptr) return kErrorInvalidParameter;
  return LookupFolder(csidl, create, path) ? kErrorSuccess : kFolderNotKnown;
}

std::uint32_t CMemoryShell::ExpandEnvironment(std::wstring_view text, std::uint32_t capacity,
                                              std::wstring* expanded) {
  // ExpandEnvironmentStringsW: "%name%" of a known variable becomes its value; an unknown name
  // is copied with both percent signs and the scan goes on after the second one; a percent sign
  // without a partner is copied as it is.
  std::wstring result;
  {
    std::lock_guard lock(m_lock);
    std::size_t i = 0;
    while (i < text.size()) {
      if (text[i] != L'%') {
        const std::size_t next = text.find(L'%', i);
        const std::size_t end = next == std::wstring_view::npos ? text.size() : next;
        result.append(text.substr(i, end - i));
        i = end;
        continue;
      }
      const std::size_t close = text.find(L'%', i + 1);
      if (close == std::wstring_view::npos) {
        result.append(text.substr(i));
        break;
      }
      const std::wstring_view name = text.substr(i + 1, close - i - 1);
      const auto it = name.empty() ? m_environment.end() : m_environment.find(FoldCase(name));
      if (it != m_environment.end()) {
        result += it->second.second;
      } else {
        result.append(text.substr(i, close - i + 1));
      }
      i = close + 1;
    }
  }
  const auto needed = static_cast<std::uint32_t>(Utf16Length(result) + 1);
  if (needed <= capacity && expanded != nullptr) *expanded = std::move(result);
  return needed;
}

std::wstring CMemoryShell::ModuleFileName() {
  std::lock_guard lock(m_lock);
  return m_moduleFileName;
}

ErrorCode CMemoryShell::GetFileVersion(std::wstring_view path, CFileVersion* version) {
  std::lock_guard lock(m_lock);
  const auto it = m_versions.find(FoldCase(path));
  if (it == m_versions.end()) return kErrorResourceTypeNotFound;
  if (version != nullptr) *version = it->second;
  return kErrorSuccess;
}

void CMemoryShell::GetSystemVersion(std::uint32_t* major, std::uint32_t* minor) {
  std::lock_guard lock(m_lock);
  if (major != nullptr) *major = m_major;
  if (minor != nullptr) *minor = m_minor;
}

std::string CMemoryShell::ShortcutFileBytes(const SHORTCUT_INFO& info) {
  std::string bytes(kShortcutMagic);
  for (const std::wstring* field : {&info.target, &info.arguments, &info.workingFolder}) {
    bytes += '\n';
    bytes += ToUtf8(*field);
  }
  bytes += '\n';
  return bytes;
}

ErrorCode CMemoryShell::ReadShortcut(std::wstring_view path, SHORTCUT_INFO* info) {
  IFileSystem* files = nullptr;
  {
    std::lock_guard lock(m_lock);
    files = m_files;
  }
  if (files == nullptr || info == nullptr) return kShortcutLoadFailed;
  std::unique_ptr<IFile> file;
  ErrorCode rc = files->OpenFile(path, FileOpenMode::kRead, FileShareMode::kShareAll, &file);
  if (rc != kErrorSuccess) return rc;
  std::string bytes;
  rc = file->ReadAll(&bytes);
  if (rc != kErrorSuccess) return rc;
  std::vector<std::string_view> lines;
  std::string_view rest(bytes);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) break;  // a shortcut's every line ends
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  if (lines.size() != 4 || lines[0] != kShortcutMagic || !rest.empty()) return kShortcutLoadFailed;
  SHORTCUT_INFO read;
  read.target = FromUtf8(lines[1]);
  read.arguments = FromUtf8(lines[2]);
  read.workingFolder = FromUtf8(lines[3]);
  const bool hasTarget = !read.target.empty();
  *info = std::move(read);
  return hasTarget ? kErrorSuccess : kErrorShortcutHasNoTarget;
}

ErrorCode CMemoryShell::CreateShortcut(std::wstring_view path, const SHORTCUT_INFO& info) {
  IFileSystem* files = nullptr;
  {
    std::lock_guard lock(m_lock);
    files = m_files;
  }
  if (files == nullptr) return kShortcutLoadFailed;
  std::unique_ptr<IFile> file;
  ErrorCode rc =
      files->OpenFile(path, FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite, &file);
  if (rc != kErrorSuccess) return rc;
  const std::string bytes = ShortcutFileBytes(info);
  rc = file->Write(bytes.data(), bytes.size());
  return rc;
}

void CMemoryShell::SetFolder(int csidl, std::wstring_view path) {
  std::lock_guard lock(m_lock);
  m_folders[csidl & ~kCsidlFlagCreate] = std::wstring(path);
}

void CMemoryShell::RemoveFolder(int csidl) {
  std::lock_guard lock(m_lock);
  m_folders.erase(csidl & ~kCsidlFlagCreate);
}

void CMemoryShell::SetFileSystem(IFileSystem* files) {
  std::lock_guard lock(m_lock);
  m_files = files;
}

void CMemoryShell::SetEnvironment(std::wstring_view name, std::wstring_view value) {
  std::lock_guard lock(m_lock);
  m_environment[FoldCase(name)] = {std::wstring(name), std::wstring(value)};
}

void CMemoryShell::RemoveEnvironment(std::wstring_view name) {
  std::lock_guard lock(m_lock);
  m_environment.erase(FoldCase(name));
}

std::optional<std::wstring> CMemoryShell::GetEnvironment(std::wstring_view name) {
  std::lock_guard lock(m_lock);
  const auto it = m_environment.find(FoldCase(name));
  if (it == m_environment.end()) return std::nullopt;
  return it->second.second;
}

void CMemoryShell::SetModuleFileName(std::wstring_view path) {
  std::lock_guard lock(m_lock);
  m_moduleFileName = std::wstring(path);
}

void CMemoryShell::SetFileVersion(std::wstring_view path, CFileVersion version) {
  std::lock_guard lock(m_lock);
  m_versions[FoldCase(path)] = version;
}

void CMemoryShell::SetSystemVersion(std::uint32_t major, std::uint32_t minor) {
  std::lock_guard lock(m_lock);
  m_major = major;
  m_minor = minor;
}

}  // namespace qv
