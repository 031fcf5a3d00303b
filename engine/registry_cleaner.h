// The engine object: one scan's state from the options page through the scan thread to the
// repair. A new engine is made for every scan; the application object owns the problem list the
// engine appends to, the activity log and the exclusion lists, and hands them in by reference.
//
// Threads: the scan thread appends problems, counts and reports; the user-interface thread sets
// the notify sink, running and cancel before the thread starts and reads the counters and the list
// between synchronous progress calls and after the scan. Cancel and pause (the work control),
// running and current step are atomics because each is written by one thread while the other
// reads it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/work_control.h"
#include "engine/categories.h"
#include "engine/empty_key_sightings.h"
#include "engine/key_naming.h"
#include "state/log_interface.h"
#include "engine/path_references.h"
#include "engine/problem_filter.h"
#include "engine/reference_reading.h"
#include "engine/registry_problem.h"
#include "engine/scan_sink.h"
#include "platform/platform.h"

namespace qv {

class CRegistryCleaner {
 public:
  // Resolves the folder table through the platform's shell. filter and log may be null (nothing
  // is excluded, nothing is logged). The platform, the list, the filter and the log must outlive
  // the engine.
  CRegistryCleaner(const CPlatform& platform, CProblemList& problems,
                   IProblemFilter* filter = nullptr, IActivityLog* log = nullptr);
  ~CRegistryCleaner() = default;

  CRegistryCleaner(const CRegistryCleaner&) = delete;
  CRegistryCleaner& operator=(const CRegistryCleaner&) = delete;

  // Prepares the engine for its scan: scan category[i] = the selection (the category table's
  // enabled switches), every found and fixed counter and both totals zeroed, running set.
  void Prepare(const CATEGORY_SELECTION& selection);

  // Takes ownership of a problem a check has found and reports it, in this order:
  //  1. asks the filter; an excluded problem is deleted and false returned, nothing else happens;
  //  2. appends it to the problem list;
  //  3. logs "Error at <key>\<name>=" and, on the next line, the data;
  //  4. counts it for its category and in the total;
  //  5. reports it to the notify sink.
  // Returns true when the problem was kept. A null problem, or one whose type is not a category
  // index, is not kept and changes nothing.
  bool AddProblem(std::unique_ptr<CRegistryProblem> problem);

  // The progress reports of the scan, each forwarded to the notify sink when there is one.
  void ReportScanStarted();
  void ReportEntryExamined(const std::wstring& text);
  void ReportCategoryStarted(int index);
  void ReportCategoryFinished(int index);
  void ReportCategorySkipped(int index);
  void ReportScanEnded();

  // Notify sink (the scan page, later the repair dialog); null for none.
  void SetNotifySink(IScanSink* sink) { m_sink = sink; }
  [[nodiscard]] IScanSink* NotifySink() const { return m_sink; }

  // 0 = run (also lifts a pause); nonzero = stop as soon as possible.
  void SetCancel(int value) {
    if (value != 0) {
      m_control.Cancel();
    } else {
      m_control.Reset();
    }
  }
  [[nodiscard]] int Cancel() const { return m_control.IsCancelled() ? 1 : 0; }
  [[nodiscard]] bool IsCancelled() const { return m_control.IsCancelled(); }
  // The checks' check point between two items: waits while the scan is paused, then true when
  // the scan is to stop. Call it only on the thread that runs the scan.
  [[nodiscard]] bool ShouldStop() { return m_control.ShouldStop(); }
  // Cancel and pause of the thread that runs this engine.
  [[nodiscard]] CWorkControl& Control() { return m_control; }

  void SetRunning(bool running) { m_running.store(running); }
  [[nodiscard]] bool IsRunning() const { return m_running.load(); }

  // 1-based index of the category being scanned; 0 before the first.
  void SetCurrentStep(int step) { m_currentStep.store(step); }
  [[nodiscard]] int CurrentStep() const { return m_currentStep.load(); }

  // Whether this scan runs the category; false for an index outside 0..10.
  [[nodiscard]] bool ScanCategory(int index) const;
  void SetScanCategory(int index, bool scan);

  // Counters. Indices outside 0..10 read as 0 and are not counted.
  [[nodiscard]] std::int32_t Found(int index) const;
  [[nodiscard]] std::int32_t Fixed(int index) const;
  [[nodiscard]] std::int32_t TotalFound() const { return m_totalFound; }
  [[nodiscard]] std::int32_t TotalFixed() const { return m_totalFixed; }
  // One problem of the category repaired (the repair counts with this), and taken back (its entry
  // was still there when the repair looked again).
  void CountFixed(int index);
  void UncountFixed(int index);
  // One problem of the category that a repair uncovered and repairs too: found as the scan's are
  // (Found, TotalFound), and counted apart (Uncovered).
  void CountUncovered(int index);
  [[nodiscard]] std::int32_t Uncovered(int index) const;

  [[nodiscard]] const CFolderTable& Folders() const { return m_folders; }
  [[nodiscard]] const std::wstring& FolderPath(ENGINE_FOLDER folder) const {
    return m_folders.Path(folder);
  }
  [[nodiscard]] const CPlatform& Platform() const { return m_platform; }
  [[nodiscard]] CProblemList& Problems() const { return m_problems; }
  [[nodiscard]] IActivityLog* Log() const { return m_log; }
  [[nodiscard]] IProblemFilter* Filter() const { return m_filter; }

  // How a program of the registry view resolves paths: null for the 64-bit view, and for the
  // 32-bit view of a machine without one (every path as written).
  [[nodiscard]] const CPathView* PathView(REGISTRY_VIEW view) const {
    return view == VIEW_32BIT && m_view32.MapsPaths() ? &m_view32 : nullptr;
  }
  // The folder table the view's placeholders expand with.
  [[nodiscard]] const CFolderTable& Folders(REGISTRY_VIEW view) const {
    return view == VIEW_32BIT ? m_view32.Folders() : m_folders;
  }

