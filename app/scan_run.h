// A scan run on the calling thread without the progress page's pacing, its result, and its record
// in the product key. Platform-neutral: it works on whatever platform it is given (the real one in
// QuarveloCli.exe, the in-memory one in tests).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/categories.h"
#include "engine/registry_cleaner.h"
#include "engine/scan_driver.h"
#include "engine/scan_sink.h"
#include "base/errors.h"
#include "platform/platform.h"

namespace qv {

// The scan opens the machine's keys with read, set-value and create-subkey access, which only an
// administrator's process has on Windows. Without it every check would find its keys closed and
// pass them over, and the scan would report a clean machine. So before scanning, the console
// probes this key with that access and refuses to scan when it is denied.
inline constexpr std::wstring_view kScanAccessProbeKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Opens HKEY_LOCAL_MACHINE\<kScanAccessProbeKey> with the checks' access (kKeyReadWriteCreate)
// and closes it again. Returns the error code of the open: kErrorAccessDenied means the scan
// cannot see the machine; 0, or any other failure (the key missing, say), lets it go on.
[[nodiscard]] ErrorCode ProbeScanAccess(IRegistry& registry);

// The categories the product key enables (a category's value missing or unreadable: enabled).
[[nodiscard]] CATEGORY_SELECTION EnabledCategories(IRegistry& registry);

// One problem as reported.
struct REPORTED_PROBLEM {
  int category = 0;
  std::wstring key;
  std::wstring name;
  std::wstring data;
  PROBLEM_EVIDENCE evidence;  // what the check tested and found missing
};

// What a scan found.
struct SCAN_RESULT {
  CATEGORY_SELECTION scanned{};  // categories that ran (selected, not cancelled)
  CATEGORY_SELECTION checked{};  // of those, the ones this version has a check for
  std::array<std::int32_t, kCategoryCount> found{};  // problems kept per category
  std::vector<REPORTED_PROBLEM> problems;            // in the order they were added
  std::uint64_t itemsScanned = 0;                    // entries the checks examined
  bool completed = false;                            // false when the scan was cancelled
  // Entries not judged for the drive a path of theirs lies on (CRegistryCleaner::PassOver).
  std::vector<PASSED_OVER> passedOver;
  // What the scan had to tell about how it judged (CRegistryCleaner::ScanNotices).
  std::vector<std::wstring> notices;
};

// Told the category being scanned and the entries examined so far; called when a category
// starts and then at most every kProgressIntervalMs of the platform's tick count.
using ScanProgress = std::function<void(int category, std::uint64_t itemsScanned)>;
inline constexpr std::uint32_t kProgressIntervalMs = 100;

// Counts what the checks examine and collects the per-category reports of a scan.
class CScanResultSink final : public IScanSink {
 public:
  CScanResultSink(IClock& clock, ScanProgress progress);

  void OnScanStarted(CRegistryCleaner& engine) override;
  void OnEntryExamined(const std::wstring& text) override;
  void OnProblemFound(CRegistryProblem& problem) override;
  void OnCategoryStarted(int index) override;
  void OnCategoryFinished(int index) override;
  void OnCategorySkipped(int index) override;
  void OnScanEnded() override;

  [[nodiscard]] std::uint64_t ItemsScanned() const { return m_items; }
  [[nodiscard]] const CATEGORY_SELECTION& Finished() const { return m_finished; }
  [[nodiscard]] bool Ended() const { return m_ended; }

 private:
  IClock& m_clock;
  ScanProgress m_progress;
  std::uint64_t m_items = 0;
  int m_category = -1;
  std::uint32_t m_lastProgress = 0;
  CATEGORY_SELECTION m_finished{};
  bool m_ended = false;
};

// Runs the scan driver on the engine (prepared here from the selection) on the calling thread,
// without pacing, with the engine's checks (or `runCheck` when given), and collects the result.
// Cancelling the engine from another thread stops the scan at its next item; the result then says
// it did not complete.
[[nodiscard]] SCAN_RESULT RunScan(CRegistryCleaner& engine, const CATEGORY_SELECTION& selection,
                                  const ScanProgress& progress,
                                  const CategoryCheckRunner& runCheck = {});

// Records the scan in the product key as the scan page and the main window do after a scan:
// for all eleven categories "E" + name = problems found (0 for those not scanned) and "F" + name
// = 0 (nothing of the new scan is repaired yet), and "itscanned" = entries examined. The enabled
// switches stay as they are ("lastScan" was stored by the scan driver at the start). Every write
// is tried; the result is the first failure, or 0.
[[nodiscard]] ErrorCode RecordScan(IRegistry& registry, const SCAN_RESULT& result);

}  // namespace qv
