#include "cli/console_scan.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

#include "engine/checks.h"
#include "engine/scan_driver.h"
#include "platform/utf16.h"
#include "state/category_settings.h"
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
  CATEGORY_SELECTION selection{};
  for (std::size_t i = 0; i < table.size(); ++i) selection[i] = table[i].enabled != 0;
  return selection;
}

CConsoleScanSink::CConsoleScanSink(IClock& clock, ConsoleProgress progress)
    : m_clock(clock), m_progress(std::move(progress)) {}

void CConsoleScanSink::OnScanStarted(CRegistryCleaner&) {
  m_items = 0;
  m_finished.fill(false);
  m_ended = false;
}

void CConsoleScanSink::OnEntryExamined(const std::wstring&) {
  ++m_items;
  if (!m_progress) return;
  const std::uint32_t now = m_clock.TickCount();
  if (now - m_lastProgress >= kProgressIntervalMs) {
    m_lastProgress = now;
    m_progress(m_category, m_items);
  }
}

void CConsoleScanSink::OnProblemFound(CRegistryProblem&) {}

void CConsoleScanSink::OnCategoryStarted(int index) {
  m_category = index;
  if (!m_progress) return;
  m_lastProgress = m_clock.TickCount();
  m_progress(m_category, m_items);
}

void CConsoleScanSink::OnCategoryFinished(int index) {
  if (IsValidCategory(index)) m_finished[static_cast<std::size_t>(index)] = true;
}

void CConsoleScanSink::OnCategorySkipped(int) {}

void CConsoleScanSink::OnScanEnded() { m_ended = true; }

CONSOLE_SCAN_RESULT RunConsoleScan(CRegistryCleaner& engine, const CATEGORY_SELECTION& selection,
                                   const ConsoleProgress& progress,
                                   const CategoryCheckRunner& runCheck) {
  CATEGORY_TABLE table = BuildDefaultCategoryTable();
  for (std::size_t i = 0; i < table.size(); ++i) table[i].enabled = selection[i] ? 1 : 0;
  engine.Prepare(table);

  CConsoleScanSink sink(engine.Platform().clock, progress);
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

  CONSOLE_SCAN_RESULT result;
  result.scanned = sink.Finished();
  result.checked = checked;
  for (int i = 0; i < kCategoryCount; ++i)
    result.found[static_cast<std::size_t>(i)] = engine.Found(i);
  result.itemsScanned = sink.ItemsScanned();
  result.completed = sink.Ended() && !engine.IsCancelled();
  const CProblemList& list = engine.Problems();
  result.problems.reserve(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const CRegistryProblem* problem = list.At(i);
    result.problems.push_back(
        {static_cast<int>(problem->type), problem->key, problem->name, problem->data});
  }
  return result;
}

ErrorCode RecordConsoleScan(IRegistry& registry, const CONSOLE_SCAN_RESULT& result) {
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

std::wstring_view CategoryRiskLabel(int category) {
  return SeverityLabel(CategorySeverity(CategoryDisplayName(category)));
}

std::wstring FormatTextReport(const CONSOLE_SCAN_RESULT& result) {
  std::wstring text;
  int scannedCount = 0;
  for (REGPROBLEM_TYPE category : kCategoryRunOrder) {
    const auto index = static_cast<std::size_t>(category);
    if (!result.scanned[index]) continue;
    ++scannedCount;
    const std::int32_t found = result.found[index];
    text += CategoryDisplayName(category);
    text += L" (risk: ";
    text += CategoryRiskLabel(category);
    text += L"): ";
    if (!result.checked[index]) {
      text += L"not checked (no check for this category in this version)";
    } else if (found == 0) {
      text += L"no problems";
    } else {
      text += std::to_wstring(found) + (found == 1 ? L" problem" : L" problems");
    }
    text += L'\n';
    int number = 0;
    for (const REPORTED_PROBLEM& problem : result.problems) {
      if (problem.category != static_cast<int>(category)) continue;
      const std::wstring counter = L"  " + std::to_wstring(++number) + L". ";
      const std::wstring indent(counter.size(), L' ');
      text += counter + L"key:  " + problem.key + L'\n';
      text += indent + L"name: " + problem.name + L'\n';
      text += indent + L"data: " + problem.data + L'\n';
    }
  }
  if (scannedCount > 0) text += L'\n';
  if (!result.completed) text += L"Scan stopped before it completed.\n";
  text += L"Problems found:     " + std::to_wstring(result.problems.size()) + L'\n';
  text += L"Categories scanned: " + std::to_wstring(scannedCount) + L" of " +
          std::to_wstring(kCategoryCount) + L'\n';
  text += L"Items examined:     " + std::to_wstring(result.itemsScanned) + L'\n';
  return text;
}

std::string FormatJsonReport(const CONSOLE_SCAN_RESULT& result) {
  using Json = nlohmann::ordered_json;
  Json report = Json::object();
  report["completed"] = result.completed;
  report["itemsScanned"] = result.itemsScanned;
  Json categories = Json::array();
  for (REGPROBLEM_TYPE category : kCategoryRunOrder) {
    const auto index = static_cast<std::size_t>(category);
    if (!result.scanned[index]) continue;
    categories.push_back(Json{{"index", static_cast<int>(category)},
                              {"name", ToUtf8(CategoryDisplayName(category))},
                              {"risk", ToUtf8(CategoryRiskLabel(category))},
                              {"found", result.found[index]},
                              {"checked", static_cast<bool>(result.checked[index])}});
  }
  report["categories"] = std::move(categories);
  Json problems = Json::array();
  for (const REPORTED_PROBLEM& problem : result.problems) {
    problems.push_back(Json{{"category", problem.category},
                            {"key", ToUtf8(problem.key)},
                            {"name", ToUtf8(problem.name)},
                            {"data", ToUtf8(problem.data)}});
  }
  report["problems"] = std::move(problems);
  // ToUtf8 already writes lone surrogates as U+FFFD; replace guards anything else.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace qv
