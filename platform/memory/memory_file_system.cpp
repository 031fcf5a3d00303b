// The in-memory file system's answers to IFileSystem (memory_file_system.h): existence,
// listings, moves, removals, folders, open files and their sharing, trust, unique names and the
// code page. Each call takes the lock and works on the tree (memory_file_tree.h); it touches
// nothing outside this object.
#include "platform/memory/memory_file_system.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/memory/memory_file_tree.h"

namespace qv {
namespace {

using CEntry = CMemoryFileSystem::CEntry;
using file_tree::IsDriveLetter;
using file_tree::UpperDrive;

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

}  // namespace

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

}  // namespace qv
