#include "launcher/win32/running_instance.h"

#include <iterator>
#include <string>

#include "launcher/launcher_texts.h"
#include "platform/win32/win32_handles.h"

namespace qv {

namespace {

bool HasExactCaption(HWND window) {
  constexpr int kNameChars = static_cast<int>(std::size(kInstanceName)) - 1;
  wchar_t caption[kNameChars + 2] = {};
  const int length = ::GetWindowTextW(window, caption, kNameChars + 2);
  return length == kNameChars && std::wstring_view(caption, length) == kInstanceName;
}

// The instance's main window, not one of its message boxes (they carry the same caption): a
// window of its own, with no owner and no message text (the message box's control 0xFFFF).
bool IsMainWindow(HWND window) {
  return ::GetWindow(window, GW_OWNER) == nullptr && ::GetDlgItem(window, 0xFFFF) == nullptr;
}

bool SameFileName(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether the window's process runs a program file named programFileName; true when that
// cannot be found out.
bool RunsProgramNamed(HWND window, std::wstring_view programFileName) {
  if (programFileName.empty()) return true;
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  CUniqueHandle<CWin32HandleTraits> process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return true;
  std::wstring image(32768, L'\0');
  DWORD length = static_cast<DWORD>(image.size());
  if (!::QueryFullProcessImageNameW(process.get(), 0, image.data(), &length)) return true;
  image.resize(length);
  return SameFileName(FileNameOf(image), programFileName);
}

}  // namespace

std::wstring_view FileNameOf(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

HWND FindRunningInstanceWindow(std::wstring_view programFileName) {
  // FindWindowExW compares captions without regard to letter case; the exact test follows.
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, nullptr, kInstanceName)) != nullptr) {
    if (HasExactCaption(window) && IsMainWindow(window) && RunsProgramNamed(window, programFileName)) {
      return window;
    }
  }
  return nullptr;
}

bool RequestClose(HWND window) {
  DWORD_PTR answer = 0;
  return ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseReplyTimeoutMs,
                               &answer) != 0;
}

void ForwardToRunningInstance(const FORWARD_PLAN& plan, std::wstring_view programFileName) {
  const HWND window = FindRunningInstanceWindow(programFileName);
  if (window == nullptr) return;
  if (plan.closeRunning && RequestClose(window)) {
    ::Sleep(kCloseRetryDelayMs);
    const HWND again = FindRunningInstanceWindow(programFileName);
    if (again != nullptr) RequestClose(again);
  }
  if (::IsWindow(window)) ::PostMessageW(window, plan.message, 0, 0);
}

}  // namespace qv
