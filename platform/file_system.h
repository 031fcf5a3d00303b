// The file system as the engine sees it. Paths are Windows paths (drive letter, backslashes);
// names compare without case. Two implementations: platform/win32 and platform/memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/text_writer.h"

namespace qv {

struct CFindData {
  std::wstring name;  // the entry's own name, without its folder
  bool directory = false;
  std::uint64_t size = 0;
  // FILE_ATTRIBUTE_REPARSE_POINT: a junction or a symbolic link (a folder reached through one may
  // be one already seen, or an ancestor: a walk into it may never end).
  bool reparsePoint = false;
  // ftLastWriteTime: 100-nanosecond intervals since 1 January 1601 (UTC), all 64 bits.
  std::uint64_t lastWriteTime = 0;
};

// What kind of drive a letter names (GetDriveTypeW of "X:\").
enum class DRIVE_KIND {
  kAbsent,     // no drive has the letter now (DRIVE_NO_ROOT_DIR): a card, a USB disk or a
               // network drive that is not connected
  kFixed,      // a hard disk (DRIVE_FIXED)
  kRemovable,  // a floppy, card reader or USB stick (DRIVE_REMOVABLE)
  kOptical,    // a CD or DVD drive (DRIVE_CDROM)
  kNetwork,    // a network share mapped to the letter (DRIVE_REMOTE)
  kRamDisk,    // DRIVE_RAMDISK
  kUnknown,    // the system cannot tell (DRIVE_UNKNOWN)
};

enum class FileOpenMode {
  kCreateAlways,    // create or truncate, then write (the runtime's "w+")
  kAppend,          // create when missing, never truncate, write at the end
  kRead,            // existing file, read only
  kOverwrite,       // existing file, written over from its start; its length never shrinks
  kAppendExisting,  // existing file, never truncated, written at the end
};

// Who owns a file or folder, as far as trusting it goes.
enum class FileOwner {
  kSystem,          // LocalSystem (S-1-5-18)
  kAdministrators,  // the Administrators group (S-1-5-32-544)
  kCurrentUser,     // the user this process runs as
  kOther,           // any other account
};

// What the trust rules ask of one file or folder (the entry itself: a link answers for itself,
// never for what it points at).
struct CPathInfo {
  bool directory = false;
  bool reparsePoint = false;  // a junction or symbolic link
  FileOwner owner = FileOwner::kOther;
  // The access list inherits nothing and allows no account but SYSTEM and Administrators.
  bool adminsOnly = false;
  std::uint64_t size = 0;  // of a file; 0 for a folder
};

enum class FileShareMode {
  kDenyWrite,  // other writers are refused while the file is open
  kShareAll,
};

// An open file. Bytes are written as given (Write and Flush of IByteSink): text conversion and
// CR LF belong to the text writers.
class IFile : public IByteSink {
 public:
  // Reads the rest of the file.
  [[nodiscard]] virtual ErrorCode ReadAll(std::string* bytes) = 0;
  // What the open file is and who owns it (asked of the handle, not of the path again). A file
  // that cannot tell answers kErrorNotSupported and is not trusted.
  [[nodiscard]] virtual ErrorCode QueryInfo(CPathInfo* info) {
    static_cast<void>(info);
    return kErrorNotSupported;
  }
};

// The name CreateUniqueFile gives a new file: this prefix, 32 hexadecimal digits of 16 random
// bytes, then the extension ("~qv3f09...c1.tmp"). Nothing the program lists ends so.
inline constexpr wchar_t kUniqueFilePrefix[] = L"~qv";
inline constexpr wchar_t kUniqueFileExtension[] = L".tmp";
inline constexpr std::size_t kUniqueFileRandomBytes = 16;
[[nodiscard]] std::wstring UniqueFileName(const std::uint8_t (&random)[kUniqueFileRandomBytes]);

// How often a file system was asked, by kind of call: what a scan costs the drive. Pure text
// operations (IsRoot, the code page conversions) and the process token (IsElevated) ask no drive
// and are not counted.
struct FILE_SYSTEM_CALLS {
  std::uint64_t existence = 0;  // FileExists, IsDirectory, QueryExistence, QueryPathInfo, FindOnPath
  std::uint64_t listings = 0;   // FindFiles
  std::uint64_t drives = 0;     // DriveKind
  std::uint64_t other = 0;      // opens, moves, removes, new folders, protection
  [[nodiscard]] std::uint64_t Total() const { return existence + listings + drives + other; }
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // The calls made so far on this object; a file system that does not count answers zeros.
  [[nodiscard]] virtual FILE_SYSTEM_CALLS Calls() const { return {}; }

