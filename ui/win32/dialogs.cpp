#include "ui/win32/dialogs.h"

#include <commctrl.h>

#include <utility>
#include <vector>

#include "platform/win32/registry_editor_win32.h"
#include "platform/win32/win32_dpi.h"
#include "repair/backup_file.h"
#include "repair/backup_texts.h"
#include "repair/full_backup.h"
#include "state/data_folder.h"
#include "state/state_texts.h"
#include "ui/ui_texts.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/pages.h"
#include "ui/win32/resource.h"

namespace qv::ui {
namespace {

constexpr UINT_PTR kStartTimer = 100;
constexpr UINT_PTR kCloseTimer = 101;
constexpr UINT_PTR kBackupTimer = 100;
constexpr unsigned kBackupTickMs = 50;

// The repair's reports as synchronous window messages to the progress dialog (the repair waits
// until the dialog has handled each). The restore point's failure goes to the notices on the
// repair's thread, which shows the box there (no owner) only for the user's repair.
class CWindowRepairSink final : public IRepairSink {
 public:
  CWindowRepairSink(HWND dialog, CRepairNotices& notices) : m_dialog(dialog), m_notices(notices) {}
  void OnRestorePointStarting() override { ::SendMessageW(m_dialog, kMsgRestorePointStarting, 0, 0); }
  void OnRestorePointFailed() override {
    if (m_notices.OnRestorePointFailed()) {
      ::MessageBoxW(nullptr, std::wstring(Tr(kRestorePointOffMessage)).c_str(), kProductName, MB_OK);
    }
  }
  void OnRestorePointEnded() override { ::SendMessageW(m_dialog, kMsgRestorePointEnded, 0, 0); }
  void OnProblemStarting(std::size_t, std::size_t) override {
    ::SendMessageW(m_dialog, kMsgProblemStarting, 0, 0);
  }
  void OnRepairCompleted(const CRegistryCleaner& engine, const REPAIR_OUTCOME& outcome) override {
    REPAIR_COMPLETION completion{&engine, &outcome};
    ::SendMessageW(m_dialog, kMsgRepairCompleted, 0, reinterpret_cast<LPARAM>(&completion));
  }

