#include "platform/win32/win32_shell.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "platform/win32/com_scope.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_handles.h"

namespace qv {

ErrorCode CWin32Shell::GetFolderPath(int csidl, std::wstring* path) {
  if (path == nullptr) return static_cast<std::int32_t>(E_INVALIDARG);
  wchar_t buffer[MAX_PATH] = {};
  const HRESULT hr = ::SHGetFolderPathW(nullptr, csidl, nullptr, 0, buffer);
  if (hr != S_OK) return static_cast<std::int32_t>(hr == S_FALSE ? E_FAIL : hr);
  *path = buffer;
  return ERROR_SUCCESS;
}

namespace {

// The last error of a failed call, or the fallback when the call set none.
ErrorCode LastErrorOr(ErrorCode fallback) {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? static_cast<ErrorCode>(error) : fallback;
}

}  // namespace

ErrorCode CWin32Shell::GetSpecialFolderPath(int csidl, bool create, std::wstring* path) {
  if (path == nullptr) return ERROR_INVALID_PARAMETER;
  wchar_t buffer[MAX_PATH] = {};
  ::SetLastError(ERROR_SUCCESS);
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE)) {
    return LastErrorOr(static_cast<ErrorCode>(E_FAIL));
  }
  *path = buffer;
  return ERROR_SUCCESS;
}

std::uint32_t CWin32Shell::ExpandEnvironment(std::wstring_view text, std::uint32_t capacity,
                                             std::wstring* expanded) {
  const std::wstring source(text);
  std::vector<wchar_t> buffer(capacity > 0 ? capacity : 1, L'\0');
  const DWORD needed =
      ::ExpandEnvironmentStringsW(source.c_str(), capacity > 0 ? buffer.data() : nullptr, capacity);
  if (needed != 0 && needed <= capacity && expanded != nullptr) {
    *expanded = std::wstring(buffer.data());
  }
  return needed;
}

std::wstring CWin32Shell::ModuleFileName() {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (true) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // cut: try again with more room
    if (buffer.size() > 32768) return {};
  }
}

ErrorCode CWin32Shell::GetFileVersion(std::wstring_view path, CFileVersion* version) {
  // version.dll is no known DLL: it is loaded from the system folder, never imported.
  static const auto getSize = SystemFunction<decltype(::GetFileVersionInfoSizeW)>(
      kVersionLibrary, "GetFileVersionInfoSizeW");
  static const auto getInfo =
      SystemFunction<decltype(::GetFileVersionInfoW)>(kVersionLibrary, "GetFileVersionInfoW");
  static const auto queryValue =
      SystemFunction<decltype(::VerQueryValueW)>(kVersionLibrary, "VerQueryValueW");
  if (getSize == nullptr || getInfo == nullptr || queryValue == nullptr) {
    return ERROR_PROC_NOT_FOUND;
  }
  const std::wstring file(path);
  DWORD ignored = 0;
  ::SetLastError(ERROR_SUCCESS);
  const DWORD size = getSize(file.c_str(), &ignored);
  if (size == 0) return LastErrorOr(ERROR_RESOURCE_TYPE_NOT_FOUND);
  std::vector<std::uint8_t> block(size);
  if (!getInfo(file.c_str(), 0, size, block.data())) {
    return LastErrorOr(ERROR_RESOURCE_TYPE_NOT_FOUND);
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!queryValue(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
      fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  if (version != nullptr) {
    version->parts = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                      HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
  }
  return ERROR_SUCCESS;
}

namespace {

ErrorCode MakeShellLink(CComPtr<IShellLinkW>* link, CComPtr<IPersistFile>* file) {
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  PutVoid(*link));
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  hr = link->get()->QueryInterface(IID_IPersistFile, PutVoid(*file));
  return FAILED(hr) ? static_cast<ErrorCode>(hr) : ERROR_SUCCESS;
}

}  // namespace

ErrorCode CWin32Shell::ReadShortcut(std::wstring_view path, SHORTCUT_INFO* info) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  CComScope com;
  if (!com.Ready()) return com.Error();
  CComPtr<IShellLinkW> link;
  CComPtr<IPersistFile> file;
  ErrorCode rc = MakeShellLink(&link, &file);
  if (rc != ERROR_SUCCESS) return rc;
  const std::wstring name(path);
  const HRESULT hr = file.get()->Load(name.c_str(), STGM_READ);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  // No Resolve: it looks for the target (a network share's host included), searches for a moved
  // one and may track it through the network, and may write the file. The stored path is all
  // that is asked for.
  SHORTCUT_INFO read;
  wchar_t buffer[MAX_PATH] = {};
  WIN32_FIND_DATAW found{};
  const HRESULT target = link.get()->GetPath(buffer, MAX_PATH, &found, SLGP_RAWPATH);
  if (target == S_OK) read.target = buffer;
  wchar_t arguments[INFOTIPSIZE] = {};
  if (SUCCEEDED(link.get()->GetArguments(arguments, INFOTIPSIZE))) read.arguments = arguments;
  wchar_t folder[MAX_PATH] = {};
  if (SUCCEEDED(link.get()->GetWorkingDirectory(folder, MAX_PATH))) read.workingFolder = folder;
  if (FAILED(target)) return static_cast<ErrorCode>(target);
  *info = std::move(read);
  return target == S_OK ? ERROR_SUCCESS : kErrorShortcutHasNoTarget;
}

ErrorCode CWin32Shell::CreateShortcut(std::wstring_view path, const SHORTCUT_INFO& info) {
  CComScope com;
  if (!com.Ready()) return com.Error();
  CComPtr<IShellLinkW> link;
  CComPtr<IPersistFile> file;
  ErrorCode rc = MakeShellLink(&link, &file);
  if (rc != ERROR_SUCCESS) return rc;
  HRESULT hr = link.get()->SetPath(info.target.c_str());
  if (SUCCEEDED(hr)) hr = link.get()->SetArguments(info.arguments.c_str());
  if (SUCCEEDED(hr) && !info.workingFolder.empty()) {
    hr = link.get()->SetWorkingDirectory(info.workingFolder.c_str());
  }
  const std::wstring name(path);
  if (SUCCEEDED(hr)) hr = file.get()->Save(name.c_str(), TRUE);
  return FAILED(hr) ? static_cast<ErrorCode>(hr) : ERROR_SUCCESS;
}

void CWin32Shell::GetSystemVersion(std::uint32_t* major, std::uint32_t* minor) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExW(&info)) {
    info.dwMajorVersion = 0;
    info.dwMinorVersion = 0;
  }
  if (major != nullptr) *major = info.dwMajorVersion;
  if (minor != nullptr) *minor = info.dwMinorVersion;
}

}  // namespace qv
