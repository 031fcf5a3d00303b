// The fixed texts of the persistent state: the product name, the names of the values kept under
// the product key, the data-folder names, and the formats of the log and of the last-scan text.
// Every one is spelled exactly as stored on disk or in the registry; change none of them. What a
// person reads of the state is in state_texts.inc, in every language (base/language.h).
#pragma once

#include "base/language.h"

namespace qv {

#define QV_TEXT QV_TEXT_CONSTANT
#include "state/state_texts.inc"
#undef QV_TEXT
// Every text of state_texts.inc, for the language tests.
inline constexpr UI_TEXT kStateTexts[] = {
#define QV_TEXT QV_TEXT_LIST_ITEM
#include "state/state_texts.inc"
#undef QV_TEXT
};

// The product's key name under SOFTWARE in HKEY_LOCAL_MACHINE; also the data folder's name and
// the caption of every message box.
inline constexpr wchar_t kProductName[] = L"Quarvelo";
inline constexpr wchar_t kSoftwareKey[] = L"SOFTWARE\\";
inline constexpr wchar_t kLocalMachineName[] = L"HKEY_LOCAL_MACHINE\\";

// Values under the product key (all REG_SZ holding decimal text unless stated).
inline constexpr wchar_t kValueCloseAfter[] = L"CLOSEAFTER";
inline constexpr wchar_t kValueAutoRepair[] = L"AUTOREPAIR";
inline constexpr wchar_t kValueRestorePoint[] = L"RESTOREPOINT";
inline constexpr wchar_t kValueAutoUpdates[] = L"AUTOUPDATES";
inline constexpr wchar_t kValueAutoUpdatesAlias[] = L"AutoUpdates";  // the same value
inline constexpr wchar_t kValuePrompt[] = L"PROMPT";
inline constexpr wchar_t kValueSplash[] = L"Splash";
inline constexpr wchar_t kValueLastScan[] = L"lastScan";       // written by the scan driver
inline constexpr wchar_t kValueLastScanRead[] = L"LastScan";   // the same value, as read back
inline constexpr wchar_t kValueEntriesScanned[] = L"itscanned";
inline constexpr wchar_t kValueTotalFixed[] = L"TFixed";
// Ours: whether a repair also repairs what it uncovers (1) or leaves it for the next scan (0).
inline constexpr wchar_t kValueRepairUncovered[] = L"REPAIRUNCOVERED";
// Ours: of the last repair since the last scan, how many of the entries it was to repair are
// still there (failed, or back when looked at again), and how many registry entries it deleted
// and shortcuts it moved; both 0 after a scan.
inline constexpr wchar_t kValueTotalNotFixed[] = L"TNotFixed";
inline constexpr wchar_t kValueTotalChanged[] = L"TChanged";
// Per category: the category's name is the enabled switch, these letters prefix the counts.
inline constexpr wchar_t kFoundCountPrefix[] = L"E";
inline constexpr wchar_t kFixedCountPrefix[] = L"F";

// Defaults of the values above when absent or unreadable.
inline constexpr int kDefaultCloseAfter = 0;
inline constexpr int kDefaultAutoRepair = 0;
inline constexpr int kDefaultRestorePoint = 1;
inline constexpr int kDefaultAutoUpdates = 1;
inline constexpr int kDefaultPrompt = 1;
inline constexpr int kDefaultSplash = 1;
inline constexpr int kDefaultRepairUncovered = 1;
inline constexpr int kDefaultEntriesScanned = 0;
inline constexpr int kDefaultCategoryEnabled = 1;
inline constexpr int kDefaultCategoryFound = 0;
inline constexpr int kDefaultCategoryFixed = 0;

// The scan start time as stored in "lastScan", and the text stored when there was none (shown as
// kNeverScanned).
inline constexpr wchar_t kLastScanFormat[] = L"%d-%m-%Y %H:%M:%S";
inline constexpr wchar_t kNoLastScan[] = L"-1";
inline constexpr wchar_t kAm[] = L"AM";
inline constexpr wchar_t kPm[] = L"PM";

// The product data folder: common application data, the product name, then one of these.
inline constexpr wchar_t kBackupSubfolder[] = L"Backup";
inline constexpr wchar_t kLogSubfolder[] = L"LOGS";
// The shortcut folders a repair makes in the backup folder ("QuarveloBak_<stamp>").
inline constexpr wchar_t kShortcutFolderPattern[] = L"QuarveloBak_*";

// The activity log: one file per run, named from the local time of the first log call.
inline constexpr wchar_t kLogFilePrefix[] = L"\\LOGS_";
inline constexpr wchar_t kLogFileTimeFormat[] = L"%m_%d_%Y_%H_%M_%S_%p";
inline constexpr wchar_t kLogFileExtension[] = L".log";
// Each line: this prefix (24-hour hour and the AM/PM marker both), then the message.
inline constexpr wchar_t kLogLineTimeFormat[] = L"%m/%d/%Y %H:%M:%S %p:";

// A folder that is not trusted (state_texts.inc says why) is renamed: its name, then this (local
// time of the start).
inline constexpr wchar_t kMovedAsideSuffixFormat[] = L".untrusted-%Y-%m-%d_%H-%M-%S";

}  // namespace qv
