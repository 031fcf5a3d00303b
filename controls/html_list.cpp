#include "controls/html_list.h"

#include <algorithm>
#include <initializer_list>

#include "base/text.h"
#include "controls/control_texts.h"
#include "controls/markup_text.h"
#include "engine/categories.h"

namespace qv {

namespace {

// Lengths at 96 DPI (m_scale gives them at the list's DPI).
// Text measured for a problem row runs from x = 50 to the width less 45; a category row's to the
// width less 5 (its height does not depend on it: it is one line).
constexpr int kTextLeft = 50;
constexpr int kProblemTextRightMargin = 45;
constexpr int kReservedRight = 16;
constexpr int kProblemRowPadding = 9;
constexpr int kCategoryRowPadding = 20;
// Painting: a problem row's text stops 40 pixels short of the right edge, where the link sits
// 15 pixels above the bottom; it starts 5 pixels below the top unless the height was given. A
// link text longer than 40 pixels (a longer language) widens the link's column to its width and
// 2 pixels more, and the text gives way by as much.
constexpr int kLinkWidth = 40;
constexpr int kLinkHeight = 15;
constexpr int kProblemTextTop = 5;
// Count and risk columns of a category row, measured from the right edge; a longer text starts
// further left, so that it ends the margin short of the edge.
constexpr int kSelectedCountLeft = 150;
constexpr int kErrorCountLeft = 180;
constexpr int kRiskLeft = 70;
constexpr int kColumnRightMargin = 5;
// Images: the marker at x + 3, the box at x + 22, both 8 pixels above the middle. The areas that
// react to a click: the marker x + 3 to 18, a category's box x + 21 to 36, a problem's box x + 18
// to 33, from 8 above the middle to 7 below it, all inclusive.
constexpr int kMarkerX = 3;
constexpr int kCheckX = 22;
constexpr int kImageAboveMiddle = 8;
constexpr int kMarkerHitLeft = 3;
constexpr int kMarkerHitRight = 18;
constexpr int kCategoryBoxHitLeft = 21;
constexpr int kCategoryBoxHitRight = 36;
constexpr int kProblemBoxHitLeft = 18;
constexpr int kProblemBoxHitRight = 33;
constexpr int kHitBelowMiddle = 7;

bool Contains(const MARKUP_RECT& rect, MARKUP_POINT point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

int Middle(const MARKUP_RECT& rect) { return (rect.top + rect.bottom) / 2; }

// The width of markup on one line in the canvas's font.
int MarkupWidth(IMarkupCanvas& canvas, std::wstring_view markup) {
  MARKUP_RECT box{0, 0, 0, 0};
  (void)DrawMarkupText(canvas, markup, -1, &box, kDtCalcRect | kDtSingleLine);
  return box.right - box.left;
}

// The "%1!d!" conversions of the list's formats: %n!d! is the n-th number in decimal, "%%" is
// "%"; everything else is copied.
std::wstring FormatNumbers(std::wstring_view format, std::initializer_list<int> numbers) {
  constexpr std::wstring_view kDecimal = L"!d!";
  std::wstring text;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size()) {
      const wchar_t next = format[i + 1];
      if (next == L'%') {
        text.push_back(L'%');
        ++i;
        continue;
      }
      if (next >= L'1' && next <= L'9' && format.substr(i + 2, kDecimal.size()) == kDecimal) {
        const auto argument = static_cast<std::size_t>(next - L'1');
        if (argument < numbers.size()) text += DecimalText(numbers.begin()[argument]);
        i += 1 + kDecimal.size();
        continue;
      }
    }
    text.push_back(format[i]);
  }
  return text;
}

}  // namespace

std::wstring_view RiskMarkup(int severity) {
  if (severity <= 99) return Tr(kRiskLowText);
  if (severity <= 199) return Tr(kRiskMediumText);
  return Tr(kRiskHighText);
}

int CategoryCheckState(int selected, int total) {
  if (selected <= 0) return 0;
  return selected >= total ? 1 : 2;
}

CRegistryProblem* CHTMLListModel::ProblemOf(const HTMLLIST_ITEM& item) {
  return item.type == kHtmlListProblemRow ? static_cast<CRegistryProblem*>(item.data) : nullptr;
}

