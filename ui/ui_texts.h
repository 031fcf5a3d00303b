// The fixed texts of the windows: captions, labels, messages, formats and the window messages
// between the launcher and the main window. Spelled exactly as shown to the user; change none.
// What a person reads is in ui_texts.inc, in every language (base/language.h); the rest here
// never changes with the language.
#pragma once

#include <array>

#include "base/language.h"

namespace qv::ui {

#define QV_TEXT QV_TEXT_CONSTANT
#include "ui/ui_texts.inc"
#undef QV_TEXT
// Every text of ui_texts.inc, for the language tests.
inline constexpr UI_TEXT kUiTexts[] = {
#define QV_TEXT QV_TEXT_LIST_ITEM
#include "ui/ui_texts.inc"
#undef QV_TEXT
};

// ---- Main window ----
// The product's name in every language: the launcher finds the running instance's window by it.
inline constexpr wchar_t kMainCaption[] = L"Quarvelo";
inline constexpr wchar_t kSeparator[] = L"|";

// The scan status word.
inline constexpr wchar_t kStatusStartedScan[] = L"Started Scan";
inline constexpr wchar_t kStatusStartedFixing[] = L"Started Fixing";
inline constexpr wchar_t kStatusScanComplete[] = L"Scanning Complete!";
inline constexpr wchar_t kStatusScanCancelled[] = L"Scan cancelled by user";
inline constexpr wchar_t kStatusFixedErrors[] = L"Fixed Error(s)";

// The updater and the help page. The hosts are of the .example domain: the updater and the web
// pages are outside the program. Both addresses are https: the updater is told where to look for
// a new program, which an attacker on the network must not be able to answer.
inline constexpr wchar_t kUpdaterProgram[] = L"QuarveloUpdater.exe";
inline constexpr wchar_t kLauncherProgram[] = L"Quarvelo.exe";
inline constexpr wchar_t kUpdateEndpoint[] = L"https://update.quarvelo.example/up3/update12.php";
inline constexpr wchar_t kHelpAddress[] = L"https://www.quarvelo.example/help.php";
inline constexpr wchar_t kUpdaterCommandFormat[] = L"\"%s\" %s,%s";
inline constexpr wchar_t kUpdaterRectFormat[] = L"#%d,%d,%d,%d";
// The tail names who started the updater: the main window (its start-up check, the update link,
// the updates export) or the general settings page's "Check for Update".
inline constexpr wchar_t kUpdaterTailMainWindow[] = L"#h";
inline constexpr wchar_t kUpdaterTailSettingsPage[] = L"#v";
inline constexpr wchar_t kCloseSwitch[] = L"-c";
// Logged when "CLOSEAFTER" cannot start the launcher to close this instance.
inline constexpr wchar_t kCloseAfterWithoutLauncherLog[] =
    L"Quarvelo.exe could not be started to close the program after the repair; the window closes "
    L"itself";

// Messages a second launcher posts to the running instance's main window.
inline constexpr unsigned kMsgStartScanRequest = 1126;  // "-t"
inline constexpr unsigned kMsgShowRequest = 1127;       // otherwise

inline constexpr unsigned kScanEndPauseMs = 1700;
inline constexpr unsigned kEntryDisplayIntervalMs = 50;
inline constexpr int kProgressFull = 110;

inline constexpr wchar_t kNothingSelectedLog[] = L"Nothing is selected";
inline constexpr wchar_t kStartFixingLog[] = L"Start Fixing here";
// The further line of a row that names what its check tested and found missing (%1, the
// evidence in words); the uninstall template names the file already and has none.
inline constexpr wchar_t kRowEvidenceLine[] = L"<br>%1";
inline constexpr unsigned kAutoRepairDelayMs = 200;

// The names of the statistics page's category rows, in category order.
inline constexpr std::array<UI_TEXT, 11> kStatisticsRowNames = {
    kStatisticsRowCom,      kStatisticsRowUninstall, kStatisticsRowFonts,
    kStatisticsRowSharedDll, kStatisticsRowAppPaths, kStatisticsRowHelpFiles,
    kStatisticsRowStartup,  kStatisticsRowFilePaths, kStatisticsRowShortcuts,
    kStatisticsRowEmptyKeys, kStatisticsRowFileAssociations};

inline constexpr unsigned kRepairStartDelayMs = 1000;
inline constexpr unsigned kRepairDonePauseMs = 1000;

inline constexpr int kIgnoreColumnCategoryWidth = 110;
inline constexpr int kIgnoreColumnItemsWidth = 420;

inline constexpr int kBackupsColumnNameWidth = 279;
inline constexpr int kBackupsColumnDateWidth = 258;
inline constexpr int kBackupsColumnTrustWidth = 160;

inline constexpr int kStartupColumnStatusWidth = 45;
inline constexpr int kStartupColumnNameWidth = 110;
inline constexpr int kStartupColumnPathWidth = 120;
inline constexpr int kStartupColumnsFixedWidth = 275;  // the location takes the rest

}  // namespace qv::ui
