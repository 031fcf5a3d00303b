#include "ui/win32/dll_app.h"

namespace qv::ui {

CQuarveloDllApp& CQuarveloDllApp::Instance() {
  static CQuarveloDllApp app;
  return app;
}

CSystemApplication& CQuarveloDllApp::App() {
  if (m_app == nullptr) {
    m_app = std::make_unique<CSystemApplication>();
    // Before anything of the data folder is read: the ignore list lives there.
    startNotes = m_app->SecureDataFolders();
    m_app->LoadCategoryTable();
    m_app->LoadExclusionLists();
    // A copy without the list of Windows' own areas still protects them, and says so.
    if (std::wstring notice = m_app->Exclusions().OwnedRowsNotice(); !notice.empty()) {
      listNotes.push_back(std::move(notice));
    }
  }
  return *m_app;
}

CWorker& CQuarveloDllApp::BackupWorker() {
  if (m_backupWorker == nullptr) m_backupWorker = std::make_unique<CWorker>(App().Pump());
  return *m_backupWorker;
}

void CQuarveloDllApp::Release() {
  if (m_backupWorker != nullptr) m_backupWorker->Join();
  m_backupWorker.reset();
  m_app.reset();  // stops a scan and waits for a repair that may still run
}

}  // namespace qv::ui
