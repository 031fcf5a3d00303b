// An in-memory file system with the observable behaviour of the Win32 one, for unit tests.
//
// What it keeps as Windows does:
//  - drive letters ("C:\..."), names compared without case and kept in the case they were created
//    with; "/" works like "\", "." and ".." are resolved, a relative path starts at the current
//    folder (SetCurrentFolder, default C:\); UNC paths name nothing;
//  - the Win32 error codes: kErrorFileNotFound for a missing last element, kErrorPathNotFound for a
//    missing folder on the way, kErrorAlreadyExists, kErrorDirNotEmpty, kErrorDirectory (a folder
//    operation on a file), kErrorAccessDenied (a file operation on a folder);
//  - FindFiles: "*", "*.*" (which also matches names without a dot), "?" (exactly one
//    character) and exact names, "." and ".." in a wildcard listing of a folder that is not a
//    drive root; entries come sorted without case;
//  - IsRoot follows PathIsRootW exactly ("X:\", "\", "\\server", "\\server\share" are roots;
//    "C:" and "C:\dir" are not); FindOnPath follows PathFindOnPathW (a bare file name, searched in
//    SetSearchFolders' list, by default C:\Windows\system32, C:\Windows\system, C:\Windows);
//  - trust: every entry has an owner (by default the Administrators group, as an elevated
//    administrator's process makes them; SetOwner and SetNewEntryOwner change it) and an access
//    list that is either the protected one (MakeProtectedDirectory, ProtectDirectory) or any
//    other; a reparse point (MarkReparsePoint) is refused by OpenFileNoFollow and renamed itself
//    by RenameNoFollow; the process is elevated until SetElevated(false); CreateUniqueFile names
//    come from a random generator;
//  - sharing: a file opened kDenyWrite refuses any open for writing, and a file open for writing
//    refuses an open that denies writing (kErrorSharingViolation); an open file cannot be removed,
//    moved or replaced;
//  - the code page is Windows-1252 as WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS) and
//    MultiByteToWideChar convert it: the five undefined bytes map to U+0081, U+008D, U+008F,
//    U+0090, U+009D and back; any other character without a byte becomes '?' per UTF-16 unit
//    and clears *lossless.
//
// Test helpers throw std::invalid_argument when they cannot do what they are asked:
//
//   CMemoryFileSystem fs;                       // drive C: only
//   fs.AddFile(L"C:\\App\\app.exe");            // creates C:\App on the way
//   fs.AddFolder(L"D:\\Data");                  // creates drive D: on the way
//   std::optional<std::string> bytes = fs.ReadFile(L"C:\\App\\log.txt");
//
// All operations are safe to call from several threads (one lock).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"

namespace qv {

class CMemoryFileSystem final : public IFileSystem {
 public:
  CMemoryFileSystem();
  ~CMemoryFileSystem() override;
  CMemoryFileSystem(const CMemoryFileSystem&) = delete;
  CMemoryFileSystem& operator=(const CMemoryFileSystem&) = delete;

  // IFileSystem
  // Counts every call that asks the drive (FindOnPath as the names it tries).
  [[nodiscard]] FILE_SYSTEM_CALLS Calls() const override;
  [[nodiscard]] bool FileExists(std::wstring_view path) override;
  [[nodiscard]] bool IsRoot(std::wstring_view path) override;
  [[nodiscard]] bool FindOnPath(std::wstring* path) override;
  [[nodiscard]] bool IsDirectory(std::wstring_view path) override;
  [[nodiscard]] ErrorCode QueryExistence(std::wstring_view path) override;
  [[nodiscard]] DRIVE_KIND DriveKind(wchar_t letter) override;
  [[nodiscard]] ErrorCode FindFiles(std::wstring_view pattern,
                                    std::vector<CFindData>* entries) override;
  [[nodiscard]] ErrorCode MovePath(std::wstring_view from, std::wstring_view to) override;
  [[nodiscard]] ErrorCode RemoveFile(std::wstring_view path) override;
  [[nodiscard]] ErrorCode MakeDirectory(std::wstring_view path) override;
  [[nodiscard]] ErrorCode RemoveFolder(std::wstring_view path) override;
  [[nodiscard]] ErrorCode ReplaceFile(std::wstring_view from, std::wstring_view to) override;
  [[nodiscard]] ErrorCode OpenFile(std::wstring_view path, FileOpenMode mode, FileShareMode share,
                                   std::unique_ptr<IFile>* file) override;
  [[nodiscard]] ErrorCode ToCodePage(std::wstring_view text, std::string* bytes,
                                     bool* lossless) override;
  [[nodiscard]] ErrorCode FromCodePage(std::string_view bytes, std::wstring* text) override;
  [[nodiscard]] ErrorCode QueryPathInfo(std::wstring_view path, CPathInfo* info) override;
  [[nodiscard]] ErrorCode OpenFileNoFollow(std::wstring_view path, FileOpenMode mode,
                                           FileShareMode share,
                                           std::unique_ptr<IFile>* file) override;
  [[nodiscard]] ErrorCode CreateUniqueFile(std::wstring_view folder, std::wstring* path,
                                           std::unique_ptr<IFile>* file) override;
  [[nodiscard]] ErrorCode RenameNoFollow(std::wstring_view from, std::wstring_view to) override;
  [[nodiscard]] ErrorCode MakeProtectedDirectory(std::wstring_view path) override;
  [[nodiscard]] ErrorCode ProtectDirectory(std::wstring_view path) override;
  [[nodiscard]] bool IsElevated() override;
  // The final path of an entry is where it really is in the tree: a folder reached through a
  // link (MakeLink) has its target's path.
  [[nodiscard]] ErrorCode MoveByHandle(std::wstring_view from, std::wstring_view to) override;

