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

enum class FileOpenMode {
  kCreateAlways,  // create or truncate, then write (the runtime's "w+")
  kAppend,        // create when missing, never truncate, write at the end
  kRead,          // existing file, read only
  kOverwrite,     // existing file, written over from its start; its length never shrinks
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
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // PathFileExistsW: a file or a folder exists at the path.
  [[nodiscard]] virtual bool FileExists(std::wstring_view path) = 0;
  // PathIsRootW: "C:\", "C:", "\", "\\server\share"...
  [[nodiscard]] virtual bool IsRoot(std::wstring_view path) = 0;
  // PathFindOnPathW with no extra folders: a bare file name found in the current folder, the
  // system folders or the PATH; on success *path becomes the full path.
  [[nodiscard]] virtual bool FindOnPath(std::wstring* path) = 0;
  [[nodiscard]] virtual bool IsDirectory(std::wstring_view path) = 0;

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
