// The category settings records as stored under the product key: for each of the eleven
// categories three values, named after the category's display name:
//   <name>   enabled switch  (default 1)
//   E<name>  problems found  (default 0)
//   F<name>  problems fixed  (default 0)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/categories.h"
#include "platform/errors.h"
#include "platform/registry.h"

namespace qv {

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
