#include "state/data_folder.h"

#include "state/state_texts.h"

namespace qv {
namespace {

// Appends one level to the path and creates it when missing. Returns 0 when it exists afterwards.
ErrorCode AddLevel(IFileSystem& files, std::wstring* path, std::wstring_view level) {
  if (!path->empty()) path->push_back(L'\\');
  *path += level;
  if (files.IsDirectory(*path)) return kErrorSuccess;
  const ErrorCode rc = files.MakeDirectory(*path);
  // Someone else may have made it between the test and the creation.
  if (rc == kErrorAlreadyExists && files.IsDirectory(*path)) return kErrorSuccess;
  return rc;
}

}  // namespace

std::wstring_view StripTrailingBackslashes(std::wstring_view path) {
  while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

std::wstring ProgramFolder(IShell& shell) {
  const std::wstring module = shell.ModuleFileName();
  const std::size_t slash = module.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  return std::wstring(StripTrailingBackslashes(std::wstring_view(module).substr(0, slash)));
}

std::wstring ProductDataFolder(IShell& shell, IFileSystem& files, std::wstring_view subfolder,
                               ErrorCode* createError) {
  subfolder = StripTrailingBackslashes(subfolder);
  std::wstring common;
  const bool haveCommon =
      shell.GetFolderPath(kCommonAppDataCreate, &common) == kErrorSuccess && !common.empty();

  std::wstring path;
  std::wstring_view levels[2];
  std::size_t levelCount = 0;
  if (haveCommon) {
    path = StripTrailingBackslashes(common);
    levels[levelCount++] = kProductName;
  } else {
    path = ProgramFolder(shell);
  }
  if (!subfolder.empty()) levels[levelCount++] = subfolder;

  ErrorCode firstError = kErrorSuccess;
  for (std::size_t i = 0; i < levelCount; ++i) {
    if (firstError != kErrorSuccess) {
      // Creation stopped: the rest of the path is named but not made.
      path.push_back(L'\\');
      path += levels[i];
      continue;
    }
    firstError = AddLevel(files, &path, levels[i]);
  }
  if (createError != nullptr) *createError = firstError;
  return std::wstring(StripTrailingBackslashes(path));
}

std::wstring ProductDataFolderPath(IShell& shell, std::wstring_view subfolder) {
  subfolder = StripTrailingBackslashes(subfolder);
  std::wstring common;
  std::wstring path;
  if (shell.GetFolderPath(kCsidlCommonAppData, &common) == kErrorSuccess && !common.empty()) {
    path = StripTrailingBackslashes(common);
    path.push_back(L'\\');
    path += kProductName;
  } else {
    path = ProgramFolder(shell);
  }
  if (!subfolder.empty()) {
    path.push_back(L'\\');
    path += subfolder;
  }
  return std::wstring(StripTrailingBackslashes(path));
}

}  // namespace qv
