// The library's application object: the application on the real system (made on the first
// export call, not while the library is being loaded), the opening request of the export that
// opens the main window, the current main window, the idle flag and the scan status word.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/win32/system_application.h"
#include "app/worker.h"

namespace qv::ui {

enum class OPENING_REQUEST { kNone, kPlain, kFirstStart, kResults, kUpdates, kStartScan };

class CQuarveloDlg;

class CQuarveloDllApp {
 public:
  static CQuarveloDllApp& Instance();

  // The application: on first use the category table and the exclusion lists are loaded.
  [[nodiscard]] CSystemApplication& App();

  OPENING_REQUEST request = OPENING_REQUEST::kNone;
  CQuarveloDlg* current = nullptr;  // the main window an export opened
  // True while neither a scan nor a repair runs.
  std::atomic<bool> idle{true};
  // "Started Scan", "Scanning Complete!", "Scan cancelled by user", "Started Fixing",
  // "Fixed Error(s)": what the close guard of the main window reads.
  std::wstring statusWord;
  // Grows with every scan start and every repair, so the results page knows its rows are stale.
  int listGeneration = 0;
  // What the last repair that ran by itself (AUTOREPAIR) would have said in message boxes, as
  // it logged it: the statistics page shows it until the next scan or repair starts.
  std::vector<std::wstring> repairNotes;
  // What the check of the product data folder at this application's start had to tell (folders
  // another account could steer, moved aside or left unused): logged, shown on the statistics
  // page, and in a message box on the window's start unless the run goes on by itself.
  std::vector<std::wstring> startNotes;
  // What the lists had to tell when they were loaded (the rows of Windows' own areas built into
  // the program stand in for a missing list file): each scan logs it, the statistics page shows
  // it.
  std::vector<std::wstring> listNotes;
  // The worker of the registry backup dialog, kept here so an export the user stopped waiting
  // for finishes while the library stays loaded (it is joined when the library goes).
  [[nodiscard]] CWorker& BackupWorker();
  // Waits for every worker (handling sent messages meanwhile) and releases the application, so
  // nothing is left to wait for while the library is being unloaded. The next use makes a new
  // one.
  void Release();

 private:
  CQuarveloDllApp() = default;
  std::unique_ptr<CSystemApplication> m_app;
  std::unique_ptr<CWorker> m_backupWorker;
};

}  // namespace qv::ui
