#include "platform/memory/memory_file_system.h"

#include <algorithm>
#include <functional>
#include <array>
#include <cstring>
#include <random>
#include <stdexcept>

#include "base/text_case.h"
#include "base/utf16.h"

namespace qv {

struct CMemoryFileSystem::CEntry {
  std::wstring name;
  std::u16string folded;
  bool directory = false;
  bool reparsePoint = false;  // MarkReparsePoint
  FileOwner owner = FileOwner::kAdministrators;
  bool adminsOnly = false;  // the protected access list
  std::wstring linkTarget;    // MakeLink: the folder a path through this one leads into
  std::uint64_t lastWriteTime = 0;  // SetLastWriteTime
  std::uint64_t* structure = nullptr;  // the file system's count of changes to the tree
  std::string content;
  std::vector<std::shared_ptr<CEntry>> children;  // sorted by folded name
  CEntry* parent = nullptr;
  int openCount = 0;
  int writers = 0;      // open with write access
  int denyWriters = 0;  // open with writing denied to others
  int flushes = 0;

  std::size_t LowerBound(const std::u16string& key) const {
    const auto it = std::lower_bound(
        children.begin(), children.end(), key,
        [](const std::shared_ptr<CEntry>& e, const std::u16string& k) { return e->folded < k; });
    return static_cast<std::size_t>(it - children.begin());
  }
  std::shared_ptr<CEntry> Child(std::wstring_view childName) const {
    const std::u16string key = FoldCase(childName);
    const std::size_t i = LowerBound(key);
    return (i < children.size() && children[i]->folded == key) ? children[i] : nullptr;
  }
  void Attach(const std::shared_ptr<CEntry>& child) {
    child->parent = this;
    child->structure = structure;
    if (structure != nullptr) ++*structure;
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(LowerBound(child->folded)),
                    child);
  }
  std::shared_ptr<CEntry> AddChild(std::wstring_view childName, bool isDirectory) {
    auto child = std::make_shared<CEntry>();
    child->name = std::wstring(childName);
    child->folded = FoldCase(childName);
    child->directory = isDirectory;
    Attach(child);
    return child;
  }
  std::shared_ptr<CEntry> Detach(const CEntry* child) {
    for (auto it = children.begin(); it != children.end(); ++it) {
      if (it->get() == child) {
        std::shared_ptr<CEntry> kept = *it;
        children.erase(it);
        if (structure != nullptr) ++*structure;
        kept->parent = nullptr;
        return kept;
      }
    }
    return nullptr;
  }
  bool AnythingOpen() const {
    if (openCount > 0) return true;
    return std::any_of(children.begin(), children.end(),
                       [](const std::shared_ptr<CEntry>& c) { return c->AnythingOpen(); });
  }
};

