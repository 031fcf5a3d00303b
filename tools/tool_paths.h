// Where the system's own tools are: the System Restore program and the disk defragmenter, chosen
// by system version and placed in the Windows folder the shell reports (not a fixed drive).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/shell.h"

namespace qv {

inline constexpr std::wstring_view kSystemRootToken = L"%systemroot%";
inline constexpr std::wstring_view kRestorePointsProgramVista =
    L"%systemroot%\\system32\\rstrui.exe";
inline constexpr std::wstring_view kRestorePointsProgramEarlier =
    L"%systemroot%\\system32\\restore\\rstrui.exe";
inline constexpr std::wstring_view kDefragmenterVista = L"%systemroot%\\system32\\dfrgui.exe";
inline constexpr std::wstring_view kDefragmenterEarlier = L"%systemroot%\\system32\\Dfrg.msc";
// The shell verb both are opened with.
inline constexpr wchar_t kOpenVerb[] = L"Open";

// Windows Vista and every later system: NT major version 6 (Vista, 7, 8, 8.1) and above
// (10 and 11 report 10). Only NT systems run this program.
[[nodiscard]] constexpr bool IsVistaOrLater(std::uint32_t majorVersion) {
  return majorVersion >= 6;
}

// The template with "%systemroot%" (any case) replaced by the Windows folder. Empty when the
// shell cannot name the Windows folder: nothing is started then.
[[nodiscard]] std::wstring ExpandSystemRoot(IShell& shell, std::wstring_view pathTemplate);

// The System Restore program for this system.
[[nodiscard]] std::wstring RestorePointsProgramPath(IShell& shell);
// The disk defragmenter for this system (a program on Vista and later, a console snap-in before).
[[nodiscard]] std::wstring DefragmenterPath(IShell& shell);

}  // namespace qv
