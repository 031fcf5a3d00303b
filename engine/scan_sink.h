// The scan's progress reports, one call per progress message. The Win32 sink sends each call
// synchronously (SendMessageW, wParam 0) as the window message with the number beside it, so the
// receiving page handles it while the scan thread waits; tests use a recording sink.
#pragma once

#include <string>

namespace qv {

class CRegistryCleaner;
class CRegistryProblem;

// Window message numbers of the scan protocol.
inline constexpr unsigned kMsgScanEnded = 1581;        // lParam 0
inline constexpr unsigned kMsgEntryExamined = 1582;    // lParam: the UTF-16 text being examined
inline constexpr unsigned kMsgProblemFound = 1583;     // lParam: the CRegistryProblem (list-owned)
inline constexpr unsigned kMsgCategoryStarted = 1584;  // lParam: category index 0-10
inline constexpr unsigned kMsgCategoryFinished = 1585; // lParam: category index
inline constexpr unsigned kMsgCategorySkipped = 1586;  // lParam: category index
inline constexpr unsigned kMsgScanStarted = 1587;      // lParam: the engine

class IScanSink {
 public:
  virtual ~IScanSink() = default;
  // The scan thread has started (1587).
  virtual void OnScanStarted(CRegistryCleaner& engine) = 0;
  // A check is about to examine a key, value, path or file (1582). The text is valid only during
  // the call.
  virtual void OnEntryExamined(const std::wstring& text) = 0;
  // A problem has been added to the problem list (1583); the list owns it.
  virtual void OnProblemFound(CRegistryProblem& problem) = 0;
  // A category check starts (1584), has finished (1585), or is skipped (1586).
  virtual void OnCategoryStarted(int index) = 0;
  virtual void OnCategoryFinished(int index) = 0;
  virtual void OnCategorySkipped(int index) = 0;
  // The scan has ended: every category done, skipped or cancelled (1581).
  virtual void OnScanEnded() = 0;
};

}  // namespace qv