namespace {

using CEntry = CMemoryFileSystem::CEntry;

struct CParsedPath {
  wchar_t drive = L'C';
  std::vector<std::wstring> parts;
  bool trailingSlash = false;
};

wchar_t UpperDrive(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }
bool IsDriveLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// Parses a Windows path into drive and components ("." and ".." resolved). UNC paths and
// text that is not a path fail.
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

// Wildcard match without case: '*' any run, '?' exactly one character.
bool Glob(std::u16string_view pattern, std::u16string_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = std::u16string_view::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// FindFirstFileW's matching: as Glob, and a pattern ending in ".*" also matches the names that
// match it without that ending ("*.*" matches every name, "app.*" matches "app").
bool MatchesPattern(const std::u16string& pattern, const std::u16string& name) {
  if (Glob(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, u".*") == 0) {
    return Glob(std::u16string_view(pattern).substr(0, pattern.size() - 2), name);
  }
  return false;
}

// Windows-1252: the characters of bytes 0x80-0x9F (the five undefined bytes map to the C1
// control of the same value, as Windows converts them).
constexpr std::array<char16_t, 32> kCp1252High{{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
}};

void Count(std::atomic<std::uint64_t>& counter) {
  counter.fetch_add(1, std::memory_order_relaxed);
}

[[noreturn]] void Fail(std::wstring_view path, const char* what, ErrorCode rc) {
  throw std::invalid_argument(std::string("CMemoryFileSystem: ") + what + " failed (" +
                              std::to_string(rc) + ") for " + ToUtf8(path));
}

}  // namespace

// Where a path leads: its folder, and the entry itself when it exists.
struct CMemoryFileSystem::CLocation {
  std::shared_ptr<CEntry> parent;  // null for a drive root
  std::shared_ptr<CEntry> entry;   // null when the last element does not exist
  std::wstring name;               // the last element as written
  bool trailingSlash = false;
};

class CMemoryFileSystem::CMemoryFile final : public IFile {
 public:
  CMemoryFile(std::shared_ptr<std::mutex> lock, std::shared_ptr<std::size_t> openFiles,
              std::shared_ptr<CEntry> entry, FileOpenMode mode, FileShareMode share)
      : m_lock(std::move(lock)),
        m_openFiles(std::move(openFiles)),
        m_entry(std::move(entry)),
        m_write(mode != FileOpenMode::kRead),
        m_append(mode == FileOpenMode::kAppend || mode == FileOpenMode::kAppendExisting),
        m_denyWrite(share == FileShareMode::kDenyWrite) {
    ++m_entry->openCount;
    if (m_write) ++m_entry->writers;
    if (m_denyWrite) ++m_entry->denyWriters;
    ++*m_openFiles;
  }
  ~CMemoryFile() override {
    std::lock_guard lock(*m_lock);
    --m_entry->openCount;
    if (m_write) --m_entry->writers;
    if (m_denyWrite) --m_entry->denyWriters;
    --*m_openFiles;
  }
  CMemoryFile(const CMemoryFile&) = delete;
  CMemoryFile& operator=(const CMemoryFile&) = delete;

  ErrorCode Write(const void* data, std::size_t bytes) override {
    std::lock_guard lock(*m_lock);
    if (!m_write) return kErrorAccessDenied;
    if (bytes == 0) return kErrorSuccess;
    if (data == nullptr) return kErrorInvalidParameter;
    std::string& content = m_entry->content;
    if (m_append) m_position = content.size();
    if (m_position + bytes > content.size()) content.resize(m_position + bytes);
    std::memcpy(content.data() + m_position, data, bytes);
    m_position += bytes;
    return kErrorSuccess;
  }
  ErrorCode Flush() override {
    std::lock_guard lock(*m_lock);
    if (!m_write) return kErrorAccessDenied;
    ++m_entry->flushes;
    return kErrorSuccess;
  }
  ErrorCode ReadAll(std::string* bytes) override {
    std::lock_guard lock(*m_lock);
    if (bytes == nullptr) return kErrorInvalidParameter;
    const std::string& content = m_entry->content;
    *bytes = m_position < content.size() ? content.substr(m_position) : std::string();
    m_position = content.size();
    return kErrorSuccess;
  }
  ErrorCode QueryInfo(CPathInfo* info) override {
    std::lock_guard lock(*m_lock);
    if (info == nullptr) return kErrorInvalidParameter;
    *info = CPathInfo{m_entry->directory, m_entry->reparsePoint, m_entry->owner,
                      m_entry->adminsOnly, m_entry->content.size()};
    return kErrorSuccess;
  }

