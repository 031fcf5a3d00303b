// The console's reports of a scan: the text report on standard output and the JSON report.
// Platform-neutral, so the native tests check them too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/scan_run.h"
#include "base/language.h"
#include "repair/full_backup.h"
#include "repair/repair_driver.h"

namespace qv {

// Exit codes of QuarveloCli.exe. The other commands: 0 done, 1 the operation (or part of it)
// failed, 2 usage or run error.
inline constexpr int kExitNoProblems = 0;     // the scan completed and found nothing
inline constexpr int kExitProblemsFound = 1;  // the scan completed and found problems
inline constexpr int kExitError = 2;          // usage error, run error, or the scan was stopped

// The console's texts a person reads, in every language (cli_texts.inc, base/language.h).
#define QV_TEXT QV_TEXT_CONSTANT
#include "cli/cli_texts.inc"
#undef QV_TEXT
// Every text of cli_texts.inc, for the language tests.
inline constexpr UI_TEXT kCliTexts[] = {
#define QV_TEXT QV_TEXT_LIST_ITEM
#include "cli/cli_texts.inc"
#undef QV_TEXT
};
// What every message on standard error begins with, in every language.
inline constexpr std::wstring_view kMessagePrefix = L"QuarveloCli: ";
// A message for standard error: kMessagePrefix, the text, a line end.
[[nodiscard]] inline std::wstring Message(std::wstring_view text) {
  return std::wstring(kMessagePrefix) + std::wstring(text) + L"\n";
}

// Risk label of a category from its severity: "LOW", "MEDIUM" or "HIGH" (in the user's language
// for the text report, in English for the JSON).
[[nodiscard]] std::wstring_view CategoryRiskLabel(int category, WORDING wording = WORDING::kUser);

// The text report: for each scanned category in run order a heading with its risk label and
// count (or a note that this version has no check for it yet), then each problem's key, name,
// data and evidence (what the check tested and found missing, in words); then the totals and the
// entries examined.
// Lines end with "\n".
[[nodiscard]] std::wstring FormatTextReport(const SCAN_RESULT& result);

// The JSON report (UTF-8):
//   {"completed": bool, "itemsScanned": N,
//    "categories": [{"index", "name", "risk", "found", "checked"}...]   scanned, in run order
//    "problems": [{"category", "key", "name", "data", "evidence"}...]}   in the order they were
//   added, where "evidence" is what the check tested and found missing, or null when it recorded
//   nothing:
//     {"kind": "missingFile" | "missingFolder" | "noProgram" | "notRegistered" | "emptyKey" |
//              "missingTarget" | "noMenuFolder",
//      "tested": the path, key or class tested (after expansion),
//      "folder": the second path of the kinds that have one (omitted otherwise): the folder that
//                holds a missing file, the first missing folder, the folder without a program,
//                the user's menu folder,
//      "text": the same in words, as the text report shows it}
// Text that is not valid UTF-16 (a lone surrogate) is written as U+FFFD.
[[nodiscard]] std::string FormatJsonReport(const SCAN_RESULT& result);

// The repair's report: the backup files it made, the restore point, every problem repaired, and
// every one that failed with its error and the reason in words. Lines end with "\n".
[[nodiscard]] std::wstring FormatRepairText(const REPAIR_OUTCOME& outcome);

// The repair's JSON report (UTF-8):
//   {"completed": bool, "backup": path|null, "shortcutList": path|null,
//    "restorePoint": "created"|"reused"|"failed"|"unavailable"|"not asked",
//        created: System Restore made a new point for this repair;
//        reused: the request succeeded but no new point can be shown: Windows (8 and later)
//            makes none when one was made in the last 24 hours and answers with that one, or
//            the points could not be listed to tell;
//        failed: System Restore refused (turned off, safe mode, low disk space...);
//        unavailable: this Windows has no System Restore client; not asked: the setting or
//            --no-restore-point;
//    "restorePointNumber": N          (created, reused) the system's sequence number,
//    "restorePointTime": text         (reused, when the kept point's time is known) local time,
//                                     as the backups listing writes dates,
//    "restorePointStatus": N,         (failed) the system's status code (1058: turned off),
//    "restorePointReason": text       (failed) that status in words,
//    "fixed": [{"category", "key", "name", "data"}...],
//    "failed": [{"category", "key", "name", "data", "error", "reason", "blocked"}...],
//    "stillPresent": [{"category", "key", "name", "data", "blocked"}...], "skipped": N,
//    "abortMessage": text (only when not completed)}
[[nodiscard]] std::string FormatRepairJson(const REPAIR_OUTCOME& outcome);

// One row of the backups listing as shown.
struct BACKUP_ROW {
  std::wstring name;
  std::wstring date;  // "December 06, 2026 (18:31:14)"
  std::wstring file;
  std::wstring notTrusted;  // BackupTrustText: empty for a backup that is trusted
  std::wstring notTrustedEnglish;  // the same in English, for the JSON
};

// The listing, newest first: one line per backup (name, date, file, and for one that is not
// trusted a further line saying why), or a line saying there is none.
[[nodiscard]] std::wstring FormatBackupsText(const std::vector<BACKUP_ROW>& rows);
// {"backups": [{"name", "date", "file", "trusted", "reason"}...]}, newest first; "reason" is
// null for a trusted backup.
[[nodiscard]] std::string FormatBackupsJson(const std::vector<BACKUP_ROW>& rows);

// What a restore did: the registry file merged and confirmed (and deleted), or why not, with the
// first entry the registry does not hold as the file leaves it; the shortcuts moved back.
[[nodiscard]] std::wstring FormatRestoreText(std::wstring_view name, const RESTORE_RESULT& result);

}  // namespace qv
