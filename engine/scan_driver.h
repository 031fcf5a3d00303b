// The scan driver: the procedure of the scan thread. It writes the scan header to the activity
// log, stores the start time of the scan as the "lastScan" setting, empties the problem list and
// runs the selected category checks one after another in the fixed run order, reporting every
// step to the engine's notify sink.
//
// Report sequence of one scan:
//   scan started (the engine)
//   for each category in run order 0, 1, 2, 3, 5, 6, 4, 7, 8, 9, 10, exactly one of
//     category started, <entries examined and problems found by its check>, category finished
//     category skipped            (not selected, or the scan is cancelled)
//   scan ended
//
// Pacing: the progress page shows each phase for a moment, so a paced scan waits 1,700 ms after
// "scan started" and 400 to 600 ms after categories 0, 1, 2, 3 and 5 (ran or skipped), the
// length drawn from the C runtime's generator re-seeded from the clock before every pause. The
// console scan runs without pacing. All waits go through the platform clock. Once the scan is
// cancelled it waits no more: nobody is watching, and the thread should end promptly.
//
// Threads: the application's scan worker (app/scan_worker.h) runs the procedure on its own thread
// and reports through a CScanReportGate, which it closes before it stops a scan, so a stopped
// scan's late reports go nowhere. Each engine owns its problem list (CreateScanEngine), so a scan
// being stopped never shares one with the scan that replaces it.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "state/log_interface.h"
#include "engine/problem_filter.h"
#include "engine/registry_cleaner.h"
#include "engine/scan_sink.h"
#include "platform/clock.h"
#include "platform/platform.h"

namespace qv {

// ---- Fixed texts and numbers of the scan driver ----
inline constexpr std::wstring_view kScanLogProgramPrefix = L"Registry Cleaner ";
inline constexpr std::wstring_view kScanLogStartedOnFormat =
    L"Scanning Started on: %A, %B %d, %Y %H:%M:%S";
inline constexpr std::wstring_view kScanLogStarted = L"Scanning started";
inline constexpr std::size_t kScanLogRuleLength = 76;  // hyphens in a rule line of the header

inline constexpr std::uint32_t kScanStartDelayMs = 1700;
inline constexpr std::uint32_t kCategoryPauseMinMs = 400;
inline constexpr std::uint32_t kCategoryPauseSpanMs = 201;  // pauses are 400..600 ms inclusive
inline constexpr std::uint32_t kCategoryPauseSeedBase = 1901;

// Runs the check of one category; returns whether the category has a check.
using CategoryCheckRunner = std::function<bool(CRegistryCleaner&, int)>;

struct SCAN_DRIVER_OPTIONS {
  // The progress page's waits (1,700 ms after the start, 400-600 ms after categories 0, 1, 2, 3
  // and 5). Off for the console scan.
  bool pacing = true;
  // Empty: the engine's own checks (RunCategoryCheck). Tests put stand-ins here.
  CategoryCheckRunner runCheck;
};

// ---- The pieces of the procedure, each usable on its own ----

// The last-scan stamp "%d-%m-%Y %H:%M:%S" of a local time: 5 March 2010 09:07:03 gives
// "05-03-2010 09:07:03".
[[nodiscard]] std::wstring FormatLastScanStamp(const std::tm& local);
// "Registry Cleaner " followed by the program's version text (empty when it has none).
[[nodiscard]] std::wstring ScanLogProgramEntry(std::wstring_view versionText);
// "Scanning Started on: <weekday>, <month> <dd>, <yyyy> <HH:MM:SS>", a line break, 76 hyphens,
// a line break and 76 hyphens: one log entry.
[[nodiscard]] std::wstring ScanLogStartedOnEntry(const std::tm& local);
// "Scanning started", a line break and 76 hyphens.
[[nodiscard]] std::wstring ScanLogStartedEntry();

// Whether the paced scan pauses after the category (0, 1, 2, 3 and 5, in run order the first
// five).
[[nodiscard]] bool PausesAfterCategory(int index);
// The seed of a pause: the low 32 bits of the seconds plus tm_year (years since 1900), tm_mon
// (0-11), tm_mday and 1901, in unsigned 32-bit arithmetic.
[[nodiscard]] unsigned CategoryPauseSeed(std::int64_t seconds, const std::tm& local);
// Reads the clock, seeds the C runtime's generator (srand) with CategoryPauseSeed and returns
// rand() % 201 + 400 milliseconds.
[[nodiscard]] std::uint32_t DrawCategoryPauseMs(IClock& clock);

// The scan thread procedure. Runs the whole scan on the calling thread and returns 0. The engine
// must be prepared (scan categories chosen) and its notify sink set before the call. Nothing in
// the engine marks the end but the scan-ended report; the counters and the problem list stay for
// the results page and the repair.
int ScanThreadProc(CRegistryCleaner& engine, const SCAN_DRIVER_OPTIONS& options = {});

// ---- Engines with their own problem list, and the thread that runs them ----

// A new engine that owns a problem list of its own (held in the same allocation, so it lives
// exactly as long as the engine). The platform, the filter and the log must outlive every
// reference to the engine.
[[nodiscard]] std::shared_ptr<CRegistryCleaner> CreateScanEngine(const CPlatform& platform,
                                                                 IProblemFilter* filter,
                                                                 IActivityLog* log);

// A sink that forwards every report to its target until Close(). Close never waits, so the
// interface thread may call it while the scan thread is inside a synchronous report to it; a
// report that has already passed the gate (at most the one the scan thread is making) is
// completed, every later one is dropped.
class CScanReportGate final : public IScanSink {
 public:
  explicit CScanReportGate(IScanSink& target) : m_target(target) {}

  void Close() { m_open.store(false); }
  [[nodiscard]] bool IsOpen() const { return m_open.load(); }

  void OnScanStarted(CRegistryCleaner& engine) override;
  void OnEntryExamined(const std::wstring& text) override;
  void OnProblemFound(CRegistryProblem& problem) override;
  void OnCategoryStarted(int index) override;
  void OnCategoryFinished(int index) override;
  void OnCategorySkipped(int index) override;
  void OnScanEnded() override;

 private:
  IScanSink& m_target;
  std::atomic<bool> m_open{true};
};

}  // namespace qv
