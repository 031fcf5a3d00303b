// The category table: one record per category (its name, description, enabled switch and the
// found and fixed counts of the statistics), held by the application object for the whole run,
// and stored under the product key as three values per category, named after its display name:
//   <name>   enabled switch  (default 1)
//   E<name>  problems found  (default 0)
//   F<name>  problems fixed  (default 0)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "engine/categories.h"
#include "platform/registry.h"

namespace qv {

// One category settings record.
struct CATEGORY_SETTINGS {
  std::wstring name;         // display name; also the settings value name
  std::wstring description;  // description text
  std::int32_t enabled = 1;  // nonzero: selected for scanning
  std::int32_t found = 0;    // problems found in this category (running statistic)
  std::int32_t fixed = 0;    // problems repaired in this category (running statistic)
};

using CATEGORY_TABLE = std::array<CATEGORY_SETTINGS, kCategoryCount>;

// The eleven records in index order with their names and descriptions, every category enabled
// and both counts 0 (the values the settings store falls back to when nothing is stored).
[[nodiscard]] CATEGORY_TABLE BuildDefaultCategoryTable();

// The categories the table enables (enabled nonzero): what a scan prepared from it runs.
[[nodiscard]] CATEGORY_SELECTION EnabledSelection(const CATEGORY_TABLE& table);

// The value names of one category (index 0-10).
[[nodiscard]] std::wstring CategoryEnabledValueName(int index);
[[nodiscard]] std::wstring CategoryFoundValueName(int index);
[[nodiscard]] std::wstring CategoryFixedValueName(int index);

// Fills every record: name and description from the category texts, then the three numbers read
// from HKEY_LOCAL_MACHINE\SOFTWARE\<product> with their defaults.
void LoadCategorySettings(IRegistry& registry, std::wstring_view productName,
                          CATEGORY_TABLE* table);

// Writes the three numbers of every record, in category order (33 values). Every write is tried;
// the result is the first failure, or 0.
[[nodiscard]] ErrorCode SaveCategorySettings(IRegistry& registry, std::wstring_view productName,
                                             const CATEGORY_TABLE& table);

// The totals behind the library's problem counters. With a table (the one a main window that is
// open works on) the sum of its records; without one (no main window open) the sum of the stored
// values, a missing or unreadable one counting 0. Sums beyond the 32-bit range stop at its limit.
[[nodiscard]] std::int32_t TotalFoundCount(IRegistry& registry, std::wstring_view productName,
                                           const CATEGORY_TABLE* openTable);
[[nodiscard]] std::int32_t TotalFixedCount(IRegistry& registry, std::wstring_view productName,
                                           const CATEGORY_TABLE* openTable);

}  // namespace qv