 private:
  std::shared_ptr<std::mutex> m_lock;
  std::shared_ptr<std::size_t> m_openFiles;
  std::shared_ptr<CEntry> m_entry;
  bool m_write;
  bool m_append;
  bool m_denyWrite;
  std::size_t m_position = 0;
};

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

FILE_SYSTEM_CALLS CMemoryFileSystem::Calls() const {
  return {m_existenceCalls.load(std::memory_order_relaxed),
          m_listingCalls.load(std::memory_order_relaxed),
          m_driveCalls.load(std::memory_order_relaxed), m_otherCalls.load(std::memory_order_relaxed)};
}

bool CMemoryFileSystem::FileExists(std::wstring_view path) {
  Count(m_existenceCalls);
  std::lock_guard lock(*m_lock);
  if (PathErrorLocked(path) != kErrorSuccess) return false;
  bool plain = false;
  const CEntry* found = FindPlainLocked(path, &plain);
  if (plain) return found != nullptr;
  CLocation where;
  if (LocateLocked(path, &where, true) != kErrorSuccess || !where.entry) return false;
  return !(where.trailingSlash && !where.entry->directory);
}

bool CMemoryFileSystem::IsDirectory(std::wstring_view path) {
  Count(m_existenceCalls);
  std::lock_guard lock(*m_lock);
  if (PathErrorLocked(path) != kErrorSuccess) return false;
  CLocation where;
  if (LocateLocked(path, &where, true) != kErrorSuccess || !where.entry) return false;
  return where.entry->directory;
}

ErrorCode CMemoryFileSystem::QueryExistence(std::wstring_view path) {
  Count(m_existenceCalls);
  std::lock_guard lock(*m_lock);
  if (const ErrorCode injected = PathErrorLocked(path); injected != kErrorSuccess) return injected;
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where, true);
  if (rc != kErrorSuccess) return rc;
  if (!where.entry || (where.trailingSlash && !where.entry->directory)) return kErrorFileNotFound;
  return kErrorSuccess;
}

DRIVE_KIND CMemoryFileSystem::DriveKind(wchar_t letter) {
  Count(m_driveCalls);
  if (!IsDriveLetter(letter)) return DRIVE_KIND::kAbsent;
  std::lock_guard lock(*m_lock);
  const auto kind = m_driveKinds.find(UpperDrive(letter));
  if (kind != m_driveKinds.end()) return kind->second;
  return m_drives.count(UpperDrive(letter)) != 0 ? DRIVE_KIND::kFixed : DRIVE_KIND::kAbsent;
}

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

bool CMemoryFileSystem::IsRoot(std::wstring_view path) {
  // PathIsRootW, character for character.
  if (path.empty()) return false;
  if (path[0] == L'\\') {
    if (path.size() == 1) return true;  // "\"
    if (path[1] == L'\\') {             // "\\server" or "\\server\share"
      bool seenSlash = false;
      for (std::size_t i = 2; i < path.size(); ++i) {
        if (path[i] == L'\\') {
          if (seenSlash) return false;
          seenSlash = true;
        }
      }
      return true;
    }
    return false;
  }
  return path.size() == 3 && path[1] == L':' && path[2] == L'\\';  // "X:\"
}

bool CMemoryFileSystem::FindOnPath(std::wstring* path) {
  if (path == nullptr || path->empty()) return false;
  if (path->find_first_of(L"\\:") != std::wstring::npos) return false;  // not a bare file name
  std::vector<std::wstring> folders;
  {
    std::lock_guard lock(*m_lock);
    folders = m_searchFolders;
  }
  for (const std::wstring& folder : folders) {
    std::wstring candidate = folder;
    if (!candidate.empty() && candidate.back() != L'\\') candidate += L'\\';
    candidate += *path;
    if (FileExists(candidate)) {
      *path = std::move(candidate);
      return true;
    }
  }
  return false;
}

