#include "app/category_table.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/memory/memory_registry.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {
namespace {

constexpr wchar_t kKey[] = L"HKLM\\SOFTWARE\\Quarvelo";

TEST(CategorySettings, DefaultTableHasEveryCategoryEnabledWithZeroCounts) {
  const CATEGORY_TABLE table = BuildDefaultCategoryTable();
  for (int i = 0; i < kCategoryCount; ++i) {
    SCOPED_TRACE(testing::Message() << "category " << i);
    const CATEGORY_SETTINGS& record = table[static_cast<std::size_t>(i)];
    EXPECT_EQ(record.name, CategoryDisplayName(i));
    EXPECT_EQ(record.description, CategoryDescription(i));
    EXPECT_EQ(record.enabled, 1);
    EXPECT_EQ(record.found, 0);
    EXPECT_EQ(record.fixed, 0);
  }
  CATEGORY_TABLE some = table;
  some[3].enabled = 0;
  some[7].enabled = -1;
  const CATEGORY_SELECTION selection = EnabledSelection(some);
  for (int i = 0; i < kCategoryCount; ++i) EXPECT_EQ(selection[i], i != 3) << i;
}

TEST(CategorySettings, ValueNamesFollowTheDisplayNames) {
  EXPECT_EQ(CategoryEnabledValueName(REGPROBLEM_COM), L"ActiveX/COM Objects");
  EXPECT_EQ(CategoryFoundValueName(REGPROBLEM_COM), L"EActiveX/COM Objects");
  EXPECT_EQ(CategoryFixedValueName(REGPROBLEM_FILE_ASSOCIATION), L"FFile Association References");
  EXPECT_EQ(CategoryFoundValueName(REGPROBLEM_FILE_PATH), L"EFile/Path References");
}

TEST(CategorySettings, LoadWithNothingStoredGivesTheDefaults) {
  CMemoryRegistry reg;
  CATEGORY_TABLE table{};
  for (CATEGORY_SETTINGS& record : table) {
    record.enabled = -9;
    record.found = -9;
    record.fixed = -9;
  }
  LoadCategorySettings(reg, kProductName, &table);
  for (int i = 0; i < kCategoryCount; ++i) {
    const CATEGORY_SETTINGS& record = table[static_cast<std::size_t>(i)];
    EXPECT_EQ(record.name, CategoryDisplayName(i));
    EXPECT_EQ(record.description, CategoryDescription(i));
    EXPECT_FALSE(record.description.empty());
    EXPECT_EQ(record.enabled, 1) << i;
    EXPECT_EQ(record.found, 0) << i;
    EXPECT_EQ(record.fixed, 0) << i;
  }
  EXPECT_FALSE(reg.KeyExists(kKey)) << "loading writes nothing";
}

TEST(CategorySettings, SaveWritesThirtyThreeTextValuesThatLoadBack) {
  CMemoryRegistry reg;
  reg.CreatePath(L"HKLM\\SOFTWARE");
  CATEGORY_TABLE saved = BuildDefaultCategoryTable();
  for (int i = 0; i < kCategoryCount; ++i) {
    CATEGORY_SETTINGS& record = saved[static_cast<std::size_t>(i)];
    record.enabled = i % 2;
    record.found = 100 + i;
    record.fixed = 200 + i;
  }
  ASSERT_EQ(SaveCategorySettings(reg, kProductName, saved), kErrorSuccess);
  EXPECT_EQ(reg.ValueNames(kKey).size(), 33u);
  EXPECT_EQ(reg.GetString(kKey, L"Windows Shortcuts"), L"0");
  EXPECT_EQ(reg.GetString(kKey, L"EWindows Shortcuts"), L"108");
  EXPECT_EQ(reg.GetString(kKey, L"FWindows Shortcuts"), L"208");
  EXPECT_EQ(reg.GetValueRaw(kKey, L"FWindows Shortcuts")->type, kRegSz);

  CATEGORY_TABLE loaded{};
  LoadCategorySettings(reg, kProductName, &loaded);
  for (int i = 0; i < kCategoryCount; ++i) {
    const auto index = static_cast<std::size_t>(i);
    EXPECT_EQ(loaded[index].enabled, saved[index].enabled) << i;
    EXPECT_EQ(loaded[index].found, saved[index].found) << i;
    EXPECT_EQ(loaded[index].fixed, saved[index].fixed) << i;
  }
}

TEST(CategorySettings, SaveTriesEveryValueAndReportsTheFailure) {
  CMemoryRegistry reg;
  reg.CreatePath(L"HKLM\\SOFTWARE");
  reg.DenyAccess(L"HKLM\\SOFTWARE", kKeyCreateSubKey);
  EXPECT_EQ(SaveCategorySettings(reg, kProductName, BuildDefaultCategoryTable()),
            kErrorAccessDenied);
  EXPECT_FALSE(reg.KeyExists(kKey));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(CategorySettings, TotalsFromTheRegistryWhenNoWindowIsOpen) {
  CMemoryRegistry reg;
  EXPECT_EQ(TotalFoundCount(reg, kProductName, nullptr), 0) << "nothing stored";
  EXPECT_EQ(TotalFixedCount(reg, kProductName, nullptr), 0);

  reg.SetString(kKey, L"EActiveX/COM Objects", L"5");
  reg.SetString(kKey, L"EFonts", L"7");
  reg.SetString(kKey, L"EFile Association References", L"abc");  // counts 0
  reg.SetDword(kKey, L"EHelp Files", 1000);                        // not text: 0
  reg.SetString(kKey, L"FFonts", L"3");
  reg.SetString(kKey, L"Fonts", L"40");                            // enabled switch, not a count
  EXPECT_EQ(TotalFoundCount(reg, kProductName, nullptr), 12);
  EXPECT_EQ(TotalFixedCount(reg, kProductName, nullptr), 3);
}

TEST(CategorySettings, TotalsFromTheOpenWindowsTable) {
  CMemoryRegistry reg;
  reg.SetString(kKey, L"EFonts", L"7");
  CATEGORY_TABLE table = BuildDefaultCategoryTable();
  table[REGPROBLEM_COM].found = 2;
  table[REGPROBLEM_SHORTCUT].found = 9;
  table[REGPROBLEM_EMPTY_KEY].fixed = 4;
  EXPECT_EQ(TotalFoundCount(reg, kProductName, &table), 11);
  EXPECT_EQ(TotalFixedCount(reg, kProductName, &table), 4);
}

TEST(CategorySettings, TotalsStopAtTheIntegerLimits) {
  CMemoryRegistry reg;
  reg.SetString(kKey, L"EFonts", L"2147483000");
  reg.SetString(kKey, L"EHelp Files", L"2147483000");
  EXPECT_EQ(TotalFoundCount(reg, kProductName, nullptr), INT32_MAX);
  CATEGORY_TABLE table = BuildDefaultCategoryTable();
  for (CATEGORY_SETTINGS& record : table) record.fixed = INT32_MIN + 1;
  EXPECT_EQ(TotalFixedCount(reg, kProductName, &table), INT32_MIN);
}

}  // namespace
}  // namespace qv
