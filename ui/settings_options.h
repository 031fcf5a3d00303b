// The general settings page's seven yes/no options: each a check box whose window text is the name
// of the value it is stored under (below HKEY_LOCAL_MACHINE\SOFTWARE\Quarvelo, as decimal text),
// with a label beside it that toggles it. The page loads the options when it is shown and saves
// them when it is hidden.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "base/errors.h"
#include "platform/registry.h"
#include "state/state_texts.h"

namespace qv::ui {

struct GENERAL_OPTION {
  int checkBoxId;
  const wchar_t* valueName;  // also the check box's text
  int labelId;
  const wchar_t* labelText;
  int defaultState;  // 0 or 1
};

inline constexpr std::size_t kGeneralOptionCount = 7;

// In the order of loading, saving and of the label ids.
inline constexpr std::array<GENERAL_OPTION, kGeneralOptionCount> kGeneralOptions = {{
    {1108, kValueCloseAfter, 1114, L"Automatically Shutdown application after Repair",
     kDefaultCloseAfter},
    {1109, kValueAutoRepair, 1115, L"Automatically Repair Items after Scan", kDefaultAutoRepair},
    {1110, kValueRestorePoint, 1116, L"Set Restore Point before repair", kDefaultRestorePoint},
    {1111, kValueAutoUpdates, 1117, L"Check for software updates on applicatoin startup",
     kDefaultAutoUpdates},
    {1112, kValuePrompt, 1118, L"Prompt me before downloading the updates", kDefaultPrompt},
    {1113, kValueSplash, 1119, L"Show Splash Screen", kDefaultSplash},
    // Ours: what a repair leaves broken is repaired in the same run, or left for the next scan.
    {1121, kValueRepairUncovered, 1122, L"Repair what a repair uncovers in the same run",
     kDefaultRepairUncovered},
}};

// The page's other texts and ids.
inline constexpr int kGeneralSettingsDialogId = 166;
inline constexpr int kGeneralSettingsHeadingId = 1107;
inline constexpr wchar_t kGeneralSettingsHeading[] = L"Select setting options and press OK to apply";
inline constexpr int kCheckForUpdateId = 465;
inline constexpr wchar_t kCheckForUpdate[] = L"Check for Update";

// One check state (0 or 1) per option, in the table's order.
using OPTION_STATES = std::array<int, kGeneralOptionCount>;

// The options' defaults.
[[nodiscard]] OPTION_STATES DefaultOptionStates();

// Each option's stored number (ReadSettingInt: a missing or unreadable value gives the option's
// default). Every number other than 0 reads as 1, as the programs that act on the options read
// it, so a check box never gets a state it cannot show.
[[nodiscard]] OPTION_STATES LoadOptions(IRegistry& registry, std::wstring_view productName);

// Writes every option (0 for 0, 1 for anything else) as decimal text, all seven even when one
// fails, creating the product key when missing. Result: the first failure, or 0.
[[nodiscard]] ErrorCode SaveOptions(IRegistry& registry, std::wstring_view productName,
                                    const OPTION_STATES& states);

// The index of the option whose label has this id, or -1: a click on a label toggles its box.
[[nodiscard]] int OptionIndexOfLabel(int labelId);

}  // namespace qv::ui
