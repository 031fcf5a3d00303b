// The real file system: SHLWAPI path tests, FindFirstFileW listings, kernel32 moves and deletes,
// CreateFileW files (kDenyWrite shares reading only) and the ANSI code page conversions; owners
// and access lists through the security descriptor of a handle opened without following a
// reparse point (FILE_FLAG_OPEN_REPARSE_POINT), new files with CREATE_NEW under names from
// RtlGenRandom, elevation from the process token (TokenElevation).
//
// Wine (measured with 8.0, docs/wine-notes.md): owners read as the current user, the access list
// follows the Unix mode (SetSecurityInfo leaves it as it was; SetKernelObjectSecurity changes
// it), a Unix symbolic link to a folder lists as a reparse point but a handle opened with
// FILE_FLAG_OPEN_REPARSE_POINT is the folder it points at, and every rename of such a link
// moves its target. The calls below compare the path's attributes with the handle's and refuse
// what they would otherwise do to the target.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/file_system.h"

namespace qv {

class CWin32FileSystem final : public IFileSystem {
 public:
  // Counts every call that asks the drive (FindOnPath as one).
  [[nodiscard]] FILE_SYSTEM_CALLS Calls() const override;
  [[nodiscard]] bool FileExists(std::wstring_view path) override;
  [[nodiscard]] ErrorCode QueryExistence(std::wstring_view path) override;
  [[nodiscard]] DRIVE_KIND DriveKind(wchar_t letter) override;
  [[nodiscard]] bool IsRoot(std::wstring_view path) override;
  [[nodiscard]] bool FindOnPath(std::wstring* path) override;
  [[nodiscard]] bool IsDirectory(std::wstring_view path) override;
  [[nodiscard]] ErrorCode FindFiles(std::wstring_view pattern,
                                    std::vector<CFindData>* entries) override;
  [[nodiscard]] ErrorCode MovePath(std::wstring_view from, std::wstring_view to) override;
  [[nodiscard]] ErrorCode RemoveFile(std::wstring_view path) override;
  [[nodiscard]] ErrorCode MakeDirectory(std::wstring_view path) override;
  [[nodiscard]] ErrorCode RemoveFolder(std::wstring_view path) override;
  [[nodiscard]] ErrorCode ReplaceFile(std::wstring_view from, std::wstring_view to) override;
  [[nodiscard]] ErrorCode OpenFile(std::wstring_view path, FileOpenMode mode, FileShareMode share,
                                   std::unique_ptr<IFile>* file) override;
  // WideToCodePage and CodePageToWide with the system's ANSI code page (GetACP).
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

  // CreateFileW (FILE_FLAG_OPEN_REPARSE_POINT for the file, FILE_FLAG_BACKUP_SEMANTICS for
  // both), GetFinalPathNameByHandleW, and SetFileInformationByHandle(FileRenameInfo) with the
  // full new path.
  [[nodiscard]] ErrorCode MoveByHandle(std::wstring_view from, std::wstring_view to) override;

 private:
  std::atomic<std::uint64_t> m_existenceCalls{0};
  std::atomic<std::uint64_t> m_listingCalls{0};
  std::atomic<std::uint64_t> m_driveCalls{0};
  std::atomic<std::uint64_t> m_otherCalls{0};
};

// The protected access list of the product data folder, as the system's descriptor language
// writes it: full control for SYSTEM and Administrators, inherited by files and folders made
// inside, nothing inherited from above.
inline constexpr wchar_t kProtectedFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Whether the conversions of the code page refuse every flag (UTF-8, UTF-7, GB18030, the ISO-2022
// pages, ISCII, symbol...): those are called with no flags and no default-character arguments.
[[nodiscard]] bool CodePageTakesNoFlags(unsigned codePage);
// WideCharToMultiByte: WC_NO_BEST_FIT_CHARS where the code page takes it, *lossless from the
// default-character flag; for a code page that takes no flags, *lossless tells whether the bytes
// read back as the text. Returns 0 or the conversion's error (GetLastError), *bytes unchanged
// and *lossless (may be null) false on failure.
[[nodiscard]] ErrorCode WideToCodePage(unsigned codePage, std::wstring_view text,
                                       std::string* bytes, bool* lossless);
// MultiByteToWideChar with no flags. Returns 0 or the conversion's error, *text unchanged on
// failure.
[[nodiscard]] ErrorCode CodePageToWide(unsigned codePage, std::string_view bytes,
                                       std::wstring* text);

}  // namespace qv
