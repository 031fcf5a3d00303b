#include "app/application.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

#include "state/data_folder.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {

CApplication::CApplication(const CPlatform& platform, ISentMessagePump& pump,
                           ISystemRestore* systemRestore)
    : m_platform(platform),
      m_log(platform),
      m_exclusions(platform, &m_log, kProductName),
      m_categories(BuildDefaultCategoryTable()),
      m_systemRestore(systemRestore),
      m_repair(pump),
      m_scan(pump) {}

CApplication::~CApplication() {
  m_scan.Stop();
  m_repair.Join();
}

std::vector<std::wstring> CApplication::SecureDataFolders() {
  const DATA_FOLDER_CHECK check =
      qv::SecureDataFolders(m_platform.shell, m_platform.files, m_platform.clock);
  // The log keeps English; the person is told in their language.
  for (const std::wstring& text : DataFolderCheckTexts(check, WORDING::kEnglish)) {
    static_cast<void>(m_log.WriteLog(text));
  }
  return DataFolderCheckTexts(check);
}

void CApplication::LoadCategoryTable() {
  LoadCategorySettings(m_platform.registry, kProductName, &m_categories);
}

ErrorCode CApplication::SaveCategoryTable() {
  return SaveCategorySettings(m_platform.registry, kProductName, m_categories);
}

void CApplication::LoadExclusionLists() {
  m_exclusions.LoadExclusionLists();
  m_ignoredSinceLoad.clear();
}

ErrorCode CApplication::IgnoreProblem(const CRegistryProblem& problem) {
  const ErrorCode rc = m_exclusions.IgnoreProblem(problem);
  // Anything but a refusal put the entry on the list (a failed save keeps it there, unsaved).
  if (rc != kErrorInvalidParameter) {
    m_ignoredSinceLoad.push_back({static_cast<int>(problem.type), ProblemIdentity(problem)});
  }
  return rc;
}

std::array<int, kCategoryCount> CApplication::IgnoredSinceLoad() const {
  // Each entry on the list answers for one ignored problem of its category and identity.
  std::map<std::pair<int, std::wstring>, int> listed;
  for (EXCLUSION_ENTRY& entry : m_exclusions.VisibleEntries()) {
    ++listed[{entry.category, std::move(entry.identity)}];
  }
  std::array<int, kCategoryCount> counts{};
  for (const EXCLUSION_ENTRY& ignored : m_ignoredSinceLoad) {
    const auto found = listed.find({ignored.category, ignored.identity});
    if (found == listed.end() || found->second == 0 || !IsValidCategory(ignored.category)) continue;
    --found->second;
    ++counts[static_cast<std::size_t>(ignored.category)];
  }
  return counts;
}

bool CApplication::NewScan(const CATEGORY_SELECTION& selection) {
  bool any = false;
  for (const bool selected : selection) any = any || selected;
  if (!any) return false;
  for (std::size_t i = 0; i < m_categories.size(); ++i) {
    m_categories[i].enabled = selection[i] ? 1 : 0;
  }
  m_scan.Stop();
  m_repair.Join();
  m_engine.reset();  // the previous scan's problems go with it
  m_engine = CreateScanEngine(m_platform, &m_exclusions, &m_log);
  m_engine->Prepare(selection);
  // Nothing of the new scan is repaired yet: the last repair's verdict is over.
  static_cast<void>(RecordRepairVerdict(REPAIR_OUTCOME{}));
  // Kept for the log and the console's JSON: in English.
  if (std::wstring notice = m_exclusions.OwnedRowsNotice(WORDING::kEnglish); !notice.empty()) {
    m_engine->SetScanNotices({std::move(notice)});
  }
  return true;
}

bool CApplication::StartScan(IScanSink& sink, bool pacing) {
  if (m_engine == nullptr) return false;
  for (CATEGORY_SETTINGS& record : m_categories) {
    record.found = 0;
    record.fixed = 0;
  }
  SCAN_DRIVER_OPTIONS options;
  options.pacing = pacing;
  return m_scan.Start(m_engine, sink, std::move(options));
}

