// The tree of the in-memory file system (memory_file_tree.h): paths read into drive and names,
// where a path leads (through links too), the index of plain paths, an entry's final path and
// the errors set on paths. It touches the tree and its index, under the caller's lock; the
// operations on it are in memory_file_system.cpp, the tests' helpers in memory_file_setup.cpp.
#include "platform/memory/memory_file_tree.h"

#include <functional>
#include <random>

namespace qv {
namespace file_tree {

bool ParsePath(std::wstring_view input, std::wstring_view current, CParsedPath* out) {
  std::wstring path(input);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  if (path.empty()) return false;
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return false;
  std::wstring_view rest;
  if (path.size() >= 2 && path[1] == L':' && IsDriveLetter(path[0])) {
    *out = CParsedPath{};
    out->drive = UpperDrive(path[0]);
    rest = std::wstring_view(path).substr(2);
  } else if (path[0] == L'\\') {
    *out = CParsedPath{};
    out->drive = current.empty() ? L'C' : UpperDrive(current[0]);
    rest = path;
  } else {
    if (current.empty() || !ParsePath(current, {}, out)) return false;
    rest = path;
  }
  if (rest.find_first_of(L"*?\"<>|:") != std::wstring_view::npos) return false;
  out->trailingSlash = !rest.empty() && rest.back() == L'\\';
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find(L'\\', start);
    if (end == std::wstring_view::npos) end = rest.size();
    const std::wstring_view part = rest.substr(start, end - start);
    if (part == L"..") {
      if (!out->parts.empty()) out->parts.pop_back();
    } else if (!part.empty() && part != L".") {
      out->parts.emplace_back(part);
    }
    start = end + 1;
  }
  if (out->parts.empty()) out->trailingSlash = false;
  return true;
}

}  // namespace file_tree

namespace {

using CEntry = CMemoryFileSystem::CEntry;
using file_tree::CParsedPath;
using file_tree::IsDriveLetter;
using file_tree::ParsePath;

}  // namespace

CMemoryFileSystem::CMemoryFileSystem()
    : m_lock(std::make_shared<std::mutex>()),
      m_searchFolders{L"C:\\Windows\\system32", L"C:\\Windows\\system", L"C:\\Windows"},
      m_openFiles(std::make_shared<std::size_t>(0)),
      m_random((static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
               std::random_device{}()) {
  AddDrive(L'C');
}

std::shared_ptr<CMemoryFileSystem::CEntry> CMemoryFileSystem::AddChildLocked(
    CEntry& parent, std::wstring_view name, bool directory) {
  std::shared_ptr<CEntry> child = parent.AddChild(name, directory);
  child->owner = m_newOwner;
  return child;
}

CMemoryFileSystem::~CMemoryFileSystem() = default;

ErrorCode CMemoryFileSystem::LocateLocked(std::wstring_view path, CLocation* where,
                                          bool followLast, int depth) {
  *where = CLocation{};
  CParsedPath parsed;
  if (!ParsePath(path, m_currentFolder, &parsed)) return kErrorPathNotFound;
  const auto drive = m_drives.find(parsed.drive);
  if (drive == m_drives.end()) return kErrorPathNotFound;
  where->trailingSlash = parsed.trailingSlash;
  if (parsed.parts.empty()) {
    where->entry = drive->second;
    return kErrorSuccess;
  }
  // A link leads into its target; a chain of them that does not end leads nowhere.
  constexpr int kLinkDepth = 32;
  const auto through = [&](std::shared_ptr<CEntry> entry) -> std::shared_ptr<CEntry> {
    if (!entry || entry->linkTarget.empty()) return entry;
    if (depth >= kLinkDepth) return nullptr;
    CLocation target;
    if (LocateLocked(entry->linkTarget, &target, true, depth + 1) != kErrorSuccess) return nullptr;
    return target.entry;
  };
  std::shared_ptr<CEntry> folder = drive->second;
  for (std::size_t i = 0; i + 1 < parsed.parts.size(); ++i) {
    folder = through(folder->Child(parsed.parts[i]));
    if (!folder || !folder->directory) return kErrorPathNotFound;
  }
  where->parent = folder;
  where->name = parsed.parts.back();
  where->entry = folder->Child(where->name);
  if (followLast && where->entry && !where->entry->linkTarget.empty()) {
    where->entry = through(where->entry);
    if (!where->entry) return kErrorPathNotFound;  // a link that leads nowhere
  }
  return kErrorSuccess;
}

const CMemoryFileSystem::CEntry* CMemoryFileSystem::FindPlainLocked(std::wstring_view path,
                                                                    bool* plain) {
  *plain = false;
  if (m_links > 0) return nullptr;  // the index knows no path through a link
  if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\') {
    return nullptr;
  }
  std::wstring_view rest = path.substr(3);
  if (!rest.empty() && rest.back() == L'\\') return nullptr;  // the general path answers
  while (!rest.empty()) {
    const std::size_t end = rest.find(L'\\');
    const std::wstring_view part = rest.substr(0, end);
    if (part.empty() || part == L"." || part == L"..") return nullptr;
    for (const wchar_t c : part) {
      if (c == L'/' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
          c == L'|' || c == L':') {
        return nullptr;
      }
    }
    if (end == std::wstring_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  *plain = true;
  if (m_indexedAt != m_structure) RebuildIndexLocked();
  FoldCaseInto(path, &m_folded);
  const auto found = m_index.find(m_folded);
  return found == m_index.end() ? nullptr : found->second;
}

void CMemoryFileSystem::RebuildIndexLocked() {
  m_index.clear();
  std::u16string key;
  const std::function<void(const CEntry&)> add = [&](const CEntry& entry) {
    for (const std::shared_ptr<CEntry>& child : entry.children) {
      const std::size_t length = key.size();
      if (key.back() != u'\\') key.push_back(u'\\');
      key += child->folded;
      m_index.emplace(key, child.get());
      add(*child);
      key.resize(length);
    }
  };
  for (const auto& [letter, root] : m_drives) {
    key = root->folded;  // "C:\"
    m_index.emplace(key, root.get());
    add(*root);
  }
  m_indexedAt = m_structure;
}

ErrorCode CMemoryFileSystem::PathErrorLocked(std::wstring_view path) const {
  if (m_pathErrors.empty()) return kErrorSuccess;
  std::wstring text(path);
  std::replace(text.begin(), text.end(), L'/', L'\\');
  while (text.size() > 3 && text.back() == L'\\') text.pop_back();
  const std::u16string folded = FoldCase(text);
  // The path itself, then each folder on its way ("C:\A\B", "C:\A", "C:\").
  for (std::size_t end = folded.size(); end > 0;) {
    const auto found = m_pathErrors.find(folded.substr(0, end));
    if (found != m_pathErrors.end()) return found->second;
    const std::size_t slash = folded.rfind(u'\\', end - 1);
    if (slash == std::u16string::npos) break;
    end = slash == 2 ? (end == 3 ? 0 : 3) : slash;
  }
  return kErrorSuccess;
}

std::wstring CMemoryFileSystem::FinalPathLocked(const CEntry& entry) {
  std::wstring path;
  const CEntry* up = &entry;
  for (; up->parent != nullptr; up = up->parent) path = L"\\" + up->name + path;
  // The drive root's name ("C:\") ends in the backslash before the first name.
  return path.empty() ? up->name : up->name + path.substr(1);
}

}  // namespace qv