  // The path operations on this engine's folder table and platform, for a path found in the
  // registry view given (judged as a program of that view resolves it).
  [[nodiscard]] std::wstring ExpandPlaceholders(std::wstring_view text,
                                                REGISTRY_VIEW view = VIEW_64BIT) const;
  [[nodiscard]] std::wstring CleanPath(std::wstring_view source,
                                       REGISTRY_VIEW view = VIEW_64BIT) const;
  // The reading of a reference and the judgement of each path it names (qv::JudgeReference),
  // the drive asked about each path and each drive letter once per scan.
  [[nodiscard]] REFERENCE_JUDGEMENT JudgeReference(std::wstring_view text,
                                                   REGISTRY_VIEW view = VIEW_64BIT) const;
  // How one expanded local drive path stands, as the view's program opens it
  // (qv::JudgeDrivePath).
  [[nodiscard]] PATH_STANDING JudgePath(std::wstring_view path,
                                        REGISTRY_VIEW view = VIEW_64BIT) const;
  // qv::ReadablePath with the view's folders and mapping.
  [[nodiscard]] std::wstring ReadablePath(std::wstring_view path, std::wstring_view text,
                                          REGISTRY_VIEW view = VIEW_64BIT) const;
  // The expanded path as the view's program opens it.
  [[nodiscard]] std::wstring ResolvePath(std::wstring_view path, REGISTRY_VIEW view) const;
  // A missing path's place on the drive (qv::LocateMissingPath), and the same with the
  // installed-program rule and the Windows folder (qv::JudgeMissingPath).
  [[nodiscard]] MISSING_PATH LocateMissingPath(std::wstring_view path) const;
  [[nodiscard]] MISSING_PATH JudgeMissingPath(std::wstring_view path) const;
  [[nodiscard]] const CContainerFolders& Containers() const { return m_containers; }
  // How many distinct paths the checks judged on the drive since Prepare (or ForgetPaths), when
  // counted (CountJudgedPaths; not counted by default, a scan has no use for the figure).
  [[nodiscard]] std::size_t JudgedPathCount() const { return m_paths.Size(); }
  void CountJudgedPaths(bool count) { m_paths.CountJudged(count); }
  // The drive's answers remembered since Prepare (each folder listed once, its listing answering
  // for its entries: CPathMemo); forget them when files may have changed.
  void ForgetPaths() {
    m_paths.Forget();
    m_drives.Forget();
  }
  // Whether the drive's answers are remembered for the scan (true, the default) or every question
  // goes to the drive as it is asked; both give the same results, which tests prove.
  void SetDriveAnswersRemembered(bool remembered) { m_remember = remembered; }
  [[nodiscard]] bool DriveAnswersRemembered() const { return m_remember; }

  // An entry a check did not judge because a path it names lies on a drive that is not judged
  // (PATH_STANDING): recorded for the scan's report, unless the filter excludes a problem of the
  // entry (nothing of Windows' own areas, the safe list or the ignore list is listed). Its
  // evidence names the path and the drive.
  void PassOver(REGPROBLEM_TYPE type, std::wstring_view key, std::wstring_view name,
                std::wstring_view data, const REFERENCE_JUDGEMENT& judgement);
  // The entries passed over since Prepare, in order.
  [[nodiscard]] const std::vector<PASSED_OVER>& PassedOver() const { return m_passedOver; }

  // What the scan has to tell about how it judges (the front end sets them before the scan
  // starts): the scan logs each after its header, and the front ends show them.
  void SetScanNotices(std::vector<std::wstring> notices) { m_notices = std::move(notices); }
  [[nodiscard]] const std::vector<std::wstring>& ScanNotices() const { return m_notices; }
  // What the File/Path walk of HKEY_USERS saw for the empty-key check of the same scan.
  [[nodiscard]] CEmptyKeySightings& EmptyKeySightings() { return m_emptyKeys; }

 private:
  CPlatform m_platform;
  CFolderTable m_folders;
  CPathView m_view32;  // the 32-bit registry view's paths
  CContainerFolders m_containers;
  // The memos, or null when answers are not remembered.
  [[nodiscard]] CPathMemo* PathMemo() const { return m_remember ? &m_paths : nullptr; }
  [[nodiscard]] CDriveMemo* DriveMemo() const { return m_remember ? &m_drives : nullptr; }

  mutable CPathMemo m_paths;  // asked only by the thread that runs the checks
  mutable CDriveMemo m_drives;  // the same
  bool m_remember = true;
  std::vector<PASSED_OVER> m_passedOver;
  std::vector<std::wstring> m_notices;
  CEmptyKeySightings m_emptyKeys;
  CProblemList& m_problems;
  IProblemFilter* m_filter;
  IActivityLog* m_log;
  IScanSink* m_sink = nullptr;

  CWorkControl m_control;
  std::atomic<bool> m_running{false};
  std::atomic<int> m_currentStep{0};

  std::array<bool, kCategoryCount> m_scanCategory{};
  std::array<std::int32_t, kCategoryCount> m_found{};
  std::array<std::int32_t, kCategoryCount> m_fixed{};
  std::array<std::int32_t, kCategoryCount> m_uncovered{};
  std::int32_t m_totalFound = 0;
  std::int32_t m_totalFixed = 0;
};

// The log entry of a problem: "Error at <key>\<name>=", a line feed, then the data.
[[nodiscard]] std::wstring FormatProblemLogLine(const CRegistryProblem& problem);

}  // namespace qv
