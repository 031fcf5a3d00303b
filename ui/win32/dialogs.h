// The two small modal dialogs: the repair's progress (CProgressDlg) and the registry backup or
// restore (CRegBackupDlg). Both show what a worker of the application layer reports and end
// only when that worker has ended, or, for the backup, when the user lets it finish alone.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "repair/full_backup.h"
#include "repair/repair_driver.h"
#include "ui/repair_notices.h"
#include "ui/win32/framework.h"

namespace qv::ui {

class CQuarveloDlg;

// Posted by the workers to their dialog when they have ended.
inline constexpr UINT kMsgRepairEnded = WM_APP + 20;
inline constexpr UINT kMsgBackupEnded = WM_APP + 21;

// The repair's progress. What the repair has to tell goes through the notices: message boxes for
// the user's repair, the log (and the notices' kept lines) for one that started by itself.
// What the repair's completion message carries (its lParam points at it while it is sent).
struct REPAIR_COMPLETION {
  const CRegistryCleaner* engine;
  const REPAIR_OUTCOME* outcome;
};

class CProgressDlg final : public CDialogWindow {
 public:
  CProgressDlg(CQuarveloDlg& main, CRepairNotices& notices) : m_main(main), m_notices(notices) {}

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

 private:
  void Begin();
  void OnCompleted(const CRegistryCleaner& engine, const REPAIR_OUTCOME& outcome);
  void OnEnded();

  CQuarveloDlg& m_main;
  CRepairNotices& m_notices;
  std::unique_ptr<IRepairSink> m_sink;
  int m_position = 0;
  bool m_started = false;
  bool m_completed = false;
  DWORD m_completedAt = 0;
};

// Backup mode (no file) exports the whole registry; restore mode merges a registry file and
// moves the shortcuts of its list back.
class CRegBackupDlg final : public CDialogWindow {
 public:
  explicit CRegBackupDlg(CQuarveloDlg& main, std::wstring registryFile = {},
                         std::wstring shortcutList = {});

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  void OnDestroy() override;

 private:
  // What the worker and the dialog share; the worker keeps it alive after an early close.
  struct JOB {
    std::mutex lock;
    HWND dialog = nullptr;  // cleared when the dialog ends: the worker then touches nothing
    bool restore = false;
    std::wstring registryFile;
    std::wstring shortcutList;
    ErrorCode result = kErrorSuccess;
    std::wstring path;  // the backup made
    std::wstring failure;  // what a restore that did not finish tells the user
  };
  void StartWorker();
  void EndDialogNow();

  CQuarveloDlg& m_main;
  std::shared_ptr<JOB> m_job = std::make_shared<JOB>();
  int m_state = 0;  // 0 before the worker started, 1 running, -1 after the end or a cancel
  int m_step = 0;
};

}  // namespace qv::ui