void CApplication::CountFound(int category) {
  if (IsValidCategory(category)) ++m_categories[static_cast<std::size_t>(category)].found;
}

SCAN_RESULT CApplication::RunScanHere(const CATEGORY_SELECTION& selection,
                                      const ScanProgress& progress,
                                      const CategoryCheckRunner& runCheck) {
  if (!NewScan(selection)) return SCAN_RESULT{};
  return RunScan(*m_engine, selection, progress, runCheck);
}

REPAIR_OPTIONS CApplication::RepairOptions() const {
  REPAIR_OPTIONS options;
  options.restorePoint = ReadSettingInt(m_platform.registry, kHkeyLocalMachine, kProductName,
                                        kValueRestorePoint, kDefaultRestorePoint) != 0;
  options.systemRestore = m_systemRestore;
  options.pacing = true;
  options.followUncovered = ReadSettingInt(m_platform.registry, kHkeyLocalMachine, kProductName,
                                           kValueRepairUncovered, kDefaultRepairUncovered) != 0;
  return options;
}

REPAIR_OUTCOME CApplication::RunRepairHere(IRepairSink& sink, const REPAIR_OPTIONS& options) {
  if (m_engine == nullptr) {
    REPAIR_OUTCOME outcome;
    outcome.abortMessage = L"there is no scan to repair";
    return outcome;
  }
  m_engine->SetRunning(true);
  REPAIR_OUTCOME outcome = RepairProblems(*m_engine, m_exclusions, options, sink);
  m_engine->SetRunning(false);
  return outcome;
}

bool CApplication::StartRepair(IRepairSink& sink, const REPAIR_OPTIONS& options,
                               RepairEnded ended) {
  if (m_engine == nullptr || m_scan.Running() || m_repair.Running()) return false;
  return m_repair.Start(m_engine, m_exclusions, options, sink, std::move(ended));
}

ErrorCode CApplication::CompleteRepair(const CRegistryCleaner& engine,
                                      const REPAIR_OUTCOME& outcome) {
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < m_categories.size(); ++i) {
    // What the repair uncovered counts as found beside the scan's problems, repaired or not.
    m_categories[i].found += engine.Uncovered(static_cast<int>(i));
    m_categories[i].fixed = engine.Fixed(static_cast<int>(i));
    sum += m_categories[i].fixed;
  }
  const ErrorCode stored = WriteSettingText(m_platform.registry, kProductName, kValueTotalFixed,
                                            static_cast<int>(std::min<std::int64_t>(sum, INT32_MAX)));
  static_cast<void>(m_log.WriteLog(kLogFixedErrors));
  const ErrorCode verdict = RecordRepairVerdict(outcome);
  return stored != kErrorSuccess ? stored : verdict;
}

ErrorCode CApplication::RecordRepairVerdict(const REPAIR_OUTCOME& outcome) {
  const REPAIR_TALLY tally = TallyRepair(outcome);
  const auto capped = [](std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, INT32_MAX));
  };
  const ErrorCode notFixed = WriteSettingText(m_platform.registry, kProductName,
                                              kValueTotalNotFixed, capped(tally.notRepaired));
  const ErrorCode changed =
      WriteSettingText(m_platform.registry, kProductName, kValueTotalChanged,
                       capped(static_cast<std::size_t>(outcome.deleted) + outcome.shortcutsMoved));
  return notFixed != kErrorSuccess ? notFixed : changed;
}

ErrorCode CApplication::RecordScan(const SCAN_RESULT& result) {
  for (std::size_t i = 0; i < m_categories.size(); ++i) {
    m_categories[i].found = result.found[i];
    m_categories[i].fixed = 0;
  }
  return qv::RecordScan(m_platform.registry, result);
}

}  // namespace qv