  // PathFileExistsW: a file or a folder exists at the path.
  [[nodiscard]] virtual bool FileExists(std::wstring_view path) = 0;
  // PathIsRootW: "C:\", "C:", "\", "\\server\share"...
  [[nodiscard]] virtual bool IsRoot(std::wstring_view path) = 0;
  // PathFindOnPathW with no extra folders: a bare file name found in the current folder, the
  // system folders or the PATH; on success *path becomes the full path.
  [[nodiscard]] virtual bool FindOnPath(std::wstring* path) = 0;
  [[nodiscard]] virtual bool IsDirectory(std::wstring_view path) = 0;
  // What the drive says of a path (GetFileAttributesW): 0 when a file or folder is there;
  // kErrorFileNotFound or kErrorPathNotFound when it is not; any other code when the drive could
  // not tell (access denied, a sharing violation, a drive without its medium, a network path that
  // does not answer, a name the file system cannot hold).
  [[nodiscard]] virtual ErrorCode QueryExistence(std::wstring_view path) = 0;
  // The kind of the drive with the letter (any case); kAbsent for a character that is no letter.
  [[nodiscard]] virtual DRIVE_KIND DriveKind(wchar_t letter) = 0;

  // FindFirstFileW/FindNextFileW: the entries of a folder that match the pattern's last
  // element ("C:\dir\*.*", "C:\dir\*", or an exact name), including "." and ".." for a wildcard
  // listing of a folder that is not a drive root, in the platform's order.
  // kErrorFileNotFound (or kErrorPathNotFound) when nothing matches.
  [[nodiscard]] virtual ErrorCode FindFiles(std::wstring_view pattern,
                                            std::vector<CFindData>* entries) = 0;

  [[nodiscard]] virtual ErrorCode MovePath(std::wstring_view from, std::wstring_view to) = 0;
  [[nodiscard]] virtual ErrorCode RemoveFile(std::wstring_view path) = 0;
  [[nodiscard]] virtual ErrorCode MakeDirectory(std::wstring_view path) = 0;  // one level
  [[nodiscard]] virtual ErrorCode RemoveFolder(std::wstring_view path) = 0;   // must be empty
  // Renames over an existing file in one step (MoveFileExW with MOVEFILE_REPLACE_EXISTING).
  [[nodiscard]] virtual ErrorCode ReplaceFile(std::wstring_view from, std::wstring_view to) = 0;

  [[nodiscard]] virtual ErrorCode OpenFile(std::wstring_view path, FileOpenMode mode,
                                           FileShareMode share, std::unique_ptr<IFile>* file) = 0;

  // The system's 8-bit code page (the runtime locale of the files we write). Returns 0, or the
  // conversion's error (nothing converted, *bytes or *text unchanged); an empty input converts
  // to an empty output. *lossless (may be null) tells whether every character had a form of its
  // own in the code page.
  [[nodiscard]] virtual ErrorCode ToCodePage(std::wstring_view text, std::string* bytes,
                                             bool* lossless) = 0;
  [[nodiscard]] virtual ErrorCode FromCodePage(std::string_view bytes, std::wstring* text) = 0;

  // ---- Trust: owners, reparse points, protected folders, new files --------------------------
  // The product data folder is closed to every account but SYSTEM and Administrators; what is
  // in it is trusted only when it is no link and its owner is one of those or this process's
  // user. A link or junction at the last element of a path is never followed by these calls.

