// The console's reports of a scan: the text report on standard output and the JSON report.
// Platform-neutral, so the native tests check them too.
#pragma once

#include <string>
#include <string_view>

#include "app/scan_run.h"

namespace qv {

// Exit codes of QuarveloCli.exe.
inline constexpr int kExitNoProblems = 0;     // the scan completed and found nothing
inline constexpr int kExitProblemsFound = 1;  // the scan completed and found problems
inline constexpr int kExitError = 2;          // usage error, run error, or the scan was stopped

inline constexpr std::wstring_view kScanNeedsAdministratorMessage =
    L"QuarveloCli: the scan needs administrator rights (run it from an elevated prompt)\n";

// Risk label of a category from its severity: "LOW", "MEDIUM" or "HIGH".
[[nodiscard]] std::wstring_view CategoryRiskLabel(int category);

// The text report: for each scanned category in run order a heading with its risk label and
// count (or a note that this version has no check for it yet), then each problem's key, name and
// data; then the totals and the entries examined.
// Lines end with "\n".
[[nodiscard]] std::wstring FormatTextReport(const SCAN_RESULT& result);

// The JSON report (UTF-8):
//   {"completed": bool, "itemsScanned": N,
//    "categories": [{"index", "name", "risk", "found", "checked"}...]   scanned, in run order
//    "problems": [{"category", "key", "name", "data"}...]}   in the order they were added
// Text that is not valid UTF-16 (a lone surrogate) is written as U+FFFD.
[[nodiscard]] std::string FormatJsonReport(const SCAN_RESULT& result);

}  // namespace qv
