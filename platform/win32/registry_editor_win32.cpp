#include "platform/win32/registry_editor_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "base/text.h"
#include "base/unique_handle.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/wine_detect.h"

namespace qv {
namespace {

using CKernelHandle = CUniqueHandle<CWin32HandleTraits>;

// COM for the shell call, undone only when this thread's call set it up.
class CComScope {
 public:
  CComScope()
      : m_initialized(SUCCEEDED(
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~CComScope() {
    if (m_initialized) CoUninitialize();
  }
  CComScope(const CComScope&) = delete;
  CComScope& operator=(const CComScope&) = delete;

 private:
  bool m_initialized;
};

// Starts the registry editor with the parameters format (its "%s" is the file) and waits up to
// timeoutMs for it to end. A process that does not end in time is left running: killing an
// editor halfway through a merge would leave a half-merged file behind for certain.
ErrorCode RunRegistryEditor(const wchar_t* format, std::wstring_view regFile,
                            std::uint32_t timeoutMs) {
  // By its full path in the Windows folder: a bare name would be looked for in the current
  // folder and the program's folder first.
  const std::wstring program = WindowsFolderPath(kRegistryEditorProgram);
  if (program.empty()) return ERROR_PATH_NOT_FOUND;
  const std::wstring parameters = FormatWithStrings(format, {regFile});
  CComScope com;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = nullptr;
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? static_cast<ErrorCode>(error) : ERROR_FILE_NOT_FOUND;
  }
  CKernelHandle process(info.hProcess);
  if (!process.valid()) return ERROR_INVALID_HANDLE;  // no process to wait for
  switch (WaitForSingleObject(process.get(), timeoutMs)) {
    case WAIT_OBJECT_0:
      return kErrorSuccess;
    case WAIT_TIMEOUT:
      return kErrorTimeout;
    default: {
      const DWORD error = GetLastError();
      return error != ERROR_SUCCESS ? static_cast<ErrorCode>(error) : ERROR_INVALID_HANDLE;
    }
  }
}

}  // namespace

ErrorCode CWin32RegistryEditor::Merge(std::wstring_view regFile, std::uint32_t timeoutMs) {
  const wchar_t* format =
      IsRunningOnWine() ? kRegistryEditorMergeParametersWine : kRegistryEditorMergeParameters;
  return RunRegistryEditor(format, regFile, timeoutMs);
}

ErrorCode CWin32RegistryEditor::Export(std::wstring_view regFile, std::uint32_t timeoutMs) {
  return RunRegistryEditor(kRegistryEditorExportParameters, regFile, timeoutMs);
}

}  // namespace qv