  // ---- Configuration and test helpers ----
  // The owner of an existing entry (another account's planted file: FileOwner::kOther).
  void SetOwner(std::wstring_view path, FileOwner owner);
  // The owner of what this file system makes from now on, helpers included.
  void SetNewEntryOwner(FileOwner owner);
  void SetElevated(bool elevated);
  void AddDrive(wchar_t letter);
  // The kind DriveKind gives for the letter from now on (a drive that is there: kFixed until set;
  // one that is not: kAbsent). The drive's content stays as it is.
  void SetDriveKind(wchar_t letter, DRIVE_KIND kind);
  // From now on the drive cannot tell about the path or anything below it, whether it is there or
  // not: QueryExistence and FindFiles fail with the error, FileExists and IsDirectory say no (as
  // GetFileAttributesW fails on a file another program holds, a folder this account may not
  // read, a drive without its medium). kErrorSuccess lifts it again.
  void SetPathError(std::wstring_view path, ErrorCode error);
  // Creates the folder and every missing level (and its drive).
  void AddFolder(std::wstring_view path);
  // Listings show the entry as a reparse point (a junction or symbolic link); nothing else about
  // it changes.
  void MarkReparsePoint(std::wstring_view path);
  // Makes the folder at `path` (created when missing; it must be empty) a link to the folder
  // `target` (a full path), as a junction or a directory symbolic link is: listings show it as a
  // reparse point, a path through it leads into the target (a chain of more than 32 links leads
  // nowhere), and operations on the path itself (move, remove) act on the link.
  void MakeLink(std::wstring_view path, std::wstring_view target);
  // The time a listing gives for the entry (FILETIME units); 0 until set.
  void SetLastWriteTime(std::wstring_view path, std::uint64_t fileTime);
  // Creates or overwrites the file with the bytes, creating missing folders.
  void AddFile(std::wstring_view path, std::string_view content = {});
  // The file's bytes; nullopt when there is no such file.
  [[nodiscard]] std::optional<std::string> ReadFile(std::wstring_view path);
  // Names in a folder (no "." or ".."), sorted without case; throws when it is not a folder.
  [[nodiscard]] std::vector<std::wstring> ListFolder(std::wstring_view path);
  // Folders FindOnPath searches, in order.
  void SetSearchFolders(std::vector<std::wstring> folders);
  void SetCurrentFolder(std::wstring_view path);
  // Files open right now (tests check that every file was closed).
  [[nodiscard]] std::size_t OpenFileCount();
  // How many times Flush was called on files at this path.
  [[nodiscard]] int FlushCount(std::wstring_view path);

  struct CEntry;  // a file or folder (internal)

 private:
  struct CLocation;
  class CMemoryFile;

  [[nodiscard]] ErrorCode OpenEntry(std::wstring_view path, FileOpenMode mode, FileShareMode share,
                                    bool noFollow, std::unique_ptr<IFile>* file);
  [[nodiscard]] ErrorCode MakeFolder(std::wstring_view path, bool adminsOnly);
  // A new child owned by the owner of new entries.
  std::shared_ptr<CEntry> AddChildLocked(CEntry& parent, std::wstring_view name, bool directory);
  // `followLast`: a link at the last element leads to its target (as opening or listing a path
  // does); without it the link itself is found (as moving or removing it does). Links at earlier
  // elements are always followed.
  [[nodiscard]] ErrorCode LocateLocked(std::wstring_view path, CLocation* where,
                                       bool followLast = false, int depth = 0);
  // The entry's full path in the tree ("C:\dir\name").
  [[nodiscard]] static std::wstring FinalPathLocked(const CEntry& entry);
  // The entry at a plain absolute path ("C:\dir\name": a drive, backslashes, no "." or ".."
  // element, no character a name cannot hold), found without copying the path; *plain tells
  // whether the path was one (when false, LocateLocked must answer instead).
  [[nodiscard]] const CEntry* FindPlainLocked(std::wstring_view path, bool* plain);
  // Every entry by its folded full path ("C:\DIR\NAME"), made again after the tree changed.
  void RebuildIndexLocked();
  // The SetPathError error of the path or of a folder on its way; 0 for none.
  [[nodiscard]] ErrorCode PathErrorLocked(std::wstring_view path) const;

  std::shared_ptr<std::mutex> m_lock;
  std::map<wchar_t, std::shared_ptr<CEntry>> m_drives;  // upper-case letter -> root folder
  std::vector<std::wstring> m_searchFolders;
  std::wstring m_currentFolder = L"C:\\";
  std::u16string m_folded;  // a name being looked up (under the lock)
  std::uint64_t m_structure = 0;  // changes to the tree so far
  std::uint64_t m_indexedAt = ~std::uint64_t{0};
  std::unordered_map<std::u16string, const CEntry*> m_index;
  std::shared_ptr<std::size_t> m_openFiles;
  FileOwner m_newOwner = FileOwner::kAdministrators;
  bool m_elevated = true;
  std::uint64_t m_random;  // the state of the unique names' generator
  std::size_t m_links = 0;  // MakeLink calls so far: paths may then lead through links
  std::map<wchar_t, DRIVE_KIND> m_driveKinds;            // SetDriveKind, by upper-case letter
  std::map<std::u16string, ErrorCode> m_pathErrors;      // SetPathError, by folded path
  // Calls() by kind.
  std::atomic<std::uint64_t> m_existenceCalls{0};
  std::atomic<std::uint64_t> m_listingCalls{0};
  std::atomic<std::uint64_t> m_driveCalls{0};
  std::atomic<std::uint64_t> m_otherCalls{0};
};

}  // namespace qv