ErrorCode CMemoryFileSystem::FindFiles(std::wstring_view pattern,
                                       std::vector<CFindData>* entries) {
  Count(m_listingCalls);
  if (entries == nullptr) return kErrorInvalidParameter;
  std::lock_guard lock(*m_lock);
  std::wstring text(pattern);
  std::replace(text.begin(), text.end(), L'/', L'\\');
  const std::size_t slash = text.find_last_of(L'\\');
  std::wstring folderPath;
  std::wstring last;
  if (slash == std::wstring::npos) {
    if (text.size() >= 2 && text[1] == L':') {
      folderPath = text.substr(0, 2) + L"\\";
      last = text.substr(2);
    } else {
      folderPath = m_currentFolder;
      last = text;
    }
  } else {
    folderPath = text.substr(0, slash + 1);
    last = text.substr(slash + 1);
  }
  if (last.empty()) return kErrorFileNotFound;
  if (const ErrorCode injected = PathErrorLocked(folderPath); injected != kErrorSuccess) {
    return injected;
  }
  CLocation where;
  if (LocateLocked(folderPath, &where, true) != kErrorSuccess || !where.entry ||
      !where.entry->directory) {
    return kErrorPathNotFound;
  }
  const std::u16string folded = FoldCase(last);
  std::vector<CFindData> found;
  if (where.parent) {  // not a drive root: the folder's own "." and ".."
    for (const wchar_t* dots : {L".", L".."}) {
      if (MatchesPattern(folded, FoldCase(dots))) found.push_back(CFindData{dots, true, 0});
    }
  }
  for (const auto& child : where.entry->children) {
    if (MatchesPattern(folded, child->folded)) {
      found.push_back(CFindData{child->name, child->directory,
                                child->directory ? 0 : child->content.size(),
                                child->reparsePoint, child->lastWriteTime});
    }
  }
  if (found.empty()) return kErrorFileNotFound;
  *entries = std::move(found);
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::MovePath(std::wstring_view from, std::wstring_view to) {
  Count(m_otherCalls);
  std::lock_guard lock(*m_lock);
  CLocation source;
  ErrorCode rc = LocateLocked(from, &source);
  if (rc != kErrorSuccess) return rc;
  if (!source.entry) return kErrorFileNotFound;
  if (!source.parent) return kErrorAccessDenied;  // a drive root
  CLocation target;
  rc = LocateLocked(to, &target);
  if (rc != kErrorSuccess) return rc;
  if (!target.parent) return kErrorAlreadyExists;
  if (target.entry && target.entry != source.entry) return kErrorAlreadyExists;
  if (source.entry->AnythingOpen()) return kErrorSharingViolation;
  for (const CEntry* up = target.parent.get(); up != nullptr; up = up->parent) {
    if (up == source.entry.get()) return kErrorAccessDenied;  // into its own subtree
  }
  std::shared_ptr<CEntry> moved = source.parent->Detach(source.entry.get());
  moved->name = target.name;
  moved->folded = FoldCase(target.name);
  target.parent->Attach(moved);
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::ReplaceFile(std::wstring_view from, std::wstring_view to) {
  Count(m_otherCalls);
  std::lock_guard lock(*m_lock);
  CLocation source;
  ErrorCode rc = LocateLocked(from, &source);
  if (rc != kErrorSuccess) return rc;
  if (!source.entry) return kErrorFileNotFound;
  if (!source.parent) return kErrorAccessDenied;
  CLocation target;
  rc = LocateLocked(to, &target);
  if (rc != kErrorSuccess) return rc;
  if (!target.parent) return kErrorAccessDenied;
  if (target.entry && target.entry != source.entry) {
    if (target.entry->directory || source.entry->directory) return kErrorAccessDenied;
    if (target.entry->openCount > 0) return kErrorSharingViolation;
  }
  if (source.entry->AnythingOpen()) return kErrorSharingViolation;
  if (target.entry && target.entry != source.entry) target.parent->Detach(target.entry.get());
  std::shared_ptr<CEntry> moved = source.parent->Detach(source.entry.get());
  moved->name = target.name;
  moved->folded = FoldCase(target.name);
  target.parent->Attach(moved);
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::RemoveFile(std::wstring_view path) {
  Count(m_otherCalls);
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess) return rc;
  if (!where.entry) return kErrorFileNotFound;
  if (where.entry->directory) return kErrorAccessDenied;
  if (where.entry->openCount > 0) return kErrorSharingViolation;
  where.parent->Detach(where.entry.get());
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::MakeDirectory(std::wstring_view path) {
  return MakeFolder(path, false);
}

ErrorCode CMemoryFileSystem::MakeFolder(std::wstring_view path, bool adminsOnly) {
  Count(m_otherCalls);
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess) return rc;
  if (where.entry) return kErrorAlreadyExists;
  AddChildLocked(*where.parent, where.name, true)->adminsOnly = adminsOnly;
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::RemoveFolder(std::wstring_view path) {
  Count(m_otherCalls);
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess) return rc;
  if (!where.entry) return kErrorFileNotFound;
  if (!where.parent) return kErrorAccessDenied;  // a drive root
  if (!where.entry->directory) return kErrorDirectory;
  if (!where.entry->children.empty()) return kErrorDirNotEmpty;
  where.parent->Detach(where.entry.get());
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::OpenFile(std::wstring_view path, FileOpenMode mode,
                                      FileShareMode share, std::unique_ptr<IFile>* file) {
  return OpenEntry(path, mode, share, false, file);
}

ErrorCode CMemoryFileSystem::OpenFileNoFollow(std::wstring_view path, FileOpenMode mode,
                                              FileShareMode share, std::unique_ptr<IFile>* file) {
  return OpenEntry(path, mode, share, true, file);
}

ErrorCode CMemoryFileSystem::OpenEntry(std::wstring_view path, FileOpenMode mode,
                                       FileShareMode share, bool noFollow,
                                       std::unique_ptr<IFile>* file) {
  Count(m_otherCalls);
  if (file == nullptr) return kErrorInvalidParameter;
  std::unique_ptr<IFile> opened;
  {
    std::lock_guard lock(*m_lock);
    CLocation where;
    const ErrorCode rc = LocateLocked(path, &where, !noFollow);
    if (rc != kErrorSuccess) return rc;
    std::shared_ptr<CEntry> entry = where.entry;
    if (noFollow && entry && entry->reparsePoint) return kErrorReparsePointEncountered;
    if (entry && (entry->directory || !where.parent)) return kErrorAccessDenied;
    if (!entry && (mode == FileOpenMode::kRead || mode == FileOpenMode::kOverwrite ||
                   mode == FileOpenMode::kAppendExisting)) {
      return kErrorFileNotFound;
    }
    const bool writes = mode != FileOpenMode::kRead;
    if (entry) {
      if (writes && entry->denyWriters > 0) return kErrorSharingViolation;
      if (share == FileShareMode::kDenyWrite && entry->writers > 0) return kErrorSharingViolation;
    } else {
      entry = AddChildLocked(*where.parent, where.name, false);
    }
    if (mode == FileOpenMode::kCreateAlways) entry->content.clear();
    opened = std::make_unique<CMemoryFile>(m_lock, m_openFiles, entry, mode, share);
  }
  // Outside the lock: a file the caller's pointer still holds closes here, and its closing takes
  // the same lock.
  *file = std::move(opened);
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::QueryPathInfo(std::wstring_view path, CPathInfo* info) {
  Count(m_existenceCalls);
  if (info == nullptr) return kErrorInvalidParameter;
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess) return rc;
  if (!where.entry) return kErrorFileNotFound;
  const CEntry& entry = *where.entry;
  *info = CPathInfo{entry.directory, entry.reparsePoint, entry.owner, entry.adminsOnly,
                    entry.directory ? 0 : entry.content.size()};
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::CreateUniqueFile(std::wstring_view folder, std::wstring* path,
                                              std::unique_ptr<IFile>* file) {
  if (path == nullptr || file == nullptr) return kErrorInvalidParameter;
  std::wstring base(folder);
  if (!base.empty() && base.back() != L'\\') base.push_back(L'\\');
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::uint8_t random[kUniqueFileRandomBytes];
    {
      std::lock_guard lock(*m_lock);
      for (std::size_t i = 0; i < kUniqueFileRandomBytes; ++i) {
        // splitmix64: enough for names that tests cannot predict.
        std::uint64_t z = (m_random += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        random[i] = static_cast<std::uint8_t>(z ^ (z >> 31));
      }
    }
    const std::wstring candidate = base + UniqueFileName(random);
    {
      std::lock_guard lock(*m_lock);
      CLocation where;
      const ErrorCode rc = LocateLocked(candidate, &where);
      if (rc != kErrorSuccess) return rc;
      if (!where.parent || !where.parent->directory) return kErrorPathNotFound;
      if (where.entry) continue;  // taken: another name
    }
    const ErrorCode rc =
        OpenEntry(candidate, FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite, true, file);
    if (rc != kErrorSuccess) return rc;
    *path = candidate;
    return kErrorSuccess;
  }
  return kErrorFileExists;
}

ErrorCode CMemoryFileSystem::RenameNoFollow(std::wstring_view from, std::wstring_view to) {
  // Nothing here follows a link: the entry itself moves, as MovePath moves it.
  return MovePath(from, to);
}

ErrorCode CMemoryFileSystem::MakeProtectedDirectory(std::wstring_view path) {
  return MakeFolder(path, true);
}

ErrorCode CMemoryFileSystem::ProtectDirectory(std::wstring_view path) {
  Count(m_otherCalls);
  std::lock_guard lock(*m_lock);
  CLocation where;
  const ErrorCode rc = LocateLocked(path, &where);
  if (rc != kErrorSuccess) return rc;
  if (!where.entry) return kErrorFileNotFound;
  if (where.entry->reparsePoint) return kErrorReparsePointEncountered;
  if (!where.entry->directory) return kErrorDirectory;
  if (!m_elevated) return kErrorAccessDenied;
  where.entry->adminsOnly = true;
  return kErrorSuccess;
}

bool CMemoryFileSystem::IsElevated() {
  std::lock_guard lock(*m_lock);
  return m_elevated;
}

ErrorCode CMemoryFileSystem::ToCodePage(std::wstring_view text, std::string* converted,
                                        bool* lossless) {
  std::string bytes;
  bool exact = true;
  for (char16_t u : ToUtf16(text)) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      bytes.push_back(static_cast<char>(u));
      continue;
    }
    const auto it = std::find(kCp1252High.begin(), kCp1252High.end(), u);
    if (it != kCp1252High.end()) {
      bytes.push_back(static_cast<char>(0x80 + (it - kCp1252High.begin())));
    } else {
      bytes.push_back('?');
      exact = false;
    }
  }
  if (lossless != nullptr) *lossless = exact;
  *converted = std::move(bytes);
  return kErrorSuccess;
}

ErrorCode CMemoryFileSystem::FromCodePage(std::string_view bytes, std::wstring* text) {
  std::u16string units;
  units.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    units.push_back((b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
  }
  *text = FromUtf16(units);
  return kErrorSuccess;
}

std::wstring CMemoryFileSystem::FinalPathLocked(const CEntry& entry) {
  std::wstring path;
  const CEntry* up = &entry;
  for (; up->parent != nullptr; up = up->parent) path = L"\\" + up->name + path;
  // The drive root's name ("C:\") ends in the backslash before the first name.
  return path.empty() ? up->name : up->name + path.substr(1);
}

ErrorCode CMemoryFileSystem::MoveByHandle(std::wstring_view from, std::wstring_view to) {
  Count(m_otherCalls);
  if (!IsPlainDrivePath(from) || !IsPlainDrivePath(to)) return kErrorBadPathname;
  std::lock_guard lock(*m_lock);
  CLocation source;
  ErrorCode rc = LocateLocked(from, &source);
  if (rc != kErrorSuccess) return rc;
  if (!source.entry) return kErrorFileNotFound;
  if (!EqualsNoCase(FinalPathLocked(*source.entry), from)) return kErrorStoppedOnSymlink;

  const std::size_t slash = to.rfind(L'\\');
  std::wstring folderPath(to.substr(0, slash));
  if (folderPath.size() == 2) folderPath += L'\\';  // "C:" is the drive's root
  CLocation folder;
  rc = LocateLocked(folderPath, &folder, true);
  if (rc != kErrorSuccess) return rc;
  if (!folder.entry || !folder.entry->directory) return kErrorPathNotFound;
  if (!EqualsNoCase(FinalPathLocked(*folder.entry), folderPath)) return kErrorStoppedOnSymlink;

  const std::wstring name(to.substr(slash + 1));
  if (const std::shared_ptr<CEntry> there = folder.entry->Child(name)) {
    if (there != source.entry) return kErrorAlreadyExists;
  }
  if (source.entry->AnythingOpen()) return kErrorSharingViolation;
  for (const CEntry* up = folder.entry.get(); up != nullptr; up = up->parent) {
    if (up == source.entry.get()) return kErrorAccessDenied;  // into its own subtree
  }
  std::shared_ptr<CEntry> moved = source.parent->Detach(source.entry.get());
  moved->name = name;
  moved->folded = FoldCase(name);
  folder.entry->Attach(moved);
  return kErrorSuccess;
}

// ---------------------------------------------------------------------------------------------
// Configuration and test helpers.

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