CScanCategory* CHTMLListModel::CategoryOf(const HTMLLIST_ITEM& item) {
  return item.type != kHtmlListProblemRow ? static_cast<CScanCategory*>(item.data) : nullptr;
}

int CHTMLListModel::AddItem(IMarkupCanvas& canvas, std::wstring text, int type, void* data,
                            int height) {
  HTMLLIST_ITEM item;
  item.id = ItemCount();
  item.type = type;
  item.text = std::move(text);
  item.data = data;
  if (const CScanCategory* category = CategoryOf(item)) {
    item.checkState = CategoryCheckState(category->selectedCount, category->rowCount);
  } else if (const CRegistryProblem* problem = ProblemOf(item)) {
    item.checkState = problem->selected ? 1 : 0;
  }
  item.expanded = type != kHtmlListProblemRow;
  if (height != 0) {
    item.height = height;
    item.fixedHeight = true;
  } else {
    item.height = MeasureHeight(canvas, item);
  }
  m_items.push_back(std::move(item));
  Layout();
  return m_items.back().id;
}

int CHTMLListModel::MeasureHeight(IMarkupCanvas& canvas, const HTMLLIST_ITEM& item) const {
  const int reserved = (m_style & kHtmlListReserveRight) != 0 ? m_scale(kReservedRight) : 0;
  if (item.type != kHtmlListProblemRow) {
    return canvas.BaseTextExtent(item.text).cy + m_scale(kCategoryRowPadding);
  }
  const int wideLink = m_linkWidth - m_scale(kLinkWidth);
  MARKUP_RECT box{m_scale(kTextLeft), 0,
                  m_width - m_scale(kProblemTextRightMargin) - wideLink - reserved, 0};
  (void)DrawMarkupText(canvas, item.text, -1, &box, kDtCalcRect | kDtWordBreak);
  return box.bottom - box.top + m_scale(kProblemRowPadding);
}

bool CHTMLListModel::RemoveItem(int id) {
  if (Item(id) == nullptr) return false;
  RemoveAt(static_cast<std::size_t>(id));
  return true;
}

void CHTMLListModel::RemoveAllItems() {
  m_items.clear();
  m_selected = -1;
  Layout();
}

void CHTMLListModel::RemoveAt(std::size_t index) {
  m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
  const int removed = static_cast<int>(index);
  if (m_selected == removed) {
    m_selected = -1;
  } else if (m_selected > removed) {
    --m_selected;
  }
  for (std::size_t i = index; i < m_items.size(); ++i) m_items[i].id = static_cast<int>(i);
  Layout();
}

void CHTMLListModel::Resize(IMarkupCanvas& canvas, int width, int height) {
  m_width = width;
  m_height = height;
  for (HTMLLIST_ITEM& item : m_items) {
    if (!item.fixedHeight) item.height = MeasureHeight(canvas, item);
  }
  Layout();
}

void CHTMLListModel::SetDpi(IMarkupCanvas& canvas, int dpi) {
  m_scale = CDpiScale(dpi);
  m_linkWidth = m_scale(kLinkWidth);
  if (m_kind == kResultsList) {
    m_linkWidth = std::max(m_linkWidth, MarkupWidth(canvas, Tr(kIgnoreLinkText)) + m_scale(2));
  }
  Resize(canvas, m_width, m_height);
}

const HTMLLIST_ITEM* CHTMLListModel::Item(int id) const {
  return id >= 0 && id < ItemCount() ? &m_items[static_cast<std::size_t>(id)] : nullptr;
}

bool CHTMLListModel::IsShown(int id) const {
  return Item(id) != nullptr && m_shown[static_cast<std::size_t>(id)];
}

CScanCategory* CHTMLListModel::FindCategoryRow(REGPROBLEM_TYPE index, int* row) const {
  for (const HTMLLIST_ITEM& item : m_items) {
    CScanCategory* category = CategoryOf(item);
    if (category != nullptr && category->type == index) {
      *row = item.id;
      return category;
    }
  }
  *row = -1;
  return nullptr;
}

