#include "launcher/launch_plan.h"

#include "launcher/launcher_texts.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {

LAUNCH_SWITCHES ParseLaunchSwitches(std::wstring_view arguments) {
  const auto has = [arguments](std::wstring_view text) {
    return arguments.find(text) != std::wstring_view::npos;
  };
  LAUNCH_SWITCHES switches;
  switches.startScan = has(kSwitchStartScan);
  switches.direct = has(kSwitchDirect);
  switches.close = has(kSwitchClose);
  return switches;
}

const char* ExportName(LAUNCH_EXPORT which) {
  switch (which) {
    case LAUNCH_EXPORT::kShowStartScan:
      return kExportShowStartScan;
    case LAUNCH_EXPORT::kShowMainDialogFirst:
      return kExportShowMainDialogFirst;
    case LAUNCH_EXPORT::kShowMainDialog:
      return kExportShowMainDialog;
  }
  return kExportShowMainDialogFirst;
}

int ReadSplashSetting(IRegistry& registry) {
  return ReadSettingInt(registry, kHkeyLocalMachine, kProductName, kValueSplash, kDefaultSplash);
}

LAUNCH_PLAN PlanFirstInstance(const LAUNCH_SWITCHES& switches, IRegistry& registry) {
  LAUNCH_PLAN plan;
  if (switches.close) return plan;
  if (switches.startScan) {
    plan.call = LAUNCH_EXPORT::kShowStartScan;
  } else if (switches.direct) {
    plan.call = LAUNCH_EXPORT::kShowMainDialog;
  } else {
    plan.splash = ReadSplashSetting(registry) != 0;
    plan.call = LAUNCH_EXPORT::kShowMainDialogFirst;
  }
  return plan;
}

FORWARD_PLAN PlanSecondInstance(const LAUNCH_SWITCHES& switches) {
  FORWARD_PLAN plan;
  plan.closeRunning = switches.close;
  plan.message = switches.startScan ? kMessageForwardStartScan : kMessageForwardOpen;
  return plan;
}

std::wstring LibraryPathBeside(std::wstring_view programPath) {
  const std::size_t separator = programPath.find_last_of(L"\\/");
  if (separator == std::wstring_view::npos) return {};
  std::wstring path(programPath.substr(0, separator + 1));
  path += kLibraryFileName;
  return path;
}

}  // namespace qv
