// The fixed texts of the startup manager: where programs that start with Windows are found, the
// location texts the list shows, the system's own on/off switches of those entries, and the
// records of disabled entries in the System Configuration Utility's own format (its keys and
// value names), so that either tool can enable what the other disabled. Spelled exactly as
// stored; change none of them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/registry.h"
#include "tools/tool_texts.h"

namespace qv {

// The Run keys' common parent under their root. A location text of a root, "/" and a name that
// is not one of the Run keys below names the key this followed by the name (as a record's "key"
// value is made).
inline constexpr std::wstring_view kStartupRunKeyParent =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\";
// Separates the root from the rest in a registry entry's location text; a location text without
// it is a Startup folder's.
inline constexpr wchar_t kStartupLocationSeparator = L'/';

// The keys of the system's startup approval values (Windows 8 and later: Task Manager's and
// Settings' on/off switches), below kStartupApprovedKey of the same root as the entry: Run for
// the Run key, Run32 for the machine's 32-bit Run key, StartupFolder for the Startup folders'
// shortcuts (HKEY_CURRENT_USER's for the user's folder, HKEY_LOCAL_MACHINE's for the common
// one). A value is named after the Run value, or after the shortcut's file name with its
// extension. RunOnce keys have none. Forms: docs/windows-startup.md.
inline constexpr std::wstring_view kStartupApprovedKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
inline constexpr std::wstring_view kApprovedRun = L"Run";
inline constexpr std::wstring_view kApprovedRun32 = L"Run32";
inline constexpr std::wstring_view kApprovedStartupFolder = L"StartupFolder";
// A value of another type or shorter than this is not one of the system's and is left alone: a
// status of four bytes (little-endian), then the time the entry was switched off (a FILETIME,
// zero while it is on).
inline constexpr std::uint32_t kApprovalValueBytes = 12;
inline constexpr std::uint32_t kApprovalStatusBytes = 4;
// The statuses known to switch the entry on and off; a disabled one is an enabled one with the
// lowest bit set (2 and 3, 6 and 7). Any other status is left alone and the entry listed as it
// would run without the value.
inline constexpr std::array<std::uint32_t, 3> kApprovalEnabledStatuses = {0, 2, 6};
inline constexpr std::array<std::uint32_t, 2> kApprovalDisabledStatuses = {3, 7};
inline constexpr std::uint32_t kApprovalOffBit = 1;

struct STARTUP_RUN_KEY {
  RegHandle root;
  std::wstring_view keyPath;      // under the root
  std::wstring_view location;     // the location text
  std::wstring_view approvalKey;  // below kStartupApprovedKey; empty: the key has no switches
};

// The Run keys, in the order the list shows them. The 32-bit one is where 32-bit programs on a
// 64-bit Windows keep their machine-wide entries; this 64-bit program reaches it by its path.
inline constexpr std::array<STARTUP_RUN_KEY, 5> kStartupRunKeys = {{
    {kHkeyCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
     L"HKEY_CURRENT_USER/Run", kApprovedRun},
    {kHkeyCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
     L"HKEY_CURRENT_USER/RunOnce", L""},
    {kHkeyLocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
     L"HKEY_LOCAL_MACHINE/Run", kApprovedRun},
    {kHkeyLocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
     L"HKEY_LOCAL_MACHINE/RunOnce", L""},
    {kHkeyLocalMachine, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
     L"HKEY_LOCAL_MACHINE/Run32", kApprovedRun32},
}};

// The two Startup folders, read from the registry (the value of this key under HKCU for the
// user's, under HKLM for the common one); the value name is also the location text.
inline constexpr std::wstring_view kShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::wstring_view kLocationStartup = L"Startup";
inline constexpr std::wstring_view kLocationCommonStartup = L"Common Startup";
inline constexpr std::wstring_view kShortcutPattern = L"*.lnk";
inline constexpr std::wstring_view kShortcutExtension = L".lnk";

// The records of disabled entries, under HKEY_LOCAL_MACHINE: one subkey per entry, named by the
// Run value's name, or by the shortcut's full path with every backslash replaced by a caret.
inline constexpr std::wstring_view kStartupRegRecords =
    L"SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
inline constexpr std::wstring_view kStartupFolderRecords =
    L"SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupfolder";
inline constexpr wchar_t kRecordPathSeparator = L'^';
// Values of a record (REG_SZ with their terminating zero). Both kinds: item (the name) and
// command. A registry entry's: hkey (the root's name, "HKEY_CURRENT_USER"; "HKCU" and "HKLM" are
// read too) and key (the Run key's path under the root). A shortcut's: location ("Startup" or
// "Common Startup"), path (where the shortcut was) and backup (where it is now).
inline constexpr std::wstring_view kRecordItem = L"item";
inline constexpr std::wstring_view kRecordCommand = L"command";
inline constexpr std::wstring_view kRecordHkey = L"hkey";
inline constexpr std::wstring_view kRecordKey = L"key";
inline constexpr std::wstring_view kRecordLocation = L"location";
inline constexpr std::wstring_view kRecordPath = L"path";
inline constexpr std::wstring_view kRecordBackup = L"backup";
// Ours, beside the utility's values: a Run value of type REG_EXPAND_SZ keeps its type here
// (REG_DWORD 2), so that enabling writes it back expandable ("%ProgramFiles%\..." would not
// start as a plain string). A record without it is written back as REG_SZ.
inline constexpr std::wstring_view kRecordValueType = L"type";
// A disabled shortcut is kept in this folder of the Windows folder, as its file name with
// extension followed by its location text (Tool.lnkStartup).
inline constexpr std::wstring_view kShortcutBackupFolder = L"pss";

// Buffer limits (as the system's fixed buffers): Run values are enumerated with a name buffer of
// 1024 characters (names up to 1023) and a data buffer of 1024 bytes; a value that does not fit
// is passed over and the enumeration goes on (stopping there would hide every entry after it);
// record values are read into 1024 bytes each.
inline constexpr std::uint32_t kRunValueNameChars = 1024;
inline constexpr std::uint32_t kRunValueDataBytes = 1024;
inline constexpr std::uint32_t kRecordValueBytes = 1024;
// Our own limits: a record's subkey name, and a Startup folder's path value.
inline constexpr std::uint32_t kRecordNameChars = 1024;
inline constexpr std::uint32_t kFolderPathBytes = 2048;
// Activity log line for a Run value or record whose name holds a NUL character (%s: the key path
// and the name, a NUL written as "\0"): it is not listed.
inline constexpr std::wstring_view kStartupNulNameLog =
    L"Passed over %s: its name holds a NUL character";
// The pause between writing a Run value back and deleting its record.
inline constexpr std::uint32_t kEnableSettleMilliseconds = 10;

// The Status column's texts are kStartupStatusOn and kStartupStatusOff of tool_texts.h.

}  // namespace qv
