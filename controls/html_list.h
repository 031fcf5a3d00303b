// The rows of the two markup list controls, without a window: what each row holds, how high it
// is, where it lies, what a click, a key or the scroll bar does to it, and what its painting
// shows. CHTMLListCtrl (the results list) and CMyHTMLListCtrl (the scan list) each wrap one
// CHTMLListModel and turn its answers into window messages, notifications and drawing.
//
// Rows are category rows, bound to a CScanCategory (its rowCount is the number of its problems,
// selectedCount how many of them are selected, type its category index), and problem rows, bound
// to a CRegistryProblem (its selected flag and type). The model reads and updates those records
// but owns neither: an ignored problem is handed back to the caller, which removes it from the
// problem list once its parent has been told.
//
// Row ids are positions: 0, 1, 2, ... in list order, renumbered after every removal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/dpi_scale.h"
#include "controls/list_colours.h"
#include "controls/markup_canvas.h"
#include "engine/registry_problem.h"

namespace qv {

// HTMLLIST_ITEM::type.
inline constexpr int kHtmlListProblemRow = 1;
inline constexpr int kHtmlListCategoryRow = 2;

// One row. `data` is the bound CRegistryProblem of a problem row or CScanCategory of a category
// row (either may be null: the row then has no check box logic). Every type other than
// kHtmlListProblemRow is taken as a category row.
struct HTMLLIST_ITEM {
  int id = -1;
  int height = 0;
  int type = kHtmlListCategoryRow;
  std::wstring text;  // markup for problem rows, plain for category rows
  void* data = nullptr;
  MARKUP_RECT rect{};  // where the row was last laid out (empty while it is hidden)
  int checkState = 0;  // 0 unchecked, 1 checked, 2 partly checked (category rows only)
  bool fixedHeight = false;
  bool expanded = false;
};
// The scan list's rows are the same records.
using MYHTMLLIST_ITEM = HTMLLIST_ITEM;

enum HTMLLIST_KIND {
  kResultsList,  // CHTMLListCtrl: check boxes, selected counts, the "Ignore" link
  kScanList,     // CMyHTMLListCtrl: one box image, error count and risk, no notification 1,
                 // no "Ignore" link
};

// Style bits.
inline constexpr unsigned kHtmlListReserveRight = 0x1;  // 16 pixels fewer for measured text
inline constexpr unsigned kHtmlListSunkenEdge = 0x2;    // a sunken left and bottom edge per row

// Scroll steps in pixels at 96 DPI; like every length of the rows below (margins, images, click
// areas), they scale with the list's DPI.
inline constexpr int kHtmlListLineStep = 50;
inline constexpr int kHtmlListPageStep = kHtmlListLineStep + 200;
inline constexpr int kHtmlListWheelStep = 40;

// Images of the image list, 16 x 16 at 96 DPI. The results list: the box of each check state,
// and the markers. The scan list: one box for every state, and its markers.
inline constexpr int kImageUnchecked = 0;
inline constexpr int kImageChecked = 1;
inline constexpr int kImagePartlyChecked = 2;
inline constexpr int kImageExpanded = 3;
inline constexpr int kImageCollapsed = 4;
inline constexpr int kScanImageBox = 1;
inline constexpr int kScanImageExpanded = 2;
inline constexpr int kScanImageCollapsed = 3;
inline constexpr int kImageSize = 16;

// The part of a row a point falls on.
enum HTMLLIST_AREA {
  kAreaNone,      // no shown row
  kAreaRow,       // a row, outside its active parts
  kAreaMarker,    // the expanded/collapsed marker of a category row
  kAreaCheckBox,  // the check box of any row
  kAreaLink,      // the "Ignore" link area at the bottom right of a problem row (results list)
};

struct HTMLLIST_HIT {
  int id = -1;
  HTMLLIST_AREA area = kAreaNone;
};

// What a click (or the space key) did.
struct HTMLLIST_CLICK {
  int id = -1;  // the row, as numbered before any removal; -1 when none
  // A check state changed, or the row was ignored.
  bool checksChanged = false;
  // Notification 1 is due: checksChanged, and this is the results list.
  bool notifyChanged = false;
  // The "Ignore" link was used: the problem whose row (and, when it was the last of its category,
  // whose category row) has been removed. The caller sends notification 5 for it and then removes
  // it from the problem list, which destroys it.
  CRegistryProblem* ignored = nullptr;
};

// What one painted row shows, in window coordinates.
struct HTMLLIST_ROW_PAINT {
  int id = -1;
  MARKUP_RECT rect{};
  MARKUP_COLOR background = 0;  // the list's selection or row background (LIST_COLOURS)
  MARKUP_COLOR textColour = 0;  // the list's selection or row text
  bool selected = false;
  bool sunkenEdge = false;
  bool focusRect = false;
  // The row text: markup (DrawMarkupText) for a problem row, plain text for a category row.
  std::wstring text;
  bool markup = false;
  MARKUP_RECT textBox{};
  unsigned textFormat = 0;
  // The link markup at the bottom right of a problem row (results list only; empty otherwise).
  std::wstring_view linkText;
  MARKUP_RECT linkBox{};
  // Images at their top left corner; -1 for none.
  int markerImage = -1;
  MARKUP_POINT markerPos{};
  int checkImage = -1;
  MARKUP_POINT checkPos{};
  // Category rows: the count markup, and on the scan list the risk markup.
  std::wstring countText;
  MARKUP_RECT countBox{};
  std::wstring_view riskText;
  MARKUP_RECT riskBox{};
};

// A canvas that can also shorten a path to a width, as PathCompactPathW does: parts in the
// middle give way to "...".
class IListCanvas : public IMarkupCanvas {
 public:
  [[nodiscard]] virtual std::wstring CompactPath(std::wstring_view text, int width) = 0;
};

// The risk markup of the scan list for a category severity: 99 or less LOW, 100 to 199 MEDIUM,
// 200 or more HIGH.
[[nodiscard]] std::wstring_view RiskMarkup(int severity);

// The check state of a category row: 0 none selected, 1 all (selected >= total), 2 some.
[[nodiscard]] int CategoryCheckState(int selected, int total);

class CHTMLListModel {
 public:
  explicit CHTMLListModel(HTMLLIST_KIND kind) : m_kind(kind) {}

