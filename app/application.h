// The application layer's one object: what a run of the program holds and what both front ends
// (the console and the windows) do with it, written once.
//
// It owns the activity log, the safe and ignore lists, the category table (enabled switch, found
// and fixed counts per category, loaded from and saved to the product key), the engine of the
// last scan and the scan worker. A new scan replaces the engine of the previous one; the repair
// runs on the engine of the last scan.
//
// The repair of the last scan also writes the scan status word's text to the log when it is done.
inline constexpr wchar_t kLogFixedErrors[] = L"Fixed Error(s)";

// Threads: every operation is for the thread that runs the front end (the window's thread in the
// library); the scan runs on the worker's thread and reports through the sink it was given.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/category_table.h"
#include "app/repair_worker.h"
#include "app/scan_run.h"
#include "app/scan_worker.h"
#include "engine/exclusion_lists.h"
#include "engine/registry_cleaner.h"
#include "engine/scan_sink.h"
#include "platform/message_pump.h"
#include "platform/platform.h"
#include "platform/system_restore.h"
#include "repair/repair_driver.h"
#include "state/activity_log.h"

namespace qv {

class CApplication {
 public:
  // Nothing is read yet: call LoadCategoryTable() and LoadExclusionLists() (the library does at
  // start-up). The platform, the pump and System Restore (none: a repair makes no restore point)
  // must outlive the object.
  CApplication(const CPlatform& platform, ISentMessagePump& pump,
               ISystemRestore* systemRestore = nullptr);
  // Stops a scan that still runs (waiting for it while handling sent messages) before the lists,
  // the log and the engine it uses go.
  ~CApplication();
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  [[nodiscard]] const CPlatform& Platform() const { return m_platform; }
  // What each start does first, before it reads or writes the product data folder
  // (SecureDataFolders of state/data_folder.h: folders another account could steer are moved
  // aside, or left unused when the run cannot change them). Every text it has to tell is written
  // to the activity log (in English) and returned in the user's language, for the front end to
  // show: the console on standard
  // error, the window in a message box unless the run is unattended.
  [[nodiscard]] std::vector<std::wstring> SecureDataFolders();
  [[nodiscard]] CActivityLog& Log() { return m_log; }
  [[nodiscard]] CExclusionLists& Exclusions() { return m_exclusions; }
  [[nodiscard]] CATEGORY_TABLE& Categories() { return m_categories; }

  // The category table from the product key: names and descriptions, then each category's
  // enabled switch (default 1), found count (default 0) and fixed count (default 0).
  void LoadCategoryTable();
  // Writes the three numbers of every category back (the main window does when it closes).
  [[nodiscard]] ErrorCode SaveCategoryTable();
  // Rebuilds the safe and ignore lists from the shipped lists, ignore.wls and the blocked store,
  // and forgets what was ignored before.
  void LoadExclusionLists();
  // The results page's "Ignore": the problem goes onto the ignore list (logged and saved, see
  // CExclusionLists::IgnoreProblem) and is remembered as ignored since the lists were loaded.
  [[nodiscard]] ErrorCode IgnoreProblem(const CRegistryProblem& problem);
  // Per category, the problems ignored since the lists were loaded whose entry is still on the
  // ignore list: one taken off the list again (the ignore list page) no longer counts.
  [[nodiscard]] std::array<int, kCategoryCount> IgnoredSinceLoad() const;

  // The engine of the last scan; null before the first.
  [[nodiscard]] CRegistryCleaner* Engine() const { return m_engine.get(); }

  // Makes the engine of a new scan: the selection becomes the table's enabled switches, a scan
  // still running is stopped, the previous engine (and its problem list) is released, and a new
  // engine over the platform, the lists and the log is prepared from the selection. False when
  // nothing is selected (nothing changes then).
  [[nodiscard]] bool NewScan(const CATEGORY_SELECTION& selection);
  // The start of the scan page: every category's found and fixed count zeroed, then the scan
  // thread started on the new engine with the sink (window pacing or none). False when there is
  // no new engine or the thread cannot start.
  [[nodiscard]] bool StartScan(IScanSink& sink, bool pacing);
  [[nodiscard]] CScanWorker& ScanWorker() { return m_scan; }
  // One problem the page has received: one more found in its category's count.
  void CountFound(int category);

  // A whole scan on the calling thread without pacing (the console): NewScan, then the scan
  // driver with the engine's checks (or `runCheck`), collected into the result. A scan cancelled
  // from another thread (engine's cancel) ends at its next item; the result says so.
  [[nodiscard]] SCAN_RESULT RunScanHere(const CATEGORY_SELECTION& selection,
                                        const ScanProgress& progress,
                                        const CategoryCheckRunner& runCheck = {});
  // The options of a repair: a restore point as the "RESTOREPOINT" setting says (default 1),
  // through this application's System Restore, with the dialog's pacing; what the repair uncovers
  // repaired too as "REPAIRUNCOVERED" says (default 1).
  [[nodiscard]] REPAIR_OPTIONS RepairOptions() const;
  // Repairs the last scan's problems on the calling thread (the console). The sink's completion
  // report should call CompleteRepair. An outcome that is not completed, with the reason as its
  // message, when there has been no scan.
  [[nodiscard]] REPAIR_OUTCOME RunRepairHere(IRepairSink& sink, const REPAIR_OPTIONS& options);
  // The repair on its own thread (the window); `ended` is told on that thread when it is over.
  // False when there has been no scan, a scan or a repair still runs, or the thread cannot start.
  [[nodiscard]] bool StartRepair(IRepairSink& sink, const REPAIR_OPTIONS& options,
                                 RepairEnded ended);
  [[nodiscard]] CRepairWorker& RepairWorker() { return m_repair; }
  // The completion of a repair, on the front end's thread while the repair waits: every
  // category's fixed count becomes the engine's (a copy), what the repair uncovered and repaired
  // is added to the category's found count, the fixed counts' sum (shortcuts included) is stored
  // as "TFixed", and "Fixed Error(s)" is logged. Returns the store's result.
  // With it, what the repair could not do, for the verdict of the statistics page: how many of
  // the entries it was to repair are still there ("TNotFixed") and how many registry entries and
  // shortcuts it changed ("TChanged"); a new scan stores both as 0. Returns the first failure.
  [[nodiscard]] ErrorCode CompleteRepair(const CRegistryCleaner& engine,
                                         const REPAIR_OUTCOME& outcome);

  // Records a finished scan under the product key at once, as the window records it (the found
  // counts of the table become the scan's, fixed counts 0, the entries examined as "itscanned")
  // and as the window's close would store it. The enabled switches are left as stored.
  [[nodiscard]] ErrorCode RecordScan(const SCAN_RESULT& result);

 private:
  // "TNotFixed" and "TChanged" of the outcome (see CompleteRepair).
  ErrorCode RecordRepairVerdict(const REPAIR_OUTCOME& outcome);

  CPlatform m_platform;
  CActivityLog m_log;
  CExclusionLists m_exclusions;
  CATEGORY_TABLE m_categories;
  std::vector<EXCLUSION_ENTRY> m_ignoredSinceLoad;
  ISystemRestore* m_systemRestore;
  std::shared_ptr<CRegistryCleaner> m_engine;
  CRepairWorker m_repair;
  CScanWorker m_scan;  // declared last: stopped first, while everything it uses is still there
};

}  // namespace qv
