#include "platform/win32/system_library.h"

#include <string>

namespace qv {

HMODULE LoadSystemLibrary(std::wstring_view fileName) {
  std::wstring path(MAX_PATH, L'\0');
  UINT length = ::GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
  if (length >= path.size()) {
    path.resize(length);
    length = ::GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
  }
  if (length == 0 || length >= path.size()) return nullptr;
  path.resize(length);
  if (path.back() != L'\\') path += L'\\';
  path += fileName;
  return ::LoadLibraryW(path.c_str());
}

}  // namespace qv