// A collapsed category row hides as many following problem rows as its category has problems;
// it never hides the next category row, whatever its count says.
void CHTMLListModel::Layout() {
  m_shown.assign(m_items.size(), false);
  m_totalHeight = 0;
  int hidden = 0;
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    const HTMLLIST_ITEM& item = m_items[i];
    if (hidden > 0 && item.type == kHtmlListProblemRow) {
      --hidden;
      continue;
    }
    hidden = 0;
    m_shown[i] = true;
    m_totalHeight += item.height;
    if (!item.expanded) {
      const CScanCategory* category = CategoryOf(item);
      hidden = category != nullptr ? std::max(0, category->rowCount) : 0;
    }
  }
  m_scrollPos = std::clamp(m_scrollPos, 0, MaxScrollPos());
  int y = -m_scrollPos;
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    HTMLLIST_ITEM& item = m_items[i];
    if (!m_shown[i]) {
      item.rect = MARKUP_RECT{};
      continue;
    }
    item.rect = MARKUP_RECT{0, y, m_width, y + item.height};
    y += item.height;
  }
}

int CHTMLListModel::MaxScrollPos() const { return std::max(0, m_totalHeight - m_height); }

void CHTMLListModel::ScrollTo(int pos) {
  m_scrollPos = std::clamp(pos, 0, MaxScrollPos());
  Layout();
}

void CHTMLListModel::ScrollWheel(int delta) {
  if (delta == 0) return;
  const int step = m_scale(kHtmlListWheelStep);
  ScrollTo(m_scrollPos + (delta < 0 ? step : -step));
}

HTMLLIST_HIT CHTMLListModel::HitTest(MARKUP_POINT point) const {
  HTMLLIST_HIT hit;
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    const HTMLLIST_ITEM& item = m_items[i];
    if (!m_shown[i] || !Contains(item.rect, point)) continue;
    hit.id = item.id;
    hit.area = kAreaRow;
    const MARKUP_RECT& r = item.rect;
    const int middle = Middle(r);
    const bool boxHeight = point.y >= middle - m_scale(kImageAboveMiddle) &&
                           point.y <= middle + m_scale(kHitBelowMiddle);
    const int x = point.x - r.left;
    if (item.type != kHtmlListProblemRow) {
      if (boxHeight && x >= m_scale(kMarkerHitLeft) && x <= m_scale(kMarkerHitRight)) {
        hit.area = kAreaMarker;
      } else if (boxHeight && x >= m_scale(kCategoryBoxHitLeft) &&
                 x <= m_scale(kCategoryBoxHitRight)) {
        hit.area = kAreaCheckBox;
      }
    } else if (boxHeight && x >= m_scale(kProblemBoxHitLeft) && x <= m_scale(kProblemBoxHitRight)) {
      hit.area = kAreaCheckBox;
    } else if (m_kind == kResultsList && point.x >= r.right - m_linkWidth &&
               point.y >= r.bottom - m_scale(kLinkHeight)) {
      // Only the results list offers "Ignore": the scan list draws no link, and its rows show
      // problems still being found, which no click may take away.
      hit.area = kAreaLink;
    }
    return hit;
  }
  return hit;
}

HTMLLIST_CLICK CHTMLListModel::OnLeftButtonDown(MARKUP_POINT point) {
  const HTMLLIST_HIT hit = HitTest(point);
  return ActivateRow(hit.id, hit.area);
}

HTMLLIST_CLICK CHTMLListModel::ActivateRow(int id, HTMLLIST_AREA area) {
  HTMLLIST_CLICK click;
  if (Item(id) == nullptr) return click;
  click.id = id;
  const auto index = static_cast<std::size_t>(id);
  HTMLLIST_ITEM& item = m_items[index];
  const bool problemRow = item.type == kHtmlListProblemRow;
  switch (area) {
    case kAreaMarker:
      if (problemRow) break;
      item.expanded = !item.expanded;
      Layout();
      break;
    case kAreaCheckBox:
      click.checksChanged = problemRow ? ToggleProblem(index) : ToggleCategory(index);
      break;
    case kAreaLink:
      if (!problemRow || m_kind != kResultsList) break;
      click.ignored = IgnoreRow(index);
      click.checksChanged = click.ignored != nullptr;
      break;
    case kAreaNone:
    case kAreaRow:
      break;
  }
  // An ignored row is gone, so there is nothing left to select.
  if (click.ignored == nullptr) m_selected = id;
  return Finish(click);
}

