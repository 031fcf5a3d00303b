#include "engine/win32/scan_sink_win32.h"

#include "engine/registry_problem.h"

namespace qv {
namespace {

constexpr wchar_t kRelayClassName[] = L"QuarveloScanRelay";

bool IsScanMessage(UINT message) { return message >= kMsgScanEnded && message <= kMsgScanStarted; }

// The module this code is linked into (the program or the library), which owns the class.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  static const int anchor = 0;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&anchor), &module)) {
    module = GetModuleHandleW(nullptr);
  }
  return module;
}

}  // namespace

CWin32ScanSink::CWin32ScanSink(HWND notify)
    : m_notify(notify), m_ownerThread(GetCurrentThreadId()) {}

std::shared_ptr<CWin32ScanSink> CWin32ScanSink::Create(HWND notify, ErrorCode* error) {
  if (error != nullptr) *error = kErrorSuccess;
  const HINSTANCE module = ThisModule();
  WNDCLASSEXW relayClass{};
  relayClass.cbSize = sizeof(relayClass);
  relayClass.lpfnWndProc = &CWin32ScanSink::RelayProc;
  relayClass.hInstance = module;
  relayClass.lpszClassName = kRelayClassName;
  if (RegisterClassExW(&relayClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    if (error != nullptr) *error = static_cast<ErrorCode>(GetLastError());
    return nullptr;
  }

  std::shared_ptr<CWin32ScanSink> sink(new CWin32ScanSink(notify));
  sink->m_relay = CreateWindowExW(0, kRelayClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  module, nullptr);
  if (sink->m_relay == nullptr) {
    if (error != nullptr) *error = static_cast<ErrorCode>(GetLastError());
    return nullptr;
  }
  SetWindowLongPtrW(sink->m_relay, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(sink.get()));
  return sink;
}

CWin32ScanSink::~CWin32ScanSink() {
  Close();
  if (m_relay == nullptr) return;
  // From here on the relay forwards nothing, whichever thread destroys it.
  SetWindowLongPtrW(m_relay, GWLP_USERDATA, 0);
  if (GetCurrentThreadId() == m_ownerThread) {
    DestroyWindow(m_relay);
  } else {
    // A window can only be destroyed by its own thread; WM_CLOSE makes it destroy itself there.
    PostMessageW(m_relay, WM_CLOSE, 0, 0);
  }
}

LRESULT CALLBACK CWin32ScanSink::RelayProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (IsScanMessage(message)) {
    // This runs on the notify window's thread: Close() on that thread happens either wholly
    // before or wholly after this test.
    auto* sink = reinterpret_cast<CWin32ScanSink*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (sink == nullptr || !sink->IsOpen()) return 0;
    return SendMessageW(sink->m_notify, message, 0, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void CWin32ScanSink::Send(unsigned message, LPARAM lParam) {
  if (!IsOpen()) return;
  SendMessageW(m_relay, message, 0, lParam);
}

void CWin32ScanSink::OnScanStarted(CRegistryCleaner& engine) {
  Send(kMsgScanStarted, reinterpret_cast<LPARAM>(&engine));
}

void CWin32ScanSink::OnEntryExamined(const std::wstring& text) {
  Send(kMsgEntryExamined, reinterpret_cast<LPARAM>(text.c_str()));
}

void CWin32ScanSink::OnProblemFound(CRegistryProblem& problem) {
  Send(kMsgProblemFound, reinterpret_cast<LPARAM>(&problem));
}

void CWin32ScanSink::OnCategoryStarted(int index) {
  Send(kMsgCategoryStarted, static_cast<LPARAM>(index));
}

void CWin32ScanSink::OnCategoryFinished(int index) {
  Send(kMsgCategoryFinished, static_cast<LPARAM>(index));
}

void CWin32ScanSink::OnCategorySkipped(int index) {
  Send(kMsgCategorySkipped, static_cast<LPARAM>(index));
}

void CWin32ScanSink::OnScanEnded() { Send(kMsgScanEnded, 0); }

}  // namespace qv
