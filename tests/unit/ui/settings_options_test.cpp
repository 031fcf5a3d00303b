// The general settings page's options on the in-memory registry: missing and unreadable values
// give the defaults, any number other than 0 is checked, and a save writes all six as "0" or "1".
#include "ui/settings_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace qv::ui {
namespace {

constexpr wchar_t kKey[] = L"HKLM\\SOFTWARE\\Quarvelo";

TEST(SettingsOptions, MissingValuesGiveDefaultsAndSavingWritesAllSeven) {
  CMemoryPlatform machine;
  CMemoryRegistry& registry = machine.registry();
  EXPECT_EQ(LoadOptions(registry, L"Quarvelo"), (OPTION_STATES{0, 0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(DefaultOptionStates(), (OPTION_STATES{0, 0, 1, 1, 1, 1, 1}));

  registry.SetString(kKey, L"CLOSEAFTER", L"7");
  registry.SetDword(kKey, L"RESTOREPOINT", 0);  // not text: the default
  registry.SetString(kKey, L"splash", L"0");
  EXPECT_EQ(LoadOptions(registry, L"Quarvelo"), (OPTION_STATES{1, 0, 1, 1, 1, 0, 1}));

  ASSERT_EQ(SaveOptions(registry, L"Quarvelo", {1, 0, 0, 1, 5, 0, 0}), kErrorSuccess);
  std::vector<std::wstring> stored;
  for (const GENERAL_OPTION& option : kGeneralOptions) {
    stored.push_back(option.valueName + (L"=" + registry.GetString(kKey, option.valueName).value_or(L"?")));
  }
  EXPECT_EQ(stored, (std::vector<std::wstring>{L"CLOSEAFTER=1", L"AUTOREPAIR=0", L"RESTOREPOINT=0",
                                               L"AUTOUPDATES=1", L"PROMPT=1", L"Splash=0",
                                               L"REPAIRUNCOVERED=0"}));
  EXPECT_EQ(registry.GetValueRaw(kKey, L"AUTOREPAIR")->type, kRegSz);
  EXPECT_EQ(LoadOptions(registry, L"Quarvelo"), (OPTION_STATES{1, 0, 0, 1, 1, 0, 0}));
  EXPECT_EQ(OptionIndexOfLabel(1119), 5);
  EXPECT_EQ(OptionIndexOfLabel(1122), 6);
  EXPECT_EQ(OptionIndexOfLabel(1113), -1);
}

}  // namespace
}  // namespace qv::ui
