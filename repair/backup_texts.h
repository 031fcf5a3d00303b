// The fixed texts of the repair backups: file names, headers, section and value-line formats,
// and what the backups page logs. Each is spelled exactly as written to disk or to the log; the
// backups page and the restore read the same names, so change none of them.
#pragma once

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
// Ours: why a restore left a line of a shortcut list alone (nothing is moved for it, and the list
// is kept). A restore only moves back what a repair moved: a shortcut (.lnk) from this backup's
// own shortcut folder to a plain path whose folders are no junctions or symbolic links.
inline constexpr wchar_t kShortcutLineNotTwoPaths[] = L"the line does not hold exactly two paths";
inline constexpr wchar_t kShortcutLineCopyElsewhere[] =
    L"its moved copy is not in this backup's shortcut folder";
inline constexpr wchar_t kShortcutLineNotShortcut[] = L"a name does not end in .lnk";
inline constexpr wchar_t kShortcutLineNotPlainPath[] =
    L"the path it would go back to is no plain full path on a drive";
inline constexpr wchar_t kShortcutLineThroughLink[] =
    L"a folder on the way back is a junction or symbolic link";
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
// Ours: the files that could not be deleted, told once after the deletion, one line each.
inline constexpr wchar_t kBackupsNotDeletedMessage[] =
    L"These backup files could not be deleted:\n";
inline constexpr wchar_t kBackupNotDeletedLineFormat[] = L"\n%s (error %s)";

// Ours: a backup whose files are not trusted is listed with this (the reason, then the file).
inline constexpr wchar_t kBackupNotTrustedFormat[] = L"not trusted: %s (%s)";
// What a merged registry backup holds once merged while some of its shortcuts could not go back:
// the header (kRegHeaderVersion4), an empty line, then this comment; nothing to merge again.
inline constexpr wchar_t kMergedRegistryFileComment[] =
    L"; Merged back into the registry. Some shortcuts of this backup could not be moved back:\n"
    L"; restore it again to move them, or delete it.\n";

// Ours: a restore that did not finish, told once afterwards. The heading, then a paragraph per
// failure (each begins with its own empty line).
inline constexpr wchar_t kRestoreIncompleteHeading[] =
    L"The backup could not be restored completely.";
inline constexpr wchar_t kRestoreMergedLine[] = L"\n\nThe registry was merged back.";
inline constexpr wchar_t kRestoreNotTrustedFormat[] =
    L"\n\n%s is not trusted: %s. Nothing of the backup was merged or moved back.";
inline constexpr wchar_t kRestoreListNotTrustedFormat[] =
    L"\n\nIts shortcut list %s is not trusted: %s. No shortcut was moved back; they are in %s.";
inline constexpr wchar_t kRestoreShortcutsNotTrustedFormat[] =
    L"\n\n%s moved shortcut file(s) in %s are not trusted (a link, or a file of another account) "
    L"and were not moved back.";
inline constexpr wchar_t kRestoreNoRegistryFileFormat[] =
    L"\n\nIts registry file %s is missing: nothing was merged.";
inline constexpr wchar_t kRestoreNotMergedFormat[] =
    L"\n\nThe registry editor did not merge %s: %s is not as the backup leaves it. The backup is "
    L"kept.";
inline constexpr wchar_t kRestoreMismatchValueFormat[] = L" value \"%s\"";
inline constexpr wchar_t kRestoreEditorFailedFormat[] =
    L"\n\nThe registry editor could not merge %s (error %s). The backup is kept.";
inline constexpr wchar_t kRestoreListUnreadableFormat[] =
    L"\n\nIts shortcut list could not be read (error %s); its shortcuts are in %s. The backup "
    L"stays listed.";
inline constexpr wchar_t kRestoreShortcutLeftFormat[] =
    L"\n\n%s shortcut could not be moved back (a file is in its place, or it cannot be moved): it "
    L"is in %s. The backup stays listed: restore it again once it can go back.";
// Lines of the shortcut list a restore did not use: the count and the list's path, then one line
// each (the list's line, the reason), at most kRestoreLeftAloneShown of them, then the number
// of the others.
inline constexpr wchar_t kRestoreLineLeftAloneFormat[] =
    L"\n\n%s line of the shortcut list %s was left alone; the list is kept:";
inline constexpr wchar_t kRestoreLinesLeftAloneFormat[] =
    L"\n\n%s lines of the shortcut list %s were left alone; the list is kept:";
inline constexpr wchar_t kRestoreLeftAloneItemFormat[] = L"\n%s (%s)";
inline constexpr wchar_t kRestoreLeftAloneMoreFormat[] = L"\n... and %s more";
inline constexpr unsigned kRestoreLeftAloneShown = 10;
inline constexpr wchar_t kRestoreShortcutsLeftFormat[] =
    L"\n\n%s shortcuts could not be moved back (a file is in their place, or they cannot be "
    L"moved): they are in %s. The backup stays listed: restore it again once they can go back.";

}  // namespace qv
