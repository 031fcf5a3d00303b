#include "engine/registry_cleaner.h"

#include <utility>

namespace qv {
namespace {

// The evidence of an entry passed over for the drive its path lies on.
PROBLEM_EVIDENCE PassedOverEvidence(PATH_STANDING standing, const std::wstring& path) {
  EVIDENCE_KIND kind = EVIDENCE_UNKNOWN_DRIVE;
  switch (standing) {
    case PATH_STANDING::kDriveAbsent: kind = EVIDENCE_DRIVE_ABSENT; break;
    case PATH_STANDING::kRemovableDrive: kind = EVIDENCE_REMOVABLE_DRIVE; break;
    case PATH_STANDING::kOpticalDrive: kind = EVIDENCE_OPTICAL_DRIVE; break;
    case PATH_STANDING::kNetworkDrive: kind = EVIDENCE_NETWORK_DRIVE; break;
    default: break;
  }
  return {kind, path, path.substr(0, 2)};
}

}  // namespace

CRegistryCleaner::CRegistryCleaner(const CPlatform& platform, CProblemList& problems,
                                   IProblemFilter* filter, IActivityLog* log)
    : m_platform(platform),
      m_folders(CFolderTable::Resolve(platform.shell)),
      m_view32(CPathView::Resolve32Bit(platform.shell, m_folders)),
      m_containers(CContainerFolders::Resolve(platform.shell, m_folders)),
      m_problems(problems),
      m_filter(filter),
      m_log(log) {}

void CRegistryCleaner::Prepare(const CATEGORY_SELECTION& selection) {
  m_scanCategory = selection;
  m_found.fill(0);
  m_fixed.fill(0);
  m_uncovered.fill(0);
  m_totalFound = 0;
  m_totalFixed = 0;
  m_passedOver.clear();
  m_emptyKeys.Clear();
  ForgetPaths();  // the drive may have changed since the last scan
  m_running.store(true);
}

bool CRegistryCleaner::AddProblem(std::unique_ptr<CRegistryProblem> problem) {
  if (!problem || !IsValidCategory(problem->type)) return false;
  if (m_filter != nullptr && m_filter->IsProblemExcluded(*problem)) return false;

  CRegistryProblem* stored = m_problems.Add(std::move(problem));
  if (m_log != nullptr) static_cast<void>(m_log->WriteLog(FormatProblemLogLine(*stored)));

  const auto index = static_cast<std::size_t>(stored->type);
  ++m_found[index];
  ++m_totalFound;

  if (m_sink != nullptr) m_sink->OnProblemFound(*stored);
  return true;
}

void CRegistryCleaner::ReportScanStarted() {
  if (m_sink != nullptr) m_sink->OnScanStarted(*this);
}

void CRegistryCleaner::ReportEntryExamined(const std::wstring& text) {
  if (m_sink != nullptr) m_sink->OnEntryExamined(text);
}

void CRegistryCleaner::ReportCategoryStarted(int index) {
  if (m_sink != nullptr) m_sink->OnCategoryStarted(index);
}

void CRegistryCleaner::ReportCategoryFinished(int index) {
  if (m_sink != nullptr) m_sink->OnCategoryFinished(index);
}

void CRegistryCleaner::ReportCategorySkipped(int index) {
  if (m_sink != nullptr) m_sink->OnCategorySkipped(index);
}

void CRegistryCleaner::ReportScanEnded() {
  if (m_sink != nullptr) m_sink->OnScanEnded();
}

bool CRegistryCleaner::ScanCategory(int index) const {
  return IsValidCategory(index) && m_scanCategory[static_cast<std::size_t>(index)];
}

void CRegistryCleaner::SetScanCategory(int index, bool scan) {
  if (IsValidCategory(index)) m_scanCategory[static_cast<std::size_t>(index)] = scan;
}

std::int32_t CRegistryCleaner::Found(int index) const {
  return IsValidCategory(index) ? m_found[static_cast<std::size_t>(index)] : 0;
}

std::int32_t CRegistryCleaner::Fixed(int index) const {
  return IsValidCategory(index) ? m_fixed[static_cast<std::size_t>(index)] : 0;
}

void CRegistryCleaner::CountUncovered(int index) {
  if (!IsValidCategory(index)) return;
  ++m_uncovered[static_cast<std::size_t>(index)];
  ++m_found[static_cast<std::size_t>(index)];
  ++m_totalFound;
}

std::int32_t CRegistryCleaner::Uncovered(int index) const {
  return IsValidCategory(index) ? m_uncovered[static_cast<std::size_t>(index)] : 0;
}

void CRegistryCleaner::UncountFixed(int index) {
  if (!IsValidCategory(index) || m_fixed[static_cast<std::size_t>(index)] == 0) return;
  --m_fixed[static_cast<std::size_t>(index)];
  --m_totalFixed;
}

void CRegistryCleaner::CountFixed(int index) {
  if (!IsValidCategory(index)) return;
  ++m_fixed[static_cast<std::size_t>(index)];
  ++m_totalFixed;
}

std::wstring CRegistryCleaner::ExpandPlaceholders(std::wstring_view text,
                                                   REGISTRY_VIEW view) const {
  return qv::ExpandPlaceholders(text, Folders(view));
}

std::wstring CRegistryCleaner::CleanPath(std::wstring_view source, REGISTRY_VIEW view) const {
  return qv::CleanPath(source, m_platform.shell, PathView(view));
}

REFERENCE_JUDGEMENT CRegistryCleaner::JudgeReference(std::wstring_view text,
                                                     REGISTRY_VIEW view) const {
  return qv::JudgeReference(text, Folders(view), m_platform, PathMemo(), DriveMemo(),
                            PathView(view));
}

PATH_STANDING CRegistryCleaner::JudgePath(std::wstring_view path, REGISTRY_VIEW view) const {
  return JudgeDrivePath(ResolvePath(path, view), m_platform.files, PathMemo(), DriveMemo());
}

void CRegistryCleaner::PassOver(REGPROBLEM_TYPE type, std::wstring_view key, std::wstring_view name,
                                std::wstring_view data, const REFERENCE_JUDGEMENT& judgement) {
  if (!IsPassedOver(judgement.passedOver) || !IsValidCategory(type)) return;
  CRegistryProblem entry(std::wstring(key), std::wstring(name), std::wstring(data), type);
  if (m_filter != nullptr && m_filter->IsProblemExcluded(entry)) return;
  m_passedOver.push_back({type, std::move(entry.key), std::move(entry.name), std::move(entry.data),
                          PassedOverEvidence(judgement.passedOver, judgement.passedOverPath)});
}

std::wstring CRegistryCleaner::ReadablePath(std::wstring_view path, std::wstring_view text,
                                            REGISTRY_VIEW view) const {
  return qv::ReadablePath(path, text, Folders(view), PathView(view));
}

std::wstring CRegistryCleaner::ResolvePath(std::wstring_view path, REGISTRY_VIEW view) const {
  const CPathView* paths = PathView(view);
  return paths != nullptr ? paths->Resolve(path) : std::wstring(path);
}

MISSING_PATH CRegistryCleaner::LocateMissingPath(std::wstring_view path) const {
  return qv::LocateMissingPath(path, m_platform.files, PathMemo());
}

MISSING_PATH CRegistryCleaner::JudgeMissingPath(std::wstring_view path) const {
  return qv::JudgeMissingPath(path, m_folders.Path(FOLDER_WINDOWS), m_containers,
                              m_platform.files, PathMemo());
}

std::wstring FormatProblemLogLine(const CRegistryProblem& problem) {
  std::wstring line = L"Error at ";
  line += problem.key;
  line += L'\\';
  line += problem.name;
  line += L"=\n";
  line += problem.data;
  return line;
}

}  // namespace qv
