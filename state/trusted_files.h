// The files and folders of the product data folder that the program trusts, and how it makes new
// ones there.
//
// An administrator's process that reads, merges or restores what another account could have put
// in its folders can be steered by that account. So a file or folder there is trusted only when
// it is no reparse point (a junction or link could lead anywhere) and its owner is SYSTEM, the
// Administrators group or the user this process runs as. What is not trusted is not read, and
// the reason is told. New files are never opened at a name someone could have prepared: they are
// created exclusively under a name nobody can guess and then renamed into place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/language.h"
#include "platform/file_system.h"

namespace qv {

[[nodiscard]] bool IsTrustedOwner(FileOwner owner);
// 0 when trusted, kErrorReparsePointEncountered, or kErrorInvalidOwner.
[[nodiscard]] ErrorCode TrustOf(const CPathInfo& info);
// The entry at the path (itself, never what a link points at): 0 when trusted, the two errors of
// TrustOf, or the error of asking (kErrorFileNotFound when there is none).
[[nodiscard]] ErrorCode CheckTrustedPath(IFileSystem& files, std::wstring_view path);
// Why a file or folder is not trusted, for people ("it is a link to another place ...").
[[nodiscard]] std::wstring UntrustedReasonText(ErrorCode trust, WORDING wording = WORDING::kUser);

// Opens an existing file (kRead or kAppendExisting) without following a reparse point, and keeps
// it only when the open file itself is trusted. The open's error, kErrorReparsePointEncountered
// or kErrorInvalidOwner (nothing kept open), or the error of asking the file who owns it.
[[nodiscard]] ErrorCode OpenTrustedFile(IFileSystem& files, std::wstring_view path,
                                        FileOpenMode mode, FileShareMode share,
                                        std::unique_ptr<IFile>* file);
// Reads the whole of a trusted file: OpenTrustedFile's errors, or kErrorFileTooLarge (nothing
// read) for a file of more than maxBytes.
[[nodiscard]] ErrorCode ReadTrustedFile(IFileSystem& files, std::wstring_view path,
                                        std::uint64_t maxBytes, std::string* bytes);
inline constexpr std::uint64_t kNoSizeLimit = ~std::uint64_t{0};

// The folder part of a path ("C:\a\b.txt" gives "C:\a").
[[nodiscard]] std::wstring_view FolderOf(std::wstring_view path);

// A new empty file beside `path` (in its folder) under a name nobody can guess, for content that
// then replaces `path` in one step (IFileSystem::ReplaceFile). *temporary gets its path.
[[nodiscard]] ErrorCode CreateTemporaryBeside(IFileSystem& files, std::wstring_view path,
                                              std::wstring* temporary,
                                              std::unique_ptr<IFile>* file);

// Makes a new file at `path` that nobody else can have prepared: an empty file made by
// CreateTemporaryBeside is renamed to `path` (never over anything there, a link included:
// kErrorAlreadyExists, and the new file is removed again), then opened there again without
// following a reparse point, for writing at its end with other writers denied.
[[nodiscard]] ErrorCode CreateFileInPlace(IFileSystem& files, std::wstring_view path,
                                          std::unique_ptr<IFile>* file);

}  // namespace qv
