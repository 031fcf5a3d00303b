// The built-in safe rows: vendors, products, COM classes and values that the cleaner never offers
// to remove. The same rows start each of the three safe lists (key, match and value lists) of the
// exclusion lists. Rows that begin with "!" name the group of rows that follow them; they are
// stored and compared like every other row.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace qv {

inline constexpr std::size_t kBuiltInSafeRowCount = 100;

// In order, spelled exactly as compared (the lists trim them of white space at both ends and keep
// their case).
extern const std::array<std::wstring_view, kBuiltInSafeRowCount> kBuiltInSafeRows;

}  // namespace qv