  // Appends a row with the next id and returns the id. A non-zero height is kept as given and
  // marks the row fixedHeight; otherwise the row is measured in the canvas's font (the row
  // font): a problem row as word-wrapped markup from x = 50 to the width less 45, plus 9; a
  // category row as one line of plain text, plus 20 (16 pixels fewer in width with
  // kHtmlListReserveRight). A category row starts expanded, checked as CategoryCheckState of its
  // counts; a problem row checked when its problem is selected.
  int AddItem(IMarkupCanvas& canvas, std::wstring text, int type, void* data, int height = 0);
  // Removes the row; the selection is cleared when it was this row and follows its row
  // otherwise. False when there is no such row.
  bool RemoveItem(int id);
  void RemoveAllItems();

  // The client area changed: every row that is not fixedHeight is measured again.
  void Resize(IMarkupCanvas& canvas, int width, int height);
  // The display scale changed: the canvas's font is the row font at the new DPI. Every length
  // (text margins, paddings, images, click areas, scroll steps) is the 96-DPI one scaled, and the
  // rows are measured again; a height given with AddItem is kept as given.
  void SetDpi(IMarkupCanvas& canvas, int dpi);
  [[nodiscard]] int Dpi() const { return m_scale.Dpi(); }
  // The side of the images at the list's DPI.
  [[nodiscard]] int ImageSize() const { return m_scale(kImageSize); }
  // Takes effect for rows measured from then on.
  void SetStyle(unsigned style) { m_style = style; }
  void SetFocusRectangle(bool draw) { m_focusRect = draw; }
  // The colours the rows are painted in (kLightListColours until set).
  void SetColours(const LIST_COLOURS& colours) { m_colours = colours; }
  [[nodiscard]] const LIST_COLOURS& Colours() const { return m_colours; }

  [[nodiscard]] HTMLLIST_KIND Kind() const { return m_kind; }
  [[nodiscard]] unsigned Style() const { return m_style; }
  [[nodiscard]] int ItemCount() const { return static_cast<int>(m_items.size()); }
  // The row with the id; null when there is none.
  [[nodiscard]] const HTMLLIST_ITEM* Item(int id) const;
  // False for a row hidden under a collapsed category row (and for no row).
  [[nodiscard]] bool IsShown(int id) const;
  [[nodiscard]] int SelectedItem() const { return m_selected; }

