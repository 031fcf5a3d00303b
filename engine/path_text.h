// Small path text helpers shared by the engine's files that read paths (path_references,
// path_view, path_memo, missing_paths, checks_shortcuts): no registry, no file system, no state.
#pragma once

#include <string_view>

#include "base/text.h"
#include "platform/platform.h"

namespace qv::path_text {

inline bool IsDriveRoot(std::wstring_view path) {
  return (path.size() == 2 || (path.size() == 3 && path[2] == L'\\')) && path[1] == L':';
}

// The path without trailing backslashes, a drive root keeping its own ("C:\").
inline std::wstring_view WithoutTrailingSlash(std::wstring_view path) {
  while (path.size() > 3 && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

// Whether a file's name is a program's: .exe or .dll, any case.
inline bool IsProgramFileName(std::wstring_view name) {
  if (name.size() < 4) return false;
  const std::wstring_view extension = name.substr(name.size() - 4);
  return EqualsNoCase(extension, L".exe") || EqualsNoCase(extension, L".dll");
}

// Whether the path is the folder or lies in it (compared without case).
inline bool IsInFolder(std::wstring_view path, std::wstring_view folder) {
  if (folder.empty() || path.size() < folder.size()) return false;
  if (!EqualsNoCase(path.substr(0, folder.size()), folder)) return false;
  return path.size() == folder.size() || folder.back() == L'\\' || path[folder.size()] == L'\\';
}

inline bool IsNotFound(ErrorCode error) {
  return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

// The last element of a path ("app.exe" of "C:\\App\\app.exe"; all of it without a backslash).
inline std::wstring_view NameOf(std::wstring_view path) {
  const std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// Whether a command line would find the path as name.exe: its name has no extension.
inline bool MayBeAProgramName(std::wstring_view path) {
  const std::wstring_view name = NameOf(path);
  return !name.empty() && name.find(L'.') == std::wstring_view::npos;
}

}  // namespace qv::path_text
