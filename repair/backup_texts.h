// The fixed texts of the repair backups: file names, headers, section and value-line formats,
// and what the backups page logs. Each is spelled exactly as written to disk or to the log; the
// backups page and the restore read the same names, so change none of them.
#pragma once

namespace qv {

// Registry backup file, one per repair, in the backup folder; named from the local time.
inline constexpr wchar_t kRegBackupNameFormat[] = L"RCBak_%B_%d_%y_%H_%M_%S.reg";
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
inline constexpr wchar_t kBackupShortcutListFormat[] = L"%s.bak";
inline constexpr wchar_t kRestoringBackupLogFormat[] = L"Restoring backup file %s";
inline constexpr wchar_t kRemovedBackupLogFormat[] = L"Removed Backup file %s";
// Logged with its trailing blank; the page's message box shows the text without it.
inline constexpr wchar_t kBackupsDeletedLog[] =
    L"Succesfully, Selected Backup files has been deleted ";
// Ours: the files that could not be deleted, told once after the deletion, one line each.
inline constexpr wchar_t kBackupsNotDeletedMessage[] =
    L"These backup files could not be deleted:\n";
inline constexpr wchar_t kBackupNotDeletedLineFormat[] = L"\n%s (error %s)";

}  // namespace qv
