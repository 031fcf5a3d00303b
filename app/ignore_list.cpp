#include "app/ignore_list.h"

#include <algorithm>

#include "engine/categories.h"

namespace qv {

std::vector<IGNORE_ROW> IgnoreListRows(const CExclusionLists& lists) {
  const std::vector<EXCLUSION_ENTRY> visible = lists.VisibleEntries();
  std::vector<IGNORE_ROW> rows;
  rows.reserve(visible.size());
  for (std::size_t position = visible.size(); position-- > 0;) {
    const EXCLUSION_ENTRY& entry = visible[position];
    rows.push_back(IGNORE_ROW{position, entry.category,
                              std::wstring(CategoryDisplayName(entry.category)), entry.identity});
  }
  return rows;
}

IGNORE_REMOVAL RemoveIgnoreRows(CExclusionLists& lists, const std::vector<IGNORE_ROW>& checked) {
  IGNORE_REMOVAL result;
  // From the highest position down, so that each removal leaves the lower positions in place.
  std::vector<const IGNORE_ROW*> order;
  order.reserve(checked.size());
  for (const IGNORE_ROW& row : checked) order.push_back(&row);
  std::stable_sort(order.begin(), order.end(), [](const IGNORE_ROW* a, const IGNORE_ROW* b) {
    return a->position > b->position;
  });
  order.erase(std::unique(order.begin(), order.end(),
                          [](const IGNORE_ROW* a, const IGNORE_ROW* b) {
                            return a->position == b->position;
                          }),
              order.end());

  for (const IGNORE_ROW* row : order) {
    bool fromBlockedStore = false;
    if (!lists.RemoveVisibleEntryIf(row->position, EXCLUSION_ENTRY{row->category, row->identity},
                                    &fromBlockedStore)) {
      ++result.stale;
      continue;
    }
    ++result.removed;
    if (fromBlockedStore) {
      const ErrorCode rc = lists.RemoveBlockedValue(row->category, row->identity);
      if (result.error == kErrorSuccess) result.error = rc;
    }
  }

  const ErrorCode saved = lists.SaveExclusionListsIfChanged();
  if (result.error == kErrorSuccess) result.error = saved;
  return result;
}

}  // namespace qv