  // The entry at the path itself. kErrorFileNotFound or kErrorPathNotFound when there is none.
  [[nodiscard]] virtual ErrorCode QueryPathInfo(std::wstring_view path, CPathInfo* info) = 0;
  // OpenFile, except that a reparse point at the path is neither opened nor created:
  // kErrorReparsePointEncountered, nothing opened.
  [[nodiscard]] virtual ErrorCode OpenFileNoFollow(std::wstring_view path, FileOpenMode mode,
                                                   FileShareMode share,
                                                   std::unique_ptr<IFile>* file) = 0;
  // Creates a new, empty file in the folder under a name nobody can guess (random, from the
  // system's random source), exclusively: a name that is taken in any way, a link included, is
  // never opened. The file is open for reading and writing, other writers denied; *path gets
  // its full path. Nothing is created on failure.
  [[nodiscard]] virtual ErrorCode CreateUniqueFile(std::wstring_view folder, std::wstring* path,
                                                   std::unique_ptr<IFile>* file) = 0;
  // Renames the entry itself, a link or junction included (never what it points at), and never
  // over an existing name (kErrorAlreadyExists). Where the system would move a link's target
  // instead (Wine does so for a Unix symbolic link), the link is refused: kErrorNotSupported,
  // nothing moves.
  [[nodiscard]] virtual ErrorCode RenameNoFollow(std::wstring_view from, std::wstring_view to) = 0;
  // Creates one folder level with the protected access list: full control for SYSTEM and
  // Administrators, inherited by what is made inside, nothing inherited from above, nothing for
  // any other account.
  [[nodiscard]] virtual ErrorCode MakeProtectedDirectory(std::wstring_view path) = 0;
  // Gives an existing folder that access list (it must be no reparse point:
  // kErrorReparsePointEncountered).
  [[nodiscard]] virtual ErrorCode ProtectDirectory(std::wstring_view path) = 0;
  // Whether this process runs with an administrator's full (elevated) token: only then does it
  // change access lists or what is in the product data folder.
  [[nodiscard]] virtual bool IsElevated() = 0;
  // ---- Moves through open handles: a link made after a path was found is not passed through --
  // Moves the file at `from` to `to` as MovePath does, but through open handles, so the move
  // goes where the paths say or nowhere:
  //  - `from` is opened without following a reparse point at its last element (a link there is
  //    moved itself, never what it leads to), and the folder of `to` as any folder is opened;
  //  - each handle's final path (every junction and symbolic link on the way resolved) must be
  //    the path given, `from` itself and the folder part of `to`, compared without case;
  //    otherwise nothing is moved: kErrorStoppedOnSymlink (a folder on the way became a link, or
  //    leads elsewhere);
  //  - both stay open, neither shared for deletion, until the move is done.
  // A file at `to` is never replaced (kErrorAlreadyExists). Both paths must be plain drive paths
  // (IsPlainDrivePath), otherwise kErrorBadPathname and nothing is touched.
  [[nodiscard]] virtual ErrorCode MoveByHandle(std::wstring_view from, std::wstring_view to) = 0;
};

// A full path on a drive written the one way the file system writes it back: "X:\" and one or
// more names joined by single backslashes, none empty, "." or "..", none ending in a dot or a
// blank (which Windows would drop), none holding a control character or one of / : * ? " < > |.
[[nodiscard]] inline bool IsPlainDrivePath(std::wstring_view path) {
  if (path.size() < 4 || path[1] != L':' || path[2] != L'\\') return false;
  if (!((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'))) return false;
  std::wstring_view rest = path.substr(3);
  while (true) {
    const std::size_t end = rest.find(L'\\');
    const std::wstring_view name = rest.substr(0, end);
    if (name.empty() || name == L"." || name == L".." || name.back() == L'.' ||
        name.back() == L' ') {
      return false;
    }
    for (const wchar_t c : name) {
      if (c < 0x20 || std::wstring_view(L"/:*?\"<>|").find(c) != std::wstring_view::npos) {
        return false;
      }
    }
    if (end == std::wstring_view::npos) return true;
    rest.remove_prefix(end + 1);
  }
}

}  // namespace qv