 private:
  HWND m_dialog;
  CRepairNotices& m_notices;
};

// Posted to itself after a DPI change, once the dialog manager has laid the dialog out again
// at the new DPI and given every control the dialog's font.
constexpr UINT kMsgSetFonts = WM_APP + 22;

// The heading in Tahoma 8 bold and the detail in Tahoma 8, at the dialog's DPI (the template's
// positions are dialog units, which follow the DPI with the dialog's font).
void SetFonts(HWND dialog, int heading, int detail) {
  const int dpi = DpiOfWindow(dialog);
  ::SendDlgItemMessageW(dialog, heading, WM_SETFONT,
                        reinterpret_cast<WPARAM>(TahomaFont(8, true, dpi)), TRUE);
  ::SendDlgItemMessageW(dialog, detail, WM_SETFONT,
                        reinterpret_cast<WPARAM>(TahomaFont(8, false, dpi)), TRUE);
}

}  // namespace

// ---- CProgressDlg ----

void CProgressDlg::OnInitDialog() {
  ::SetWindowTextW(m_hwnd, std::wstring(Tr(kRepairCaption)).c_str());
  SetFonts(m_hwnd, IDC_PROGRESS_HEADING, IDC_PROGRESS_DETAIL);
  SetItemText(IDC_PROGRESS_HEADING, Tr(kRepairStartingHeading));
  SetItemText(IDC_PROGRESS_DETAIL, Tr(kRepairStartingDetail));
  // The range takes the whole count (32 bits: more than 65,535 problems move the bar right).
  CRegistryCleaner* engine = m_main.App().Engine();
  const std::size_t count = engine != nullptr ? engine->Problems().size() : 0;
  ::SendDlgItemMessageW(m_hwnd, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0,
                        static_cast<LPARAM>(std::min<std::size_t>(count, INT32_MAX)));
  ::SendDlgItemMessageW(m_hwnd, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  m_position = 0;
  ::SetTimer(m_hwnd, kStartTimer, kRepairStartDelayMs, nullptr);
}

void CProgressDlg::Begin() {
  ::KillTimer(m_hwnd, kStartTimer);
  if (m_started) return;
  m_started = true;
  CSystemApplication& app = m_main.App();
  m_sink = std::make_unique<CWindowRepairSink>(m_hwnd, m_notices);
  const HWND dialog = m_hwnd;
  if (!app.StartRepair(*m_sink, app.RepairOptions(),
                       [dialog](const REPAIR_OUTCOME&) { ::PostMessageW(dialog, kMsgRepairEnded, 0, 0); })) {
    ::EndDialog(m_hwnd, IDCANCEL);
  }
}

void CProgressDlg::OnCompleted(const CRegistryCleaner& engine, const REPAIR_OUTCOME& outcome) {
  SetItemText(IDC_PROGRESS_HEADING, Tr(kRepairDoneHeading));
  SetItemText(IDC_PROGRESS_DETAIL, Tr(TallyRepair(outcome).notRepaired == 0
                                          ? kRepairDoneDetail
                                          : kRepairDonePartlyDetail));
  CSystemApplication& app = m_main.App();
  static_cast<void>(app.CompleteRepair(engine, outcome));
  m_main.Dll().statusWord = kStatusFixedErrors;
  m_main.SetBusy(false);
  // The problems of the list go once this returns: no page keeps a row of them.
  m_main.ResultsPage().ClearList();
  m_main.ScanPage().ClearList();
  ++m_main.Dll().listGeneration;
  m_main.ShowPage(kPageStatistics);
  m_completed = true;
  m_completedAt = ::GetTickCount();
}

void CProgressDlg::OnEnded() {
  CSystemApplication& app = m_main.App();
  app.RepairWorker().Join();
  const REPAIR_OUTCOME& outcome = app.RepairWorker().Outcome();
  // The user's repair shows each text in a box; one that started by itself has logged them.
  const std::vector<std::wstring> texts = m_notices.OnRepairEnded(outcome);
  if (!m_completed) {
    // The repair stopped before its end: the busy state ends, and the user learns it.
    m_main.SetBusy(false);
    for (const std::wstring& text : texts) ProductMessageBox(m_hwnd, text, MB_OK | MB_ICONWARNING);
    ::EndDialog(m_hwnd, IDCANCEL);
    return;
  }
  for (const std::wstring& text : texts) ProductMessageBox(m_hwnd, text, MB_OK | MB_ICONWARNING);
  // The completion shows for a second before the dialog goes.
  const DWORD shown = ::GetTickCount() - m_completedAt;
  if (shown >= kRepairDonePauseMs) {
    ::EndDialog(m_hwnd, IDOK);
  } else {
    ::SetTimer(m_hwnd, kCloseTimer, kRepairDonePauseMs - shown, nullptr);
  }
}

INT_PTR CProgressDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  *handled = true;
  switch (message) {
    case WM_TIMER:
      if (wParam == kStartTimer) Begin();
      if (wParam == kCloseTimer) {
        ::KillTimer(m_hwnd, kCloseTimer);
        ::EndDialog(m_hwnd, IDOK);
      }
      return 0;
    case kMsgRestorePointStarting:
      SetItemText(IDC_PROGRESS_HEADING, Tr(kRestorePointHeading));
      SetItemText(IDC_PROGRESS_DETAIL, Tr(kRestorePointDetail));
      ShowItem(IDC_PROGRESS_HEADING, true);
      return 0;
    case kMsgRestorePointEnded:
      return 0;
    case kMsgProblemStarting:
      ++m_position;
      ::SendDlgItemMessageW(m_hwnd, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(m_position), 0);
      if (m_position == 1) {
        SetItemText(IDC_PROGRESS_HEADING, Tr(kFixingHeading));
        SetItemText(IDC_PROGRESS_DETAIL, Tr(kFixingDetail));
      }
      return 0;
    case kMsgRepairCompleted: {
      const auto* completion = reinterpret_cast<const REPAIR_COMPLETION*>(lParam);
      OnCompleted(*completion->engine, *completion->outcome);
      return 0;
    }
    case kMsgRepairEnded:
      OnEnded();
      return 0;
    case kMsgDpiChanged:
      // The dialog manager resizes the dialog and its controls; our fonts follow after it.
      ::PostMessageW(m_hwnd, kMsgSetFonts, 0, 0);
      break;
    case kMsgSetFonts:
      SetFonts(m_hwnd, IDC_PROGRESS_HEADING, IDC_PROGRESS_DETAIL);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        ProductMessageBox(m_hwnd, Tr(kWaitForRepair), MB_OK | MB_ICONINFORMATION);
        return 0;
      }
      break;
    case WM_COMMAND:
      // Enter and Escape do not end the dialog while the repair runs.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) return 0;
      break;
    default:
      break;
  }
  *handled = false;
  return 0;
}

// ---- CRegBackupDlg ----

CRegBackupDlg::CRegBackupDlg(CQuarveloDlg& main, std::wstring registryFile,
                             std::wstring shortcutList)
    : m_main(main) {
  m_job->restore = !registryFile.empty();
  m_job->registryFile = std::move(registryFile);
  m_job->shortcutList = std::move(shortcutList);
}

void CRegBackupDlg::OnInitDialog() {
  ::SetWindowTextW(m_hwnd, std::wstring(Tr(kBackupCaption)).c_str());
  SetFonts(m_hwnd, IDC_BACKUP_HEADING, IDC_BACKUP_DETAIL);
  ::SendDlgItemMessageW(m_hwnd, IDC_BACKUP_BAR, PBM_SETRANGE32, 1, 100);
  SetItemText(IDC_BACKUP_HEADING, Tr(m_job->restore ? kRestoreRunningHeading : kBackupStartingHeading));
  SetItemText(IDC_BACKUP_DETAIL, Tr(m_job->restore ? kRestoreDetail : kBackupDetail));
  m_state = 0;
  m_step = 0;
  {
    std::lock_guard lock(m_job->lock);
    m_job->dialog = m_hwnd;
  }
  ::SetTimer(m_hwnd, kBackupTimer, kBackupTickMs, nullptr);
}

