// The category checks: each walks one area of the registry, reports every entry it examines to
// the engine (ReportEntryExamined), and hands each dangling reference it finds to AddProblem.
//
// Common rules of every check:
//  - keys are opened with read, set-value and create-subkey access (0x2001F) and closed before
//    the check moves on; nothing is ever written;
//  - enumerations run by index from 0 on one open handle and end at the first failing call, so
//    an item whose name or data does not fit the check's buffer ends the enumeration there, as it
//    does on Windows. The shared-DLL check is the exception for data: it reads only the value
//    names (the reference counts are never looked at) and passes no data buffer, so the 1,024-byte
//    data limit of the other value-by-value checks does not apply there, and a value with
//    oversized data does not hide the entries after it;
//  - cancel is tested after every successful enumeration; a set flag ends the check;
//  - a key or value that cannot be opened or read is passed over without a message.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/categories.h"
#include "engine/key_naming.h"
#include "engine/registry_problem.h"
#include "platform/registry.h"

namespace qv {

class CRegistryCleaner;

// ---- Registry locations, names and formats the checks use ----
inline constexpr std::wstring_view kClsidKey = L"CLSID";
inline constexpr std::wstring_view kAppIdValue = L"AppID";
inline constexpr std::wstring_view kAppIdKey = L"AppID";
inline constexpr std::wstring_view kDefaultValueProblemName = L"{Default}";
inline constexpr std::wstring_view kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr std::wstring_view kUninstallStringValue = L"UninstallString";
inline constexpr std::wstring_view kUserShellFoldersKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
inline constexpr std::wstring_view kShellFoldersKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::wstring_view kFontsValue = L"Fonts";
// The fonts folder under the Windows folder, where fonts are looked for when the user's Shell
// Folders key has no Fonts value.
inline constexpr std::wstring_view kWindowsFontsFolder = L"Fonts";
inline constexpr std::wstring_view kFontsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline constexpr std::wstring_view kSharedDllsKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline constexpr std::wstring_view kAppPathsKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
inline constexpr std::wstring_view kHelpKey = L"SOFTWARE\\Microsoft\\Windows\\HELP";
inline constexpr std::wstring_view kHtmlHelpKey = L"SOFTWARE\\Microsoft\\Windows\\HTML Help";

inline constexpr std::wstring_view kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::wstring_view kCommonProgramsValue = L"Common Programs";
inline constexpr std::wstring_view kMenuOrderKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs";
inline constexpr std::wstring_view kMenuOrder2Key =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";
inline constexpr std::wstring_view kOpenCommandSuffix = L"\\shell\\open\\command\\";
inline constexpr std::wstring_view kAllFilesPattern = L"\\*.*";
inline constexpr std::wstring_view kShortcutExtension = L".lnk";
inline constexpr std::wstring_view kSendToFolder = L"sendto";
// The program's own shortcut backups, as the path of the Windows XP data folder names them.
inline constexpr std::wstring_view kShortcutBackupMarker = L"Application Data\\Quarvelo\\Backup";
inline constexpr std::wstring_view kClassesMarker = L"Software\\Classes";
inline constexpr std::wstring_view kUserClassesMarker = L"_Classes";
inline constexpr std::wstring_view kDefaultUsersKey = L"HKEY_USERS\\.DEFAULT";
inline constexpr std::wstring_view kDefaultNameProblem = L"(Default)";

// Activity log lines of the walks and checks about registry content they pass over (%s: the key
// path, with the name for a name; a NUL character of a name is written as "\0").
inline constexpr std::wstring_view kNulNamePassedOverLog =
    L"Passed over %s: its name holds a NUL character";
inline constexpr std::wstring_view kDepthLimitLog =
    L"Not walked below %s: the registry is at most 512 levels deep";

// ---- Buffer limits (names in characters including the NUL, data in bytes) ----
inline constexpr std::uint32_t kCheckKeyNameChars = 1024;
inline constexpr std::uint32_t kProgIdKeyNameChars = 1023;
inline constexpr std::uint32_t kCheckValueNameChars = 1024;
inline constexpr std::uint32_t kCheckValueDataBytes = 1024;
inline constexpr std::uint32_t kNamedValueBytes = 2048;
inline constexpr std::uint32_t kComValueBytes = 2046;
inline constexpr std::uint32_t kWalkKeyNameChars = 1023;    // File/Path, empty-key, associations
inline constexpr std::uint32_t kWalkValueDataBytes = 2048;  // File/Path walk
// The File/Path walk judges only string data longer than this (four characters and the NUL).
inline constexpr std::uint32_t kFileReferenceMinBytes = 10;

// The checks of categories 0, 1, 3, 5 and 6 examine both registry views of a 64-bit Windows:
// their keys in the 64-bit view first, then the same keys in the 32-bit view (below
// HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node, HKEY_CLASSES_ROOT\Wow6432Node) where the machine
// has one. Problems of the 32-bit view carry their real key path (...\Wow6432Node\...), and a
// path found there is judged as a 32-bit program resolves it (CPathView). The keys both views
// share (fonts, application paths, the user's Run key, the ProgIDs of the classes root) are
// examined once.

// Category 0: classes whose AppID names an unregistered application identifier, and ProgIDs
// whose CLSID names a class registered in neither view they may use.
void CheckComObjects(CRegistryCleaner& engine);
// Category 1: uninstall entries whose uninstaller is missing from a local drive.
void CheckUninstallEntries(CRegistryCleaner& engine);
// Category 2: registered fonts whose file is in none of the font folders.
void CheckFonts(CRegistryCleaner& engine);
// Category 3: shared-DLL reference counts of files that are gone. Reads value names only: a
// value's data, whatever its size, neither counts nor ends the enumeration.
void CheckSharedDlls(CRegistryCleaner& engine);
// Category 4: application paths that name a missing program.
void CheckAppPaths(CRegistryCleaner& engine);
// Category 5: help-file folders that are gone.
void CheckHelpFiles(CRegistryCleaner& engine);

// Category 6: Run entries of the machine (both views) and the user that name a missing program,
// and Start menu ordering entries whose folder is in neither Programs folder.
void CheckStartup(CRegistryCleaner& engine);
// Category 7: string values anywhere below HKEY_LOCAL_MACHINE and HKEY_USERS that name a missing
// local file or folder; below a key named Wow6432Node, as a 32-bit program resolves them.
void CheckFileReferences(CRegistryCleaner& engine);
// Category 8: shortcut files on the drive of the user profiles whose target is gone.
void CheckShortcuts(CRegistryCleaner& engine);
// Category 9: keys below HKEY_USERS with neither subkeys nor values.
void CheckEmptyKeys(CRegistryCleaner& engine);
// Category 10: file-name extensions whose class's open command names a missing program.
void CheckFileAssociations(CRegistryCleaner& engine);

// The menu-order check of one key: every subkey E of HKEY_CURRENT_USER\<menuOrderKey> whose
// folder is neither <commonPrograms>\E nor <the user's Programs folder>\E.
void CheckMenuOrder(CRegistryCleaner& engine, std::wstring_view menuOrderKey,
                    std::wstring_view commonPrograms);
// The File/Path walk of root\subkey (shown as `display`) and everything below it: every key
// opened with full access without following a link (a key that refuses is passed over with its
// subtree). A key named exactly Wow6432Node (any case) is the 32-bit view: the values below it,
// or below a subkey path that passes through one, are judged as a 32-bit program resolves them.
// No key more than kMaxRegistryDepth levels below root\subkey is entered.
void WalkFileReferences(CRegistryCleaner& engine, RegHandle root, std::wstring_view subkey,
                        std::wstring_view display);
// A path that names something through the network or a device rather than a drive's folders:
// a UNC path (\\server\share, //server/share, \/server), a Win32 device or long path (\\.\...,
// \\?\...) or an object-manager path (\??\...).
[[nodiscard]] bool IsNetworkOrDevicePath(std::wstring_view path);
// The shortcut walk from a search pattern ("C:\*.*"), depth first.
void WalkShortcuts(CRegistryCleaner& engine, std::wstring_view pattern);
// False only for a shortcut whose file target the shell link object gives and that is not
// there (*target, when given, then holds that target as tested); a shortcut it cannot read, or
// one without a file target, counts as fine. So does one whose target, as stored or after
// CleanPath, is a network or device path (IsNetworkOrDevicePath): it is never looked at, as
// asking for it would make this process reach out to that host with its own credentials.
[[nodiscard]] bool ShortcutTargetExists(CRegistryCleaner& engine, std::wstring_view path,
                                        std::wstring* target = nullptr);
// The empty-key walk of parent\name (the parent shown as `display`), `depth` levels below where
// the walk started (it descends no further than kMaxRegistryDepth); true when that key was
// reported.
bool WalkEmptyKeys(CRegistryCleaner& engine, RegHandle parent, std::wstring_view name,
                   std::wstring_view display, int depth = 0);

// Every value of root\subkey whose data names a missing local file or folder becomes a problem
// of the given type (key "<root's full name>\<subkey>", the value's name and data). The subkey
// is the key's real path in its view; the data is judged as a program of that view resolves it.
void CheckValueReferences(CRegistryCleaner& engine, RegHandle root, std::wstring_view subkey,
                          REGPROBLEM_TYPE type, REGISTRY_VIEW view = VIEW_64BIT);

// The judgements of one entry that the COM and file-association checks make of every entry they
// enumerate, each giving the entry's problem (with its evidence) or null when the entry is fine.
// The repair makes them again of the entries its changes touched (engine/repair_chains.h).
//  - a class of the hive's view (`classId` below its CLSID key) whose AppID value is `appId`;
//  - a ProgID of the hive's view whose CLSID default value is `classId`;
//  - a file-name extension of the hive whose default value names the type `typeName`: judged by
//    the type's open command as HKEY_CLASSES_ROOT shows it;
//  - a key named by its full path below HKEY_USERS, as the empty-key walk judges it (never a hive,
//    nothing below HKEY_USERS\.DEFAULT, no classes key; opened without following a link).
[[nodiscard]] std::unique_ptr<CRegistryProblem> JudgeClassAppId(CRegistryCleaner& engine,
                                                                const CLASSES_HIVE& hive,
                                                                REGISTRY_VIEW view,
                                                                std::wstring_view classId,
                                                                std::wstring_view appId);
[[nodiscard]] std::unique_ptr<CRegistryProblem> JudgeProgIdClass(CRegistryCleaner& engine,
                                                                 const CLASSES_HIVE& hive,
                                                                 REGISTRY_VIEW view,
                                                                 std::wstring_view progId,
                                                                 std::wstring_view classId);
[[nodiscard]] std::unique_ptr<CRegistryProblem> JudgeFileType(CRegistryCleaner& engine,
                                                              const CLASSES_HIVE& hive,
                                                              std::wstring_view extension,
                                                              std::wstring_view typeName);
[[nodiscard]] std::unique_ptr<CRegistryProblem> JudgeEmptyKey(CRegistryCleaner& engine,
                                                              std::wstring_view keyText);

// Runs the check of a category index; true for 0-10 (every category has its check).
bool RunCategoryCheck(CRegistryCleaner& engine, int index);

}  // namespace qv
