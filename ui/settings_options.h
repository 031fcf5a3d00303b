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
#include "ui/ui_texts.h"

namespace qv::ui {

struct GENERAL_OPTION {
  int checkBoxId;
  const wchar_t* valueName;  // also the check box's text, in every language
  int labelId;
  UI_TEXT labelText;
  int defaultState;  // 0 or 1
};

inline constexpr std::size_t kGeneralOptionCount = 7;

// In the order of loading, saving and of the label ids.
inline constexpr std::array<GENERAL_OPTION, kGeneralOptionCount> kGeneralOptions = {{
    {1108, kValueCloseAfter, 1114, kOptionCloseAfter, kDefaultCloseAfter},
    {1109, kValueAutoRepair, 1115, kOptionAutoRepair, kDefaultAutoRepair},
    {1110, kValueRestorePoint, 1116, kOptionRestorePoint, kDefaultRestorePoint},
    {1111, kValueAutoUpdates, 1117, kOptionAutoUpdates, kDefaultAutoUpdates},
    {1112, kValuePrompt, 1118, kOptionPrompt, kDefaultPrompt},
    {1113, kValueSplash, 1119, kOptionSplash, kDefaultSplash},
    // Ours: what a repair leaves broken is repaired in the same run, or left for the next scan.
    {1121, kValueRepairUncovered, 1122, kOptionRepairUncovered, kDefaultRepairUncovered},
}};

// The page's other ids (its texts are kGeneralSettingsHeading and kCheckForUpdate of ui_texts.h).
inline constexpr int kGeneralSettingsDialogId = 166;
inline constexpr int kGeneralSettingsHeadingId = 1107;
inline constexpr int kCheckForUpdateId = 465;

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
