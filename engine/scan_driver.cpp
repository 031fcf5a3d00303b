#include "engine/scan_driver.h"

#include <cstdlib>
#include <utility>

#include "engine/checks.h"
#include "state/settings.h"
#include "state/state_texts.h"
#include "state/time_format.h"

namespace qv {

std::wstring FormatLastScanStamp(const std::tm& local) {
  return FormatTime(kLastScanFormat, local);
}

std::wstring ScanLogProgramEntry(std::wstring_view versionText) {
  std::wstring entry(kScanLogProgramPrefix);
  entry += versionText;
  return entry;
}

std::wstring ScanLogStartedOnEntry(const std::tm& local) {
  const std::wstring rule(kScanLogRuleLength, L'-');
  std::wstring entry = FormatTime(kScanLogStartedOnFormat, local);
  entry += L'\n';
  entry += rule;
  entry += L'\n';
  entry += rule;
  return entry;
}

std::wstring ScanLogStartedEntry() {
  std::wstring entry(kScanLogStarted);
  entry += L'\n';
  entry.append(kScanLogRuleLength, L'-');
  return entry;
}

bool PausesAfterCategory(int index) {
  switch (index) {
    case REGPROBLEM_COM:
    case REGPROBLEM_UNINSTALL:
    case REGPROBLEM_FONT:
    case REGPROBLEM_SHARED_DLL:
    case REGPROBLEM_HELP_FILE:
      return true;
    default:
      return false;
  }
}

unsigned CategoryPauseSeed(std::int64_t seconds, const std::tm& local) {
  // Unsigned arithmetic: the sum wraps as the runtime's 32-bit seed does.
  std::uint32_t seed = static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds));
  seed += static_cast<std::uint32_t>(local.tm_year);
  seed += static_cast<std::uint32_t>(local.tm_mon);
  seed += static_cast<std::uint32_t>(local.tm_mday);
  seed += kCategoryPauseSeedBase;
  return seed;
}

std::uint32_t DrawCategoryPauseMs(IClock& clock) {
  const std::int64_t now = clock.Now();
  std::srand(CategoryPauseSeed(now, clock.ToLocalTime(now)));
  return static_cast<std::uint32_t>(std::rand()) % kCategoryPauseSpanMs + kCategoryPauseMinMs;
}

int ScanThreadProc(CRegistryCleaner& engine, const SCAN_DRIVER_OPTIONS& options) {
  const CPlatform& platform = engine.Platform();
  IActivityLog* log = engine.Log();

  // One reading of the clock for the stamp and the header.
  const std::int64_t startSeconds = platform.clock.Now();
  const std::tm start = platform.clock.ToLocalTime(startSeconds);
  const std::wstring stamp = FormatLastScanStamp(start);

  if (log != nullptr) {
    // A line that cannot be written is lost; the scan goes on.
    static_cast<void>(log->WriteLog(ScanLogProgramEntry(ProductVersionText(platform.shell))));
    static_cast<void>(log->WriteLog(ScanLogStartedOnEntry(start)));
    static_cast<void>(log->WriteLog(ScanLogStartedEntry()));
    for (const std::wstring& notice : engine.ScanNotices()) {
      static_cast<void>(log->WriteLog(notice));
    }
  }
  // A setting that cannot be stored does not stop the scan.
  static_cast<void>(
      WriteSettingText(platform.registry, kProductName, kValueLastScan, std::wstring_view(stamp)));

  engine.Problems().Clear();
  engine.ReportScanStarted();
  if (options.pacing && !engine.ShouldStop()) platform.clock.Sleep(kScanStartDelayMs);

  for (const REGPROBLEM_TYPE category : kCategoryRunOrder) {
    const int index = static_cast<int>(category);
    if (engine.ScanCategory(index) && !engine.ShouldStop()) {
      engine.SetCurrentStep(index + 1);
      engine.ReportCategoryStarted(index);
      // A category without a check yet finds nothing: its started/finished pair still goes out.
      if (options.runCheck) {
        static_cast<void>(options.runCheck(engine, index));
      } else {
        static_cast<void>(RunCategoryCheck(engine, index));
      }
      engine.ReportCategoryFinished(index);
    } else {
      engine.ReportCategorySkipped(index);
    }
    if (options.pacing && PausesAfterCategory(index) && !engine.ShouldStop()) {
      platform.clock.Sleep(DrawCategoryPauseMs(platform.clock));
    }
  }

  // What one check recorded for a later one is not kept past the scan (a cancelled scan leaves
  // it unread).
  engine.EmptyKeySightings().Clear();
  engine.ReportScanEnded();
  return 0;
}

namespace {

// An engine and the problem list it appends to, allocated together so that whoever holds the
// engine holds its list.
struct SCAN_ENGINE_BOX {
  SCAN_ENGINE_BOX(const CPlatform& platform, IProblemFilter* filter, IActivityLog* log)
      : engine(platform, problems, filter, log) {}
  CProblemList problems;
  CRegistryCleaner engine;
};

}  // namespace

std::shared_ptr<CRegistryCleaner> CreateScanEngine(const CPlatform& platform,
                                                   IProblemFilter* filter, IActivityLog* log) {
  auto box = std::make_shared<SCAN_ENGINE_BOX>(platform, filter, log);
  return std::shared_ptr<CRegistryCleaner>(box, &box->engine);
}

void CScanReportGate::OnScanStarted(CRegistryCleaner& engine) {
  if (IsOpen()) m_target.OnScanStarted(engine);
}

void CScanReportGate::OnEntryExamined(const std::wstring& text) {
  if (IsOpen()) m_target.OnEntryExamined(text);
}

void CScanReportGate::OnProblemFound(CRegistryProblem& problem) {
  if (IsOpen()) m_target.OnProblemFound(problem);
}

void CScanReportGate::OnCategoryStarted(int index) {
  if (IsOpen()) m_target.OnCategoryStarted(index);
}

void CScanReportGate::OnCategoryFinished(int index) {
  if (IsOpen()) m_target.OnCategoryFinished(index);
}

void CScanReportGate::OnCategorySkipped(int index) {
  if (IsOpen()) m_target.OnCategorySkipped(index);
}

void CScanReportGate::OnScanEnded() {
  if (IsOpen()) m_target.OnScanEnded();
}

}  // namespace qv
