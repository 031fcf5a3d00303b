// What one start of Quarvelo.exe does, decided from its arguments and the "Splash" setting
// without touching a window: which switches count, whether a second instance closes the running
// one and which message it forwards, whether the splash shows, which export is called, and where
// the library is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace qv {

// The switches found in the arguments (the command line after the program's own path, so a
// folder such as "C:\my-tools\" cannot switch anything on). A switch counts wherever its text
// occurs, also inside a longer word, and only in the letter case given: "-T" is not "-t".
struct LAUNCH_SWITCHES {
  bool startScan = false;  // "-t"
  bool direct = false;     // "-d"
  bool close = false;      // "-c"
};
[[nodiscard]] LAUNCH_SWITCHES ParseLaunchSwitches(std::wstring_view arguments);

// The library exports the launcher calls; exactly one per start.
enum class LAUNCH_EXPORT {
  kShowStartScan,
  kShowMainDialogFirst,
  kShowMainDialog,
};
// The export's name as the library exports it.
[[nodiscard]] const char* ExportName(LAUNCH_EXPORT which);

// A first instance (no other runs): with "-t" it calls ShowStartScan without a splash ("-t" wins
// over "-d"); with "-d" it calls ShowMainDialog without a splash; otherwise the splash setting
// decides whether the splash shows, and ShowMainDialogFirst is called. With "-c" there is nothing
// to close and it ends at once, whatever else is given: a close request never starts the program.
struct LAUNCH_PLAN {
  bool splash = false;
  std::optional<LAUNCH_EXPORT> call;  // empty: end without calling the library
};
// Reads the setting only when the switches leave the splash to it.
[[nodiscard]] LAUNCH_PLAN PlanFirstInstance(const LAUNCH_SWITCHES& switches, IRegistry& registry);

// The "Splash" value under HKEY_LOCAL_MACHINE\SOFTWARE\Quarvelo as a number: its leading decimal
// digits (none: 0); missing, empty, not text, or outside the 32-bit range: 1. Nonzero shows the
// splash.
[[nodiscard]] int ReadSplashSetting(IRegistry& registry);

// A second instance (another runs): with "-c" it first asks the running instance's main window
// to close; then it posts that window 1126 when "-t" is given, else 1127, and ends.
struct FORWARD_PLAN {
  bool closeRunning = false;
  std::uint32_t message = 0;
};
[[nodiscard]] FORWARD_PLAN PlanSecondInstance(const LAUNCH_SWITCHES& switches);

// "QuarveloDll.dll" in the folder of the program file at programPath (the text up to its last
// backslash or slash). Empty when programPath names no folder: the library is then taken as
// missing rather than searched for along the system's search path.
[[nodiscard]] std::wstring LibraryPathBeside(std::wstring_view programPath);

}  // namespace qv
