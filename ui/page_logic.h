// What the pages show, worked out without a window: the texts of the scan and results lists, the
// health summary of the options page, the statistics verdict and the updater's command line.
// The pages in ui/win32/ only put these into their controls.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/category_table.h"
#include "engine/registry_problem.h"

namespace qv::ui {

// Who started a scan or a repair: the user (a button, the repair link) or the program itself
// (the scan of "-t", the repair of "AUTOREPAIR"). What the program does by itself never waits
// for an answer: it logs what it would have asked or said.
enum class STARTED_BY { kUser, kItself };

// The entry label of the scan page: the root names abbreviated (HKLM, HKCU, HKCR, HKU, in this
// order); a text longer than 75 characters keeps its first 36 and last 36 around "...".
inline constexpr std::size_t kEntryLabelMaxChars = 75;
inline constexpr std::size_t kEntryLabelKeptChars = 36;
[[nodiscard]] std::wstring AbbreviateEntryPath(std::wstring_view path);

// The key path as a list row shows it: "/" between its parts, and a blank before the part that
// takes the text past 70, 140, ... characters, so the row can wrap there.
inline constexpr std::size_t kDisplayKeyWrapChars = 70;
[[nodiscard]] std::wstring DisplayKeyPath(std::wstring_view keyPath);

// "%1".."%9" of the template replaced by the arguments (a number without an argument becomes
// nothing); every other character is copied.
[[nodiscard]] std::wstring FormatNumbered(std::wstring_view format,
                                          std::initializer_list<std::wstring_view> args);
// The format with its one "%d" or "%lld" replaced by the number.
[[nodiscard]] std::wstring FormatCount(std::wstring_view format, std::int64_t number);

// How the windows write a count: in decimal, unless the library has given the user's locale's
// way (ui/win32/locale_format.h), which DisplayCount then uses in place of FormatCount's.
using NUMBER_TEXT = std::wstring (*)(std::int64_t number);
void SetDisplayNumbers(NUMBER_TEXT numberText);
[[nodiscard]] std::wstring DisplayNumber(std::int64_t number);
[[nodiscard]] std::wstring DisplayCount(std::wstring_view format, std::int64_t number);

// The markup of a problem's row in the scan and results lists, by its category's template; then,
// except for the uninstall template (which names the file), a line with the problem's evidence
// when it has one; with additional items found under the key, a line saying how many. The
// problem's key, name, data and evidence are put in through EscapeMarkup: they show as stored
// and add no markup.
[[nodiscard]] std::wstring BuildProblemRowText(const CRegistryProblem& problem);

// The options page's summary of the last scan: "Good" only when nothing found is left unrepaired
// (every error found is fixed, or none was found).
enum class HEALTH_PICTURE { kNeverScanned, kGood, kBad };
struct HEALTH_SUMMARY {
  std::wstring_view word;    // "Normal", "Good", "Bad"
  std::wstring_view advice;
  HEALTH_PICTURE picture = HEALTH_PICTURE::kNeverScanned;
  bool repairLink = false;   // "Click to repair now" is shown
};
[[nodiscard]] HEALTH_SUMMARY SummarizeHealth(std::wstring_view lastScanText, std::int64_t errors,
                                             std::int64_t fixed);

// The statistics page's verdict. After a repair (cleaned or notFixed above 0), it is "All
// identified registry error(s) are fixed." only when every entry the repair was to repair is gone
// (notFixed 0), none found is left unselected (found less the ignored ones, all cleaned) and the
// repair removed something (`changed`); otherwise it says how many of them are fixed and how many
// not, or that nothing was removed.
enum class VERDICT_PICTURE { kUnchanged, kGood, kBad };
struct STATISTICS_VERDICT {
  std::wstring text;  // status heading and text (empty before any scan)
  VERDICT_PICTURE picture = VERDICT_PICTURE::kUnchanged;
  bool fixButton = false;
};
[[nodiscard]] STATISTICS_VERDICT StatisticsVerdict(std::wstring_view lastScanText,
                                                   std::int64_t found, std::int64_t cleaned,
                                                   std::int64_t ignored = 0,
                                                   std::int64_t notFixed = 0,
                                                   bool changed = true);

// The scan page's progress range: the weights of the enabled categories added up.
[[nodiscard]] int ScanProgressTotal(const CATEGORY_TABLE& table);

// Who starts the updater: the main window (its start-up check, the update link, the updates
// export) passes its client area, the general settings page's "Check for Update" the page.
enum class UPDATER_ORIGIN { kMainWindow, kSettingsPage };
// The updater's command line: "\"<updater>\" <endpoint>,<version>,<launcher>#l,t,r,b" and the
// origin's tail, "#h" for the main window and "#v" for the settings page. The rectangle is in
// screen coordinates.
[[nodiscard]] std::wstring UpdaterCommandLine(std::wstring_view updaterPath,
                                              std::wstring_view launcherPath,
                                              std::wstring_view version, int left, int top,
                                              int right, int bottom, UPDATER_ORIGIN origin);

// What "Fix Errors" and the options page's repair link do with the last scan's problems (none:
// null): nothing when there are none; with none of them ticked, log "Nothing is selected" and
// say "Please select at least one item"; otherwise repair.
enum class FIX_DECISION { kNothing, kNothingSelected, kRepair };
[[nodiscard]] FIX_DECISION DecideFix(const CProblemList* problems);

}  // namespace qv::ui
