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
#include <string_view>

#include "engine/categories.h"
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

// ---- Buffer limits (names in characters including the NUL, data in bytes) ----
inline constexpr std::uint32_t kCheckKeyNameChars = 1024;
inline constexpr std::uint32_t kProgIdKeyNameChars = 1023;
inline constexpr std::uint32_t kCheckValueNameChars = 1024;
inline constexpr std::uint32_t kCheckValueDataBytes = 1024;
inline constexpr std::uint32_t kNamedValueBytes = 2048;
inline constexpr std::uint32_t kComValueBytes = 2046;

// Category 0: classes whose AppID names an unregistered application identifier, and ProgIDs
// whose CLSID names an unregistered class.
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

// Every value of root\subkey whose data names a missing local file or folder becomes a problem
// of the given type (key "<root's full name>\<subkey>", the value's name and data).
void CheckValueReferences(CRegistryCleaner& engine, RegHandle root, std::wstring_view subkey,
                          REGPROBLEM_TYPE type);

// Runs the check of a category index; true when that category has a check (0-5 now, the rest
// come later).
bool RunCategoryCheck(CRegistryCleaner& engine, int index);

}  // namespace qv