bool CHTMLListModel::SelectItem(int id) {
  if (!IsShown(id)) return false;
  m_selected = id;
  ScrollIntoView(id);
  return true;
}

std::wstring CHTMLListModel::CountText(int id) const {
  const HTMLLIST_ITEM* item = Item(id);
  const CScanCategory* category = item != nullptr ? CategoryOf(*item) : nullptr;
  if (category == nullptr) return {};
  return m_kind == kResultsList
             ? FormatNumbers(Tr(kSelectedCountFormat), {category->selectedCount, category->rowCount})
             : FormatNumbers(kErrorCountFormat, {category->rowCount});
}

HTMLLIST_CLICK CHTMLListModel::Finish(HTMLLIST_CLICK click) const {
  click.notifyChanged = click.checksChanged && m_kind == kResultsList;
  return click;
}

bool CHTMLListModel::ToggleCategory(std::size_t index) {
  HTMLLIST_ITEM& row = m_items[index];
  CScanCategory* category = CategoryOf(row);
  if (category == nullptr) return false;
  const bool select = category->selectedCount < category->rowCount;
  for (HTMLLIST_ITEM& item : m_items) {
    CRegistryProblem* problem = ProblemOf(item);
    if (problem == nullptr || problem->type != category->type) continue;
    problem->selected = select;
    item.checkState = select ? 1 : 0;
  }
  category->selectedCount = select ? category->rowCount : 0;
  row.checkState = select ? 1 : 0;
  return true;
}

bool CHTMLListModel::ToggleProblem(std::size_t index) {
  HTMLLIST_ITEM& row = m_items[index];
  CRegistryProblem* problem = ProblemOf(row);
  if (problem == nullptr) return false;
  problem->selected = !problem->selected;
  row.checkState = problem->selected ? 1 : 0;
  int categoryRow = -1;
  if (CScanCategory* category = FindCategoryRow(problem->type, &categoryRow)) {
    HTMLLIST_ITEM& heading = m_items[static_cast<std::size_t>(categoryRow)];
    category->selectedCount = std::clamp(category->selectedCount + (problem->selected ? 1 : -1),
                                         0, std::max(0, category->rowCount));
    heading.checkState = CategoryCheckState(category->selectedCount, category->rowCount);
  }
  return true;
}

CRegistryProblem* CHTMLListModel::IgnoreRow(std::size_t index) {
  CRegistryProblem* problem = ProblemOf(m_items[index]);
  if (problem == nullptr) return nullptr;
  RemoveAt(index);
  int categoryRow = -1;
  CScanCategory* category = FindCategoryRow(problem->type, &categoryRow);
  if (category == nullptr) return problem;
  HTMLLIST_ITEM& heading = m_items[static_cast<std::size_t>(categoryRow)];
  const bool onlyProblem = category->rowCount <= 1;
  category->rowCount = std::max(0, category->rowCount - 1);
  if (problem->selected) category->selectedCount = std::max(0, category->selectedCount - 1);
  category->selectedCount = std::min(category->selectedCount, category->rowCount);
  if (onlyProblem) {
    RemoveAt(static_cast<std::size_t>(categoryRow));
  } else {
    heading.checkState = CategoryCheckState(category->selectedCount, category->rowCount);
    Layout();  // a collapsed heading now hides one row fewer
  }
  return problem;
}

// Up and down step over the rows a collapsed category hides.
bool CHTMLListModel::OnKeyUp() { return MoveSelection(-1); }

bool CHTMLListModel::OnKeyDown() { return MoveSelection(+1); }

bool CHTMLListModel::MoveSelection(int step) {
  // With no row selected, up starts at the first shown row and down at the last one.
  int next = -1;
  if (m_selected < 0) {
    const int first = step < 0 ? 0 : ItemCount() - 1;
    for (int i = first; i >= 0 && i < ItemCount() && next < 0; i -= step) {
      if (IsShown(i)) next = i;
    }
  } else {
    next = m_selected;
    for (int i = m_selected + step; i >= 0 && i < ItemCount(); i += step) {
      if (IsShown(i)) {
        next = i;
        break;
      }
    }
  }
  if (next < 0) return false;
  m_selected = next;
  ScrollIntoView(next);
  return true;
}

