// The fixed texts of the repair backups: file names, headers, section and value-line formats,
// and what the backups page logs. Each is spelled exactly as written to disk or to the log; the
// backups page and the restore read the same names, so change none of them. What a person reads
// of the backups is in repair_texts.inc, in every language.
#pragma once

#include "repair/repair_texts.h"

namespace qv {

// Registry backup file, one per repair, in the backup folder; named from the local time.
inline constexpr wchar_t kRegBackupNameFormat[] = L"RCBak_%B_%d_%y_%H_%M_%S.reg";
// The names' beginnings: a repair's registry backup (RCBak_<stamp>) and what shares its stamp,
// its shortcut folder and list (QuarveloBak_<stamp>, QuarveloBak_<stamp>.bak); a full backup is
// QuarveloBak_<stamp>.reg.
inline constexpr wchar_t kRepairBackupPrefix[] = L"RCBak";
inline constexpr wchar_t kShortcutBackupPrefix[] = L"QuarveloBak";
// Shortcut backups: the stamp from the local time, then the folder and its list file.
inline constexpr wchar_t kShortcutStampFormat[] = L"_%B_%d_%y_%H_%M_%S";
inline constexpr wchar_t kShortcutFolderFormat[] = L"%s\\QuarveloBak%s";
inline constexpr wchar_t kShortcutListFormat[] = L"%s\\QuarveloBak%s.bak";
inline constexpr wchar_t kShortcutListExtension[] = L".bak";
// A moved shortcut whose file name is already taken in the backup folder: name, number (2, 3...),
// extension ("Old (2).lnk").
inline constexpr wchar_t kShortcutNumberedNameFormat[] = L"%s (%s)%s";
// One line of the shortcut list: source path, new path.
inline constexpr wchar_t kShortcutListLineFormat[] = L"%s,%s\n";
// The activity log's line for such a line: the line, then the reason.
inline constexpr wchar_t kShortcutLineLeftLogFormat[] = L"Shortcut list line left alone: %s (%s)";

// The first line of a registry backup file. Windows 2000, XP and Server 2003 (NT 5.0-5.2) get the
// 5.00 header, every other version the older one. A file in the editor's Unicode form always
// carries the 5.00 header.
inline constexpr wchar_t kRegHeaderVersion5[] = L"Windows Registry Editor Version 5.00";
inline constexpr wchar_t kRegHeaderVersion4[] = L"REGEDIT4";

// Sections and value lines.
inline constexpr wchar_t kSectionHeadFormat[] = L"\n\n[%s]\n";
inline constexpr wchar_t kValueSectionFormat[] = L"\n\n[%s]\n%s\n";
inline constexpr wchar_t kNamedValueFormat[] = L"\"%s\"=%s";
inline constexpr wchar_t kDefaultValuePrefix[] = L"@=";
inline constexpr wchar_t kDeleteValueData[] = L"-";

// Data texts.
inline constexpr wchar_t kDwordPrefix[] = L"dword:";
inline constexpr wchar_t kBinaryPrefix[] = L"hex:";
inline constexpr wchar_t kTypedHexPrefixOpen[] = L"hex(";
inline constexpr wchar_t kTypedHexPrefixClose[] = L"):";
// Inserted into a long byte list: backslash, line end, one blank.
inline constexpr wchar_t kByteListContinuation[] = L"\\\n ";

// The backups page's log lines and the files of one listed backup ("<folder>\\<name>" followed
// by one of the two extensions); what the page shows is with the windows' texts.
inline constexpr wchar_t kBackupRegistryFileFormat[] = L"%s.reg";
inline constexpr wchar_t kRegFileExtension[] = L".reg";
inline constexpr wchar_t kBackupShortcutListFormat[] = L"%s.bak";
inline constexpr wchar_t kRestoringBackupLogFormat[] = L"Restoring backup file %s";
inline constexpr wchar_t kRemovedBackupLogFormat[] = L"Removed Backup file %s";
// Logged with its trailing blank; the page's message box shows the text without it.
inline constexpr wchar_t kBackupsDeletedLog[] =
    L"Succesfully, Selected Backup files has been deleted ";

// What a merged registry backup holds once merged while some of its shortcuts could not go back:
// the header (kRegHeaderVersion4), an empty line, then this comment; nothing to merge again.
inline constexpr wchar_t kMergedRegistryFileComment[] =
    L"; Merged back into the registry. Some shortcuts of this backup could not be moved back:\n"
    L"; restore it again to move them, or delete it.\n";

inline constexpr unsigned kRestoreLeftAloneShown = 10;

}  // namespace qv