void CRegBackupDlg::StartWorker() {
  CSystemApplication& app = m_main.App();
  CWorker& worker = m_main.Dll().BackupWorker();
  if (worker.Running() && worker.Finished()) worker.Join();
  if (worker.Running()) {
    // An earlier export the user stopped waiting for is still being written.
    ProductMessageBox(m_hwnd, Tr(kWaitForBackup), MB_OK | MB_ICONINFORMATION);
    EndDialogNow();
    return;
  }
  SetItemText(IDC_BACKUP_HEADING, Tr(m_job->restore ? kRestoreRunningHeading : kBackupRunningHeading));
  std::shared_ptr<JOB> job = m_job;
  const CPlatform platform = app.Platform();
  IActivityLog* log = &app.Log();  // the library's, which outlives its workers
  static CWorkControl control;
  control.Reset();
  if (!worker.Start(control, [job, platform, log]() {
        CWin32RegistryEditor editor;
        ErrorCode result = kErrorSuccess;
        std::wstring path;
        std::wstring failure;
        if (job->restore) {
          RESTORE_RESULT restored;
          result = RestoreBackup(platform, editor, job->registryFile, job->shortcutList, &restored,
                                 log);
          failure = RestoreFailureText(restored);
        } else {
          result = RunFullBackup(platform, editor, &path);
        }
        std::lock_guard lock(job->lock);
        job->result = result;
        job->path = std::move(path);
        job->failure = std::move(failure);
        if (job->dialog != nullptr) ::PostMessageW(job->dialog, kMsgBackupEnded, 0, 0);
      })) {
    EndDialogNow();
    return;
  }
  m_state = 1;
}

void CRegBackupDlg::EndDialogNow() {
  m_state = -1;
  ::KillTimer(m_hwnd, kBackupTimer);
  ::SendDlgItemMessageW(m_hwnd, IDC_BACKUP_BAR, PBM_SETPOS, 0, 0);
  {
    std::lock_guard lock(m_job->lock);
    m_job->dialog = nullptr;
  }
  ::EndDialog(m_hwnd, IDCANCEL);
}

void CRegBackupDlg::OnDestroy() {
  std::lock_guard lock(m_job->lock);
  m_job->dialog = nullptr;
}

INT_PTR CRegBackupDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, bool* handled) {
  *handled = true;
  switch (message) {
    case kMsgDpiChanged:
      ::PostMessageW(m_hwnd, kMsgSetFonts, 0, 0);
      break;
    case kMsgSetFonts:
      SetFonts(m_hwnd, IDC_BACKUP_HEADING, IDC_BACKUP_DETAIL);
      return 0;
    case WM_TIMER:
      if (wParam != kBackupTimer) break;
      if (m_state == 0) StartWorker();
      m_step = m_step % 100 + 1;
      ::SendDlgItemMessageW(m_hwnd, IDC_BACKUP_BAR, PBM_SETPOS, static_cast<WPARAM>(m_step), 0);
      return 0;
    case kMsgBackupEnded: {
      m_main.Dll().BackupWorker().Join();
      if (m_state != 1) return 0;
      ::KillTimer(m_hwnd, kBackupTimer);
      ::SendDlgItemMessageW(m_hwnd, IDC_BACKUP_BAR, PBM_SETPOS, 100, 0);
      ErrorCode result = kErrorSuccess;
      std::wstring failure;
      {
        std::lock_guard lock(m_job->lock);
        result = m_job->result;
        failure = m_job->failure;
      }
      if (result == kErrorSuccess) {
        SetItemText(IDC_BACKUP_HEADING, Tr(m_job->restore ? kRestoreDoneHeading : kBackupDoneHeading));
        SetItemText(IDC_BACKUP_DETAIL, Tr(m_job->restore ? kRestoreDoneDetail : kBackupDoneDetail));
        ProductMessageBox(m_hwnd, Tr(m_job->restore ? kRestoreDoneMessage : kBackupDoneMessage),
                          MB_OK | MB_ICONINFORMATION);
      } else {
        // A failure is never shown as a success: the user is told what is left, and where.
        if (failure.empty()) {
          failure = TrFormat(m_job->restore ? kRestoreFailedFormat : kBackupFailedFormat,
                             {std::to_wstring(result)});
        }
        ProductMessageBox(m_hwnd, failure, MB_OK | MB_ICONWARNING);
      }
      EndDialogNow();
      return 0;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        ProductMessageBox(m_hwnd, Tr(kWaitForBackup), MB_OK | MB_ICONINFORMATION);
        return 0;
      }
      break;
    case WM_COMMAND:
      // Enter, Escape and the hidden Cancel end the dialog at once; the editor goes on alone.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL ||
          LOWORD(wParam) == IDC_BACKUP_CANCEL) {
        EndDialogNow();
        return 0;
      }
      break;
    default:
      break;
  }
  *handled = false;
  return 0;
}

}  // namespace qv::ui
