#include "app/category_table.h"

#include <climits>

#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {
namespace {

std::int32_t Saturate(std::int64_t sum) {
  if (sum > INT32_MAX) return INT32_MAX;
  if (sum < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(sum);
}

template <typename Field, typename ValueName>
std::int32_t Total(IRegistry& registry, std::wstring_view productName,
                   const CATEGORY_TABLE* openTable, Field field, ValueName valueName) {
  std::int64_t sum = 0;
  for (int i = 0; i < kCategoryCount; ++i) {
    if (openTable != nullptr) {
      sum += (*openTable)[static_cast<std::size_t>(i)].*field;
    } else {
      sum += ReadSettingInt(registry, kHkeyLocalMachine, productName, valueName(i), 0);
    }
  }
  return Saturate(sum);
}

}  // namespace

CATEGORY_TABLE BuildDefaultCategoryTable() {
  CATEGORY_TABLE table;
  for (int i = 0; i < kCategoryCount; ++i) {
    CATEGORY_SETTINGS& record = table[static_cast<std::size_t>(i)];
    record.name = std::wstring(CategoryDisplayName(i));
    record.description = std::wstring(CategoryDescription(i));
    record.enabled = 1;
    record.found = 0;
    record.fixed = 0;
  }
  return table;
}

CATEGORY_SELECTION EnabledSelection(const CATEGORY_TABLE& table) {
  CATEGORY_SELECTION selection{};
  for (std::size_t i = 0; i < table.size(); ++i) selection[i] = table[i].enabled != 0;
  return selection;
}

std::wstring CategoryEnabledValueName(int index) {
  return std::wstring(CategoryDisplayName(index));
}

std::wstring CategoryFoundValueName(int index) {
  return kFoundCountPrefix + std::wstring(CategoryDisplayName(index));
}

std::wstring CategoryFixedValueName(int index) {
  return kFixedCountPrefix + std::wstring(CategoryDisplayName(index));
}

void LoadCategorySettings(IRegistry& registry, std::wstring_view productName,
                          CATEGORY_TABLE* table) {
  for (int i = 0; i < kCategoryCount; ++i) {
    CATEGORY_SETTINGS& record = (*table)[static_cast<std::size_t>(i)];
    record.name = CategoryDisplayName(i);
    record.description = CategoryDescription(i);
    record.enabled = ReadSettingInt(registry, kHkeyLocalMachine, productName,
                                    CategoryEnabledValueName(i), kDefaultCategoryEnabled);
    record.found = ReadSettingInt(registry, kHkeyLocalMachine, productName,
                                  CategoryFoundValueName(i), kDefaultCategoryFound);
    record.fixed = ReadSettingInt(registry, kHkeyLocalMachine, productName,
                                  CategoryFixedValueName(i), kDefaultCategoryFixed);
  }
}

ErrorCode SaveCategorySettings(IRegistry& registry, std::wstring_view productName,
                               const CATEGORY_TABLE& table) {
  ErrorCode first = kErrorSuccess;
  const auto keep = [&first](ErrorCode rc) {
    if (first == kErrorSuccess) first = rc;
  };
  for (int i = 0; i < kCategoryCount; ++i) {
    const CATEGORY_SETTINGS& record = table[static_cast<std::size_t>(i)];
    keep(WriteSettingText(registry, productName, CategoryEnabledValueName(i), record.enabled));
    keep(WriteSettingText(registry, productName, CategoryFoundValueName(i), record.found));
    keep(WriteSettingText(registry, productName, CategoryFixedValueName(i), record.fixed));
  }
  return first;
}

std::int32_t TotalFoundCount(IRegistry& registry, std::wstring_view productName,
                             const CATEGORY_TABLE* openTable) {
  return Total(registry, productName, openTable, &CATEGORY_SETTINGS::found,
               CategoryFoundValueName);
}

std::int32_t TotalFixedCount(IRegistry& registry, std::wstring_view productName,
                             const CATEGORY_TABLE* openTable) {
  return Total(registry, productName, openTable, &CATEGORY_SETTINGS::fixed,
               CategoryFixedValueName);
}

}  // namespace qv