  // The total height of the shown rows: the scroll range. The position runs from 0 to the range
  // less the client height.
  [[nodiscard]] int TotalHeight() const { return m_totalHeight; }
  [[nodiscard]] int ScrollPos() const { return m_scrollPos; }
  [[nodiscard]] int MaxScrollPos() const;
  void ScrollTo(int pos);
  void ScrollLines(int lines) { ScrollTo(m_scrollPos + lines * m_scale(kHtmlListLineStep)); }
  void ScrollPages(int pages) { ScrollTo(m_scrollPos + pages * m_scale(kHtmlListPageStep)); }
  // One wheel message: a negative delta (the wheel turned towards the user) scrolls down.
  void ScrollWheel(int delta);

  [[nodiscard]] HTMLLIST_HIT HitTest(MARKUP_POINT point) const;
  // The left button went down at the point. On a marker the category folds or unfolds; on a
  // check box the row's selection changes (a category row selects or deselects every problem row
  // of its category index); on a problem row's link area the row is ignored. The clicked row
  // becomes the selected row.
  HTMLLIST_CLICK OnLeftButtonDown(MARKUP_POINT point);
  // The arrow keys move the selection over the shown rows (up with none selected: the first;
  // down with none: the last) and scroll it into view. True when a row is selected afterwards.
  bool OnKeyUp();
  bool OnKeyDown();
  // The space key: a click on the selected row's check box (a category's or a problem's).
  HTMLLIST_CLICK OnKeySpace();
  // What a click on that part of the row does, wherever the row lies (scrolled away or folded
  // under its category): kAreaMarker folds a category row, kAreaCheckBox changes the row's
  // selection, kAreaLink ignores a problem row of the results list; any other part only selects.
  // The row becomes the selected row unless it was ignored. An id of no row does nothing.
  HTMLLIST_CLICK ActivateRow(int id, HTMLLIST_AREA area);
  // Selects a shown row and scrolls it into view; false (nothing changes) for no shown row.
  bool SelectItem(int id);

  // The count column of a category row as painted (markup): "selected/total Error(s) Selected" on
  // the results list, the total on the scan list; empty for a problem row.
  [[nodiscard]] std::wstring CountText(int id) const;

  // What each shown row inside the client area shows. A category row's text is first shortened
  // to the width left of its count column, and the shortened text replaces the row's text (and,
  // on the scan list, is the name the risk is looked up by).
  [[nodiscard]] std::vector<HTMLLIST_ROW_PAINT> PaintRows(IListCanvas& canvas);

 private:
  [[nodiscard]] static CRegistryProblem* ProblemOf(const HTMLLIST_ITEM& item);
  [[nodiscard]] static CScanCategory* CategoryOf(const HTMLLIST_ITEM& item);
  [[nodiscard]] int MeasureHeight(IMarkupCanvas& canvas, const HTMLLIST_ITEM& item) const;
  // The first category row of the category index, and its id in *row; null (and -1) for none.
  [[nodiscard]] CScanCategory* FindCategoryRow(REGPROBLEM_TYPE index, int* row) const;
  void RemoveAt(std::size_t index);
  void Layout();
  bool ToggleCategory(std::size_t index);
  bool ToggleProblem(std::size_t index);
  CRegistryProblem* IgnoreRow(std::size_t index);
  void ScrollIntoView(int index);
  bool MoveSelection(int step);  // -1 up, +1 down, over the shown rows
  [[nodiscard]] HTMLLIST_CLICK Finish(HTMLLIST_CLICK click) const;

  HTMLLIST_KIND m_kind;
  std::vector<HTMLLIST_ITEM> m_items;
  std::vector<bool> m_shown;  // parallel to m_items, from the last Layout
  int m_totalHeight = 0;
  int m_scrollPos = 0;
  int m_width = 0;
  int m_height = 0;
  int m_selected = -1;
  unsigned m_style = kHtmlListReserveRight;
  bool m_focusRect = false;
  LIST_COLOURS m_colours = kLightListColours;
  int m_linkWidth = 40;  // the link column of the results list, in pixels (SetDpi)
  CDpiScale m_scale;
};

}  // namespace qv
