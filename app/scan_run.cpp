#include "app/scan_run.h"

#include <algorithm>
#include <utility>

#include "engine/checks.h"
#include "engine/scan_driver.h"
#include "base/utf16.h"
#include "app/category_table.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {

ErrorCode ProbeScanAccess(IRegistry& registry) {
  CRegKey key(registry);
  return key.Open(kHkeyLocalMachine, kScanAccessProbeKey, kKeyReadWriteCreate);
}

CATEGORY_SELECTION EnabledCategories(IRegistry& registry) {
  CATEGORY_TABLE table = BuildDefaultCategoryTable();
  LoadCategorySettings(registry, kProductName, &table);
  return EnabledSelection(table);
}

CScanResultSink::CScanResultSink(IClock& clock, ScanProgress progress)
    : m_clock(clock), m_progress(std::move(progress)) {}

void CScanResultSink::OnScanStarted(CRegistryCleaner&) {
  m_items = 0;
  m_finished.fill(false);
  m_ended = false;
}

void CScanResultSink::OnEntryExamined(const std::wstring&) {
  ++m_items;
  if (!m_progress) return;
  const std::uint32_t now = m_clock.TickCount();
  if (now - m_lastProgress >= kProgressIntervalMs) {
    m_lastProgress = now;
    m_progress(m_category, m_items);
  }
}

void CScanResultSink::OnProblemFound(CRegistryProblem&) {}

void CScanResultSink::OnCategoryStarted(int index) {
  m_category = index;
  if (!m_progress) return;
  m_lastProgress = m_clock.TickCount();
  m_progress(m_category, m_items);
}

void CScanResultSink::OnCategoryFinished(int index) {
  if (IsValidCategory(index)) m_finished[static_cast<std::size_t>(index)] = true;
}

void CScanResultSink::OnCategorySkipped(int) {}

void CScanResultSink::OnScanEnded() { m_ended = true; }

SCAN_RESULT RunScan(CRegistryCleaner& engine, const CATEGORY_SELECTION& selection,
                                   const ScanProgress& progress,
                                   const CategoryCheckRunner& runCheck) {
  engine.Prepare(selection);

  CScanResultSink sink(engine.Platform().clock, progress);
  IScanSink* previous = engine.NotifySink();
  engine.SetNotifySink(&sink);
  CATEGORY_SELECTION checked{};
  SCAN_DRIVER_OPTIONS options;
  options.pacing = false;
  options.runCheck = [&checked, &runCheck](CRegistryCleaner& e, int index) {
    const bool exists = runCheck ? runCheck(e, index) : RunCategoryCheck(e, index);
    if (IsValidCategory(index)) checked[static_cast<std::size_t>(index)] = exists;
    return exists;
  };
  static_cast<void>(ScanThreadProc(engine, options));
  engine.SetNotifySink(previous);
  engine.SetRunning(false);

  SCAN_RESULT result;
  result.scanned = sink.Finished();
  result.checked = checked;
  for (int i = 0; i < kCategoryCount; ++i)
    result.found[static_cast<std::size_t>(i)] = engine.Found(i);
  result.itemsScanned = sink.ItemsScanned();
  result.completed = sink.Ended() && !engine.IsCancelled();
  result.passedOver = engine.PassedOver();
  result.notices = engine.ScanNotices();
  const CProblemList& list = engine.Problems();
  result.problems.reserve(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const CRegistryProblem* problem = list.At(i);
    result.problems.push_back({static_cast<int>(problem->type), problem->key, problem->name,
                               problem->data, ShownEvidence(*problem)});
  }
  return result;
}

ErrorCode RecordScan(IRegistry& registry, const SCAN_RESULT& result) {
  ErrorCode first = kErrorSuccess;
  const auto keep = [&first](ErrorCode rc) {
    if (first == kErrorSuccess) first = rc;
  };
  for (int i = 0; i < kCategoryCount; ++i) {
    keep(WriteSettingText(registry, kProductName, CategoryFoundValueName(i),
                          static_cast<int>(result.found[static_cast<std::size_t>(i)])));
    // A new scan's problems are not repaired yet: the window zeroes these too.
    keep(WriteSettingText(registry, kProductName, CategoryFixedValueName(i), 0));
  }
  // The count is stored as the page stores it, a 32-bit number; a larger one is capped.
  const std::uint64_t items = std::min<std::uint64_t>(result.itemsScanned, 0x7FFFFFFE);
  keep(WriteSettingText(registry, kProductName, kValueEntriesScanned, static_cast<int>(items)));
  return first;
}

}  // namespace qv
