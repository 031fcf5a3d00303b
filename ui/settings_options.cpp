#include "ui/settings_options.h"

#include "state/settings.h"

namespace qv::ui {

OPTION_STATES DefaultOptionStates() {
  OPTION_STATES states{};
  for (std::size_t i = 0; i < kGeneralOptionCount; ++i) {
    states[i] = kGeneralOptions[i].defaultState;
  }
  return states;
}

OPTION_STATES LoadOptions(IRegistry& registry, std::wstring_view productName) {
  OPTION_STATES states{};
  for (std::size_t i = 0; i < kGeneralOptionCount; ++i) {
    const GENERAL_OPTION& option = kGeneralOptions[i];
    states[i] = ReadSettingInt(registry, kHkeyLocalMachine, productName, option.valueName,
                               option.defaultState) != 0
                    ? 1
                    : 0;
  }
  return states;
}

ErrorCode SaveOptions(IRegistry& registry, std::wstring_view productName,
                      const OPTION_STATES& states) {
  ErrorCode first = kErrorSuccess;
  for (std::size_t i = 0; i < kGeneralOptionCount; ++i) {
    const ErrorCode rc = WriteSettingText(registry, productName, kGeneralOptions[i].valueName,
                                          states[i] != 0 ? 1 : 0);
    if (first == kErrorSuccess) first = rc;
  }
  return first;
}

int OptionIndexOfLabel(int labelId) {
  for (std::size_t i = 0; i < kGeneralOptionCount; ++i) {
    if (kGeneralOptions[i].labelId == labelId) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace qv::ui
