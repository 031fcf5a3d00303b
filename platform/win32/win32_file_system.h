// The real file system: SHLWAPI path tests, FindFirstFileW listings, kernel32 moves and deletes,
// CreateFileW files (kDenyWrite shares reading only) and the ANSI code page conversions.
#pragma once

#include "platform/file_system.h"

namespace qv {

class CWin32FileSystem final : public IFileSystem {
 public:
  [[nodiscard]] bool FileExists(std::wstring_view path) override;
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
  // WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS) and MultiByteToWideChar(CP_ACP).
  [[nodiscard]] std::string ToCodePage(std::wstring_view text, bool* lossless) override;
  [[nodiscard]] std::wstring FromCodePage(std::string_view bytes) override;
};

}  // namespace qv
