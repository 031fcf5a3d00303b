// The settings and statistics store: string values under the product key
// HKEY_LOCAL_MACHINE\SOFTWARE\<product name>. Numbers are stored as decimal text.
//
// Reads never fail: any problem (key or value missing, not a string, unterminated, too long,
// empty, out of range) gives the caller's default. Writes return the system error code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace qv {

// Longest text ReadSettingInt accepts, in characters without the terminator.
inline constexpr std::size_t kSettingIntMaxChars = 200;
// Longest text ReadLastScanText accepts, in characters including the terminator.
inline constexpr std::size_t kLastScanCapacityChars = 1024;

// "SOFTWARE\<product name>", the product key below HKEY_LOCAL_MACHINE.
[[nodiscard]] std::wstring ProductSubkey(std::wstring_view productName);
// "HKEY_LOCAL_MACHINE\SOFTWARE\<product name>", the product key's full name in backup files.
[[nodiscard]] std::wstring ProductKeyPath(std::wstring_view productName);

// Opens or creates the product key under HKEY_LOCAL_MACHINE with read, set-value and
// create-subkey access (0x2001F). *key is unchanged on failure.
[[nodiscard]] ErrorCode OpenProductKey(IRegistry& registry, std::wstring_view productName,
                                       CRegKey* key);

// Reads a text value of root\SOFTWARE\<product>: only REG_SZ or REG_EXPAND_SZ data with a
// terminating NUL within maxChars + 1 characters is accepted; the text is what precedes that NUL.
// Failures: the key's or the value's error, kErrorMoreData when longer, kErrorInvalidData for
// another type or missing terminator. *text is unchanged on failure.
[[nodiscard]] ErrorCode ReadSettingString(IRegistry& registry, RegHandle root,
                                          std::wstring_view productName,
                                          std::wstring_view valueName, std::size_t maxChars,
                                          std::wstring* text);

// A stored number as the settings read it: empty text gives the default; otherwise optional
// leading white space, an optional sign and as many decimal digits as follow (none: 0). A result
// equal to the largest or smallest 32-bit value, which is also what a number out of range
// saturates to, gives the default.
[[nodiscard]] int ParseSettingNumber(std::wstring_view text, int defaultValue);

// A number under root\SOFTWARE\<product>: ReadSettingString (at most 200 characters), then
// ParseSettingNumber; the default on any failure.
[[nodiscard]] int ReadSettingInt(IRegistry& registry, RegHandle root, std::wstring_view productName,
                                 std::wstring_view valueName, int defaultValue);

// Stores `text` as REG_SZ (with its terminating NUL) under HKEY_LOCAL_MACHINE\SOFTWARE\<product>,
// creating the product key when missing. extraAccess is added to the 0x2001F used to create it.
// Returns the system error code; kErrorInvalidData when text is null.
[[nodiscard]] ErrorCode WriteSettingText(IRegistry& registry, std::wstring_view productName,
                                         std::wstring_view valueName, const wchar_t* text,
                                         std::uint32_t extraAccess = 0);
[[nodiscard]] ErrorCode WriteSettingText(IRegistry& registry, std::wstring_view productName,
                                         std::wstring_view valueName, std::wstring_view text,
                                         std::uint32_t extraAccess = 0);
// The number as decimal text.
[[nodiscard]] ErrorCode WriteSettingText(IRegistry& registry, std::wstring_view productName,
                                         std::wstring_view valueName, int value,
                                         std::uint32_t extraAccess = 0);

// The stored start time of the last scan ("dd-mm-yyyy HH:MM:SS"), or "-1" when it is missing,
// empty or not a string.
[[nodiscard]] std::wstring ReadLastScanText(IRegistry& registry, std::wstring_view productName);
// The last-scan label text: "Never scanned", or for example "Dec 06, 2026 6:31 PM".
[[nodiscard]] std::wstring LastScanDisplayText(IRegistry& registry, std::wstring_view productName);
// The same for a given stored text. "-1" (or empty) is "Never scanned". The hour is shown as
// stored for 0-12 and minus 12 above, with AM below 12 and PM from 12 on ("0:05 AM",
// "12:00 PM"); day, year and minute are shown as stored. A text that is not of the stored form
// (no day, month, year, hour or minute; month not 1-12; hour not 0-23) is shown as it is.
[[nodiscard]] std::wstring FormatLastScanDisplay(std::wstring_view stored);

// The running program's file version "major.minor.build.revision", empty when it has none.
[[nodiscard]] std::wstring ProductVersionText(IShell& shell);

}  // namespace qv