// Space is the selected row's check box, a problem row's as well as a category row's: without
// it a keyboard alone could untick a whole category but never one problem.
HTMLLIST_CLICK CHTMLListModel::OnKeySpace() {
  if (Item(m_selected) == nullptr) return {};
  return ActivateRow(m_selected, kAreaCheckBox);
}

void CHTMLListModel::ScrollIntoView(int index) {
  const HTMLLIST_ITEM* item = Item(index);
  if (item == nullptr || !IsShown(index)) return;
  if (item->rect.top < 0) {
    ScrollTo(m_scrollPos + item->rect.top);
  } else if (item->rect.bottom > m_height) {
    ScrollTo(m_scrollPos + item->rect.bottom - m_height);
  }
}

std::vector<HTMLLIST_ROW_PAINT> CHTMLListModel::PaintRows(IListCanvas& canvas) {
  std::vector<HTMLLIST_ROW_PAINT> rows;
  const bool results = m_kind == kResultsList;
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    HTMLLIST_ITEM& item = m_items[i];
    const MARKUP_RECT& r = item.rect;
    if (!m_shown[i] || r.bottom <= 0 || r.top >= m_height) continue;
    HTMLLIST_ROW_PAINT row;
    row.id = item.id;
    row.rect = r;
    const bool selected = item.id == m_selected;
    row.selected = selected;
    row.background = selected ? m_colours.selection : m_colours.background;
    row.textColour = selected ? m_colours.selectionText : m_colours.text;
    row.sunkenEdge = (m_style & kHtmlListSunkenEdge) != 0;
    row.focusRect = selected && m_focusRect;
    const int imageTop = Middle(r) - m_scale(kImageAboveMiddle);
    row.checkPos = MARKUP_POINT{r.left + m_scale(kCheckX), imageTop};
    row.checkImage = results ? item.checkState : kScanImageBox;

    if (item.type == kHtmlListProblemRow) {
      row.text = item.text;
      row.markup = true;
      const int textTop = r.top + (item.fixedHeight ? 0 : m_scale(kProblemTextTop));
      row.textBox = MARKUP_RECT{r.left + m_scale(kTextLeft), textTop, r.right - m_linkWidth,
                                r.bottom};
      row.textFormat = kDtWordBreak;
      if (results) {
        row.linkText = Tr(kIgnoreLinkText);
        row.linkBox = MARKUP_RECT{r.right - m_linkWidth, r.bottom - m_scale(kLinkHeight),
                                  r.right, r.bottom};
      }
      rows.push_back(std::move(row));
      continue;
    }

    if (results) {
      row.markerImage = item.expanded ? kImageExpanded : kImageCollapsed;
    } else {
      row.markerImage = item.expanded ? kScanImageExpanded : kScanImageCollapsed;
    }
    row.markerPos = MARKUP_POINT{r.left + m_scale(kMarkerX), imageTop};
    const int columnsRight = r.right - m_scale(kColumnRightMargin);
    int countLeft = r.right - m_scale(results ? kSelectedCountLeft : kErrorCountLeft);
    const bool category = CategoryOf(item) != nullptr;
    if (category) {
      row.countText = CountText(item.id);
      countLeft = std::min(countLeft, columnsRight - MarkupWidth(canvas, row.countText));
    }
    const int textLeft = r.left + m_scale(kTextLeft);
    item.text = canvas.CompactPath(item.text, countLeft - textLeft);
    row.text = item.text;
    row.textBox = MARKUP_RECT{textLeft, r.top, countLeft, r.bottom};
    row.textFormat = kDtSingleLine | kDtVCenter;
    if (category) {
      // The markup is drawn from the top of its box: the box is one line high, centred.
      const std::wstring_view firstTwo = std::wstring_view(row.countText).substr(0, 2);
      const int lineHeight = canvas.BaseTextExtent(firstTwo).cy;
      const int top = Middle(r) - lineHeight / 2;
      row.countBox = MARKUP_RECT{countLeft, top, columnsRight, top + lineHeight};
      if (!results) {
        row.riskText = RiskMarkup(ShownCategorySeverity(item.text));
        const int riskLeft = std::min(r.right - m_scale(kRiskLeft),
                                      columnsRight - MarkupWidth(canvas, row.riskText));
        row.riskBox = MARKUP_RECT{riskLeft, top, columnsRight, top + lineHeight};
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace qv
