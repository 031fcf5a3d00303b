// The fixed values of Quarvelo.exe: the instance name, the command-line switches, the messages
// a second instance forwards, the splash's title and time, the library file and its exports,
// and the text written when the library or an export is missing. The library and the scheduled
// scan task rely on every one of them as spelled here; change none of them.
#pragma once

#include <cstdint>

#include "base/language.h"

namespace qv {

// What a person reads of the launcher (its splash), in every language.
#define QV_TEXT QV_TEXT_CONSTANT
#include "launcher/launcher_texts.inc"
#undef QV_TEXT
// Every text of launcher_texts.inc, for the language tests.
inline constexpr UI_TEXT kLauncherTexts[] = {
#define QV_TEXT QV_TEXT_LIST_ITEM
#include "launcher/launcher_texts.inc"
#undef QV_TEXT
};

// The named mutex that marks a running instance, and the caption of the running instance's main
// window (the library captions its main window so).
inline constexpr wchar_t kInstanceName[] = L"Quarvelo";

// Switches: each counts when its text occurs anywhere in the arguments, letter case as given.
inline constexpr wchar_t kSwitchStartScan[] = L"-t";  // open and scan at once, no splash
inline constexpr wchar_t kSwitchDirect[] = L"-d";     // no splash, the plain opening export
inline constexpr wchar_t kSwitchClose[] = L"-c";      // close the running instance

// Posted, with both parameters zero, to the running instance's main window by a second
// instance: the first when "-t" is given, the second otherwise.
inline constexpr std::uint32_t kMessageForwardStartScan = 1126;
inline constexpr std::uint32_t kMessageForwardOpen = 1127;

// "-c": the pause after the first close request before looking for the window again.
inline constexpr std::uint32_t kCloseRetryDelayMs = 100;
// "-c": how long one close request may go unanswered before the launcher gives up on it. A
// running instance that does not answer must not keep the second one running for ever.
inline constexpr std::uint32_t kCloseReplyTimeoutMs = 10000;

// The splash window's title (it has no caption bar) and how long it stays up once visible.
inline constexpr wchar_t kSplashTitle[] = L"QUARVELO";
inline constexpr std::uint32_t kSplashMilliseconds = 4000;

// The library, in the folder of the launcher's own program file, and the exports it calls:
// each takes no arguments and returns a 32-bit integer, 1 when the main window closed normally.
inline constexpr wchar_t kLibraryFileName[] = L"QuarveloDll.dll";
inline constexpr char kExportShowStartScan[] = "ShowStartScan";
inline constexpr char kExportShowMainDialogFirst[] = "ShowMainDialogFirst";
inline constexpr char kExportShowMainDialog[] = "ShowMainDialog";
inline constexpr std::int32_t kExportClosedNormally = 1;

// Written to standard output (when there is one) if the library or the export is missing.
inline constexpr char kNoLibraryText[] = "Message printed from executable\n";

}  // namespace qv
