// The scan's progress reports as window messages: each IScanSink call becomes the message of the
// scan protocol (1581-1587, wParam 0, lParam as engine/scan_sink.h describes), sent synchronously
// with SendMessageW to the notify window, so the window handles it while the scan thread waits.
//
// The messages travel through a message-only relay window made on the notify window's thread.
// The relay forwards a message to the notify window only while the sink is open, and it decides
// that on the interface thread itself, in the same order as the interface's own actions. So once
// the interface has called Close() (say, because the user stopped the scan and a newer scan
// replaces it), not a single message of this scan reaches the window any more, not even the one
// the scan thread was already waiting in: that call returns 0 without being delivered. That
// waiting call still needs the interface thread to handle sent messages once more, so the
// interface thread never blocks on the scan thread without doing so (see CScanThread::Finished).
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "engine/scan_sink.h"
#include "base/errors.h"

namespace qv {

class CWin32ScanSink final : public IScanSink {
 public:
  // Makes the sink and its relay window on the calling thread, which must be the notify window's
  // thread (it must pump messages while a scan runs). Null, with *error (may be null) set to the
  // system's error code, when the relay window cannot be made.
  [[nodiscard]] static std::shared_ptr<CWin32ScanSink> Create(HWND notify, ErrorCode* error);

  // Destroys the relay window: at once on its own thread, otherwise by a WM_CLOSE posted to it.
  ~CWin32ScanSink() override;
  CWin32ScanSink(const CWin32ScanSink&) = delete;
  CWin32ScanSink& operator=(const CWin32ScanSink&) = delete;

  // Stops every further delivery. Call it on the notify window's thread; it never waits.
  void Close() { m_open.store(false); }
  [[nodiscard]] bool IsOpen() const { return m_open.load(); }

  [[nodiscard]] HWND NotifyWindow() const { return m_notify; }
  [[nodiscard]] HWND RelayWindow() const { return m_relay; }

  // IScanSink: each call sends its message and returns when the window has handled it (or at
  // once when the sink is closed).
  void OnScanStarted(CRegistryCleaner& engine) override;
  void OnEntryExamined(const std::wstring& text) override;
  void OnProblemFound(CRegistryProblem& problem) override;
  void OnCategoryStarted(int index) override;
  void OnCategoryFinished(int index) override;
  void OnCategorySkipped(int index) override;
  void OnScanEnded() override;

 private:
  explicit CWin32ScanSink(HWND notify);
  void Send(unsigned message, LPARAM lParam);
  static LRESULT CALLBACK RelayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_notify;
  HWND m_relay = nullptr;
  DWORD m_ownerThread;
  std::atomic<bool> m_open{true};
};

}  // namespace qv
