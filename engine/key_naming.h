// How the system writes registry keys as text: the root's full name, a backslash, then the
// subkey path with backslash separators (HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\...). The empty
// subkey path denotes the root itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qv {

// The full name of a predefined root; the empty text for any other handle.
[[nodiscard]] std::wstring_view RootKeyName(RegHandle root);

struct PARSED_KEY_PATH {
  RegHandle root = kNullRegHandle;  // null: the text names no known root
  // Position of the subkey path in the text; 0 when there is none (the key is the root itself).
  std::size_t subkeyOffset = 0;
};

// Splits key-path text into its root and the position of its subkey path.
//
// The root name is the text before the first backslash or forward slash, looked at within the
// first 31 characters of the text, with leading and trailing blanks removed, in any case; it may
// be a full name (HKEY_LOCAL_MACHINE) or an abbreviation (HKLM, HKCR, HKCU, HKU, HKPD, HKCC,
// HKDD). A root segment that runs on past those 31 characters with anything but blanks names no
// root. The subkey path starts right after the separator, provided at least one character
// follows it; otherwise the offset is 0.
[[nodiscard]] PARSED_KEY_PATH ParseRootKey(std::wstring_view keyPath);

// The subkey path of a parsed key-path text (empty when the offset is 0).
[[nodiscard]] std::wstring_view SubkeyPath(std::wstring_view keyPath, const PARSED_KEY_PATH& parsed);

// ---- The two views of the registry on 64-bit Windows ----
//
// A 64-bit program (this one) sees the 64-bit view at the ordinary paths. The 32-bit view, where
// 32-bit programs keep what Windows redirects (the machine's software keys, COM classes), lies
// below keys named Wow6432Node: HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node for the software keys,
// HKEY_CLASSES_ROOT\Wow6432Node for the classes. A key of the 32-bit view is named by that real
// path, so every part of the program that works on key paths works on it unchanged. A 32-bit
// Windows has no such keys.
enum REGISTRY_VIEW : int { VIEW_64BIT = 0, VIEW_32BIT = 1 };

inline constexpr std::wstring_view kWow64NodeName = L"Wow6432Node";

// Whether a key name is the 32-bit view's node: exactly "Wow6432Node", compared as registry
// names compare (without case). "Wow6432NodeLike" is an ordinary key.
[[nodiscard]] bool IsWow64Node(std::wstring_view keyName);
// Whether a subkey path passes through such a key (any of its elements is one).
[[nodiscard]] bool PassesWow64Node(std::wstring_view subkeyPath);

// A key of the machine's software (a path below HKEY_LOCAL_MACHINE whose first element is
// SOFTWARE, in any case) in the view: the 32-bit view's has Wow6432Node after that first element.
[[nodiscard]] std::wstring SoftwareKeyInView(std::wstring_view softwareKey, REGISTRY_VIEW view);
// A key below HKEY_CLASSES_ROOT in the view: the 32-bit view's is below Wow6432Node (the empty
// path: the classes root of the view).
[[nodiscard]] std::wstring ClassesKeyInView(std::wstring_view classesKey, REGISTRY_VIEW view);

// The views a check of a hive's software keys examines, in that order: the 64-bit view, then the
// 32-bit one when the hive has it (root\SOFTWARE holds a Wow6432Node key). The machine's hive has
// it on every 64-bit Windows; a user's only where a program wrote one.
[[nodiscard]] std::vector<REGISTRY_VIEW> SoftwareViews(IRegistry& registry,
                                                       RegHandle root = kHkeyLocalMachine);

// ---- Classes: the machine's and the user's ----
//
// Classes (COM classes, their application identifiers, program identifiers, file types) are
// registered for the machine below HKEY_LOCAL_MACHINE\SOFTWARE\Classes and for one user below
// HKEY_CURRENT_USER\Software\Classes (programs installed per user register only there). Windows
// shows the two merged as HKEY_CLASSES_ROOT: a key is there when either hive has it, and where
// both have it the user's copy is the one programs read. The checks read each hive where it
// really is, so a problem names the copy that holds it and its repair touches only that one.
struct CLASSES_HIVE {
  RegHandle root;
  std::wstring_view key;  // the classes key below the root
};
inline constexpr std::wstring_view kMachineClassesKey = L"SOFTWARE\\Classes";
inline constexpr std::wstring_view kUserClassesKey = L"Software\\Classes";
inline constexpr CLASSES_HIVE kMachineClasses{kHkeyLocalMachine, kMachineClassesKey};
inline constexpr CLASSES_HIVE kUserClasses{kHkeyCurrentUser, kUserClassesKey};
// In the order the checks examine them.
inline constexpr CLASSES_HIVE kClassesHives[] = {kMachineClasses, kUserClasses};

// The subkey path (below the hive's root) of a key below the hive's classes in the view: the
// 32-bit view's lies below the classes' Wow6432Node ("SOFTWARE\Classes\Wow6432Node\CLSID").
[[nodiscard]] std::wstring HiveClassesKey(const CLASSES_HIVE& hive, std::wstring_view classesKey,
                                          REGISTRY_VIEW view);
// The same as full key text ("HKEY_LOCAL_MACHINE\SOFTWARE\Classes\...").
[[nodiscard]] std::wstring HiveClassesKeyText(const CLASSES_HIVE& hive,
                                              std::wstring_view classesKey, REGISTRY_VIEW view);
// The views of the hive's classes: the 64-bit view, and the 32-bit one when its classes key holds
// a Wow6432Node key.
[[nodiscard]] std::vector<REGISTRY_VIEW> ClassesViews(IRegistry& registry,
                                                      const CLASSES_HIVE& hive);
// Whether a classes key text names a key below a hive's classes (HKEY_CLASSES_ROOT\..., the
// machine's or the current user's Software\Classes\..., HKEY_USERS\<hive>\Software\Classes\...
// or HKEY_USERS\<hive>_Classes\...), and, when it does, its path below the classes key
// (*below, may be null).
[[nodiscard]] bool IsClassesKeyText(std::wstring_view keyText, std::wstring_view* below = nullptr);

// A path as shown to the user: every HKEY_LOCAL_MACHINE becomes HKLM, then HKEY_CURRENT_USER
// HKCU, then HKEY_CLASSES_ROOT HKCR, then HKEY_USERS HKU (exact case).
[[nodiscard]] std::wstring AbbreviateRootNames(std::wstring_view path);

}  // namespace qv
