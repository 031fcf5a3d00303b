// The rows of the list controls on a canvas of fixed metrics: heights, folding, check boxes and
// their counts, the "Ignore" link, keys, scrolling, and what the rows of both lists paint.
#include "controls/html_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/language.h"
#include "controls/control_texts.h"
#include "controls/list_colours.h"
#include "tests/unit/controls/fake_canvas.h"

namespace qv {
namespace {

class HtmlListTest : public ::testing::Test {
 protected:
  HtmlListTest() { list.Resize(canvas, 400, 1000); }

  // Rows 0-4: Fonts (two problems), Help Files (one), all selected. Category rows are 30 high,
  // one-line problem rows 19.
  void Fill(CHTMLListModel& model) {
    fonts.rowCount = 2;
    fonts.selectedCount = 2;
    help.rowCount = 1;
    help.selectedCount = 1;
    model.AddItem(canvas, fonts.name, kHtmlListCategoryRow, &fonts);
    model.AddItem(canvas, L"font one", kHtmlListProblemRow, &font1);
    model.AddItem(canvas, L"font two", kHtmlListProblemRow, &font2);
    model.AddItem(canvas, help.name, kHtmlListCategoryRow, &help);
    model.AddItem(canvas, L"help one", kHtmlListProblemRow, &help1);
  }
  MARKUP_POINT At(int id, int x) const {
    const MARKUP_RECT& r = list.Item(id)->rect;
    return {r.left + x, (r.top + r.bottom) / 2};
  }
  MARKUP_POINT Marker(int id) const { return At(id, 10); }
  MARKUP_POINT Box(int id) const { return At(id, list.Item(id)->type == 1 ? 25 : 30); }
  MARKUP_POINT Body(int id) const { return At(id, 100); }
  MARKUP_POINT Link(int id) const {
    const MARKUP_RECT& r = list.Item(id)->rect;
    return {r.right - 5, r.bottom - 2};
  }

  CFakeCanvas canvas;
  CScanCategory fonts{L"Fonts", REGPROBLEM_FONT};
  CScanCategory help{L"Help Files", REGPROBLEM_HELP_FILE};
  CRegistryProblem font1{L"HKLM\\Fonts", L"a", L"a.ttf", REGPROBLEM_FONT};
  CRegistryProblem font2{L"HKLM\\Fonts", L"b", L"b.ttf", REGPROBLEM_FONT};
  CRegistryProblem help1{L"HKLM\\HELP", L"c", L"c.hlp", REGPROBLEM_HELP_FILE};
  CHTMLListModel list{kResultsList};
};

TEST_F(HtmlListTest, RowHeightsFollowTextWidthAndStyle) {
  Fill(list);
  EXPECT_EQ(list.Item(0)->height, 30);
  EXPECT_EQ(list.Item(1)->height, 19);
  EXPECT_EQ(list.TotalHeight(), 117);

  // Twenty 4-letter words: 9 a line in 400 pixels (text from 50 to 400 - 45 - 16), 3 in 216,
  // 4 in 216 without the reserved 16 pixels. A given height is kept through every resize.
  std::wstring words;
  for (int i = 0; i < 20; ++i) words += L"word ";
  const int wrapped = list.AddItem(canvas, words, kHtmlListProblemRow, &font1);
  const int fixed = list.AddItem(canvas, words, kHtmlListProblemRow, &font1, 55);
  EXPECT_EQ(list.Item(wrapped)->height, 3 * 10 + 9);
  list.Resize(canvas, 216, 100);
  EXPECT_EQ(list.Item(wrapped)->height, 7 * 10 + 9);
  list.SetStyle(0);
  list.Resize(canvas, 216, 100);
  EXPECT_EQ(list.Item(wrapped)->height, 5 * 10 + 9);
  EXPECT_EQ(list.Item(fixed)->height, 55);
  EXPECT_TRUE(list.Item(fixed)->fixedHeight);

  // Starting check states come from the bound records.
  CScanCategory some{L"Fonts", REGPROBLEM_FONT};
  some.rowCount = 2;
  some.selectedCount = 1;
  font2.selected = false;
  EXPECT_EQ(list.Item(list.AddItem(canvas, L"x", kHtmlListCategoryRow, &some))->checkState, 2);
  EXPECT_EQ(list.Item(list.AddItem(canvas, L"y", kHtmlListProblemRow, &font2))->checkState, 0);
}

TEST_F(HtmlListTest, CollapsingHidesTheProblemRowsOfItsCategoryOnly) {
  Fill(list);
  fonts.rowCount = 5;  // more than follow it: the next category row still shows
  EXPECT_FALSE(list.OnLeftButtonDown(Marker(0)).checksChanged);
  EXPECT_FALSE(list.Item(0)->expanded);
  EXPECT_FALSE(list.IsShown(1));
  EXPECT_FALSE(list.IsShown(2));
  EXPECT_TRUE(list.IsShown(3));
  EXPECT_EQ(list.TotalHeight(), 117 - 2 * 19);
  EXPECT_EQ(list.Item(3)->rect, (MARKUP_RECT{0, 30, 400, 60}));
  // Where the hidden rows were is the next category now; the keys step over them too.
  EXPECT_EQ(list.HitTest({100, 35}).id, 3);
  EXPECT_TRUE(list.OnKeyDown());
  EXPECT_EQ(list.SelectedItem(), 3);

  list.OnLeftButtonDown(Marker(0));
  EXPECT_TRUE(list.IsShown(1));
  EXPECT_EQ(list.TotalHeight(), 117);
}

TEST_F(HtmlListTest, CheckBoxesKeepTheCategoryCountsAndStates) {
  Fill(list);
  // The category box: all selected, so all of its category are deselected; then all selected.
  HTMLLIST_CLICK click = list.OnLeftButtonDown(Box(0));
  EXPECT_TRUE(click.checksChanged);
  EXPECT_TRUE(click.notifyChanged);
  EXPECT_FALSE(font1.selected || font2.selected);
  EXPECT_TRUE(help1.selected);
  EXPECT_EQ(fonts.selectedCount, 0);
  EXPECT_EQ(list.Item(0)->checkState, 0);
  EXPECT_EQ(list.Item(2)->checkState, 0);
  list.OnLeftButtonDown(Box(0));
  EXPECT_TRUE(font1.selected && font2.selected);
  EXPECT_EQ(fonts.selectedCount, 2);
  EXPECT_EQ(list.Item(0)->checkState, 1);

  // Problem boxes: the category becomes partly checked, then unchecked, then partly again.
  const int expected[][3] = {{1, 1, 2}, {2, 0, 0}, {1, 1, 2}};  // box clicked, count, state
  for (const auto& step : expected) {
    list.OnLeftButtonDown(Box(step[0]));
    EXPECT_EQ(fonts.selectedCount, step[1]);
    EXPECT_EQ(list.Item(0)->checkState, step[2]);
  }
  EXPECT_EQ(list.Item(1)->checkState, 1);
  EXPECT_TRUE(font1.selected);
  EXPECT_EQ(list.SelectedItem(), 1);
  EXPECT_FALSE(list.OnLeftButtonDown(Body(4)).checksChanged);
  EXPECT_EQ(list.SelectedItem(), 4);

  // Space on a selected row is its box: a category's, then a problem's.
  list.OnLeftButtonDown(Body(3));
  EXPECT_TRUE(list.OnKeySpace().notifyChanged);
  EXPECT_FALSE(help1.selected);
  EXPECT_EQ(help.selectedCount, 0);
  list.OnLeftButtonDown(Body(1));
  EXPECT_TRUE(list.OnKeySpace().checksChanged);
  EXPECT_FALSE(font1.selected);
  EXPECT_EQ(list.SelectedItem(), 1);
  list.OnKeySpace();
  EXPECT_TRUE(font1.selected);

  // The scan list changes the same states but never asks for notification 1.
  CHTMLListModel scan(kScanList);
  scan.Resize(canvas, 400, 1000);
  Fill(scan);
  click = scan.OnLeftButtonDown({25, 39});  // font one's box
  EXPECT_TRUE(click.checksChanged);
  EXPECT_FALSE(click.notifyChanged);
  EXPECT_EQ(fonts.selectedCount, 1);
}

TEST_F(HtmlListTest, IgnoringRemovesTheRowAndTheLastOneItsCategoryRow) {
  Fill(list);
  list.OnLeftButtonDown(Box(1));   // font one deselected
  list.OnLeftButtonDown(Body(3));  // Help Files selected: the selection follows its row
  EXPECT_EQ(list.HitTest(Link(1)).area, kAreaLink);

  HTMLLIST_CLICK click = list.OnLeftButtonDown(Link(1));
  EXPECT_EQ(click.ignored, &font1);
  EXPECT_EQ(click.id, 1);
  EXPECT_TRUE(click.notifyChanged);
  ASSERT_EQ(list.ItemCount(), 4);
  EXPECT_EQ(list.Item(1)->text, L"font two");
  EXPECT_EQ(list.Item(3)->id, 3);
  EXPECT_EQ(fonts.rowCount, 1);
  EXPECT_EQ(fonts.selectedCount, 1);  // the ignored problem was not selected
  EXPECT_EQ(list.Item(0)->checkState, 1);
  EXPECT_EQ(list.SelectedItem(), 2);

  click = list.OnLeftButtonDown(Link(1));
  EXPECT_EQ(click.ignored, &font2);
  ASSERT_EQ(list.ItemCount(), 2);
  EXPECT_EQ(list.Item(0)->text, L"Help Files");
  EXPECT_EQ(fonts.rowCount, 0);
  EXPECT_EQ(fonts.selectedCount, 0);
  EXPECT_EQ(list.SelectedItem(), 0);
  EXPECT_EQ(list.TotalHeight(), 30 + 19);
}

TEST_F(HtmlListTest, RowsActByIdWhereverTheyLie) {
  Fill(list);
  list.Resize(canvas, 400, 40);  // only the first row fits
  list.ActivateRow(3, kAreaMarker);  // Help Files folds: its problem is hidden
  EXPECT_FALSE(list.IsShown(4));
  EXPECT_FALSE(list.SelectItem(4));
  EXPECT_TRUE(list.SelectItem(3));
  EXPECT_EQ(list.Item(3)->rect.bottom, 40);  // brought into view
  struct STEP {
    int id;
    HTMLLIST_AREA area;
    bool changed;
    const wchar_t* count;  // of the Fonts row afterwards
  } steps[] = {
      {2, kAreaCheckBox, true, L"1/2 Error(s) Selected"},
      {0, kAreaCheckBox, true, L"2/2 Error(s) Selected"},
      {1, kAreaMarker, false, L"2/2 Error(s) Selected"},  // a problem row does not fold
      {1, kAreaRow, false, L"2/2 Error(s) Selected"},
      {2, kAreaLink, true, L"1/1 Error(s) Selected"},
  };
  for (const STEP& step : steps) {
    const HTMLLIST_CLICK click = list.ActivateRow(step.id, step.area);
    EXPECT_EQ(click.checksChanged, step.changed) << step.id;
    EXPECT_EQ(list.CountText(0), step.count) << step.id;
  }
  EXPECT_EQ(list.SelectedItem(), 1);
  EXPECT_EQ(list.CountText(1), L"");
  EXPECT_EQ(list.ActivateRow(9, kAreaCheckBox).id, -1);
  // The scan list has no link to use; its count is the total.
  CHTMLListModel scan(kScanList);
  Fill(scan);
  EXPECT_EQ(scan.ActivateRow(1, kAreaLink).ignored, nullptr);
  EXPECT_EQ(scan.ItemCount(), 5);
  EXPECT_EQ(scan.CountText(0), L"2");
}

TEST_F(HtmlListTest, ScrollStepsKeysAndRemoval) {
  Fill(list);
  list.Resize(canvas, 400, 50);  // 117 high: the position runs to 67
  struct STEP {
    void (*scroll)(CHTMLListModel&);
    int pos;
  } steps[] = {
      {[](CHTMLListModel& m) { m.ScrollLines(1); }, 50},
      {[](CHTMLListModel& m) { m.ScrollLines(1); }, 67},
      {[](CHTMLListModel& m) { m.ScrollWheel(120); }, 27},
      {[](CHTMLListModel& m) { m.ScrollWheel(-120); }, 67},
      {[](CHTMLListModel& m) { m.ScrollPages(-1); }, 0},
      {[](CHTMLListModel& m) { m.ScrollPages(1); }, 67},
      {[](CHTMLListModel& m) { m.ScrollTo(-5); }, 0},
  };
  for (const STEP& step : steps) {
    step.scroll(list);
    EXPECT_EQ(list.ScrollPos(), step.pos);
  }
  EXPECT_EQ(list.Item(1)->rect.top, 30);

  // Down with nothing selected: the last row, brought up to the bottom edge; up to a row above
  // the window brings it to the top.
  EXPECT_TRUE(list.OnKeyDown());
  EXPECT_EQ(list.SelectedItem(), 4);
  EXPECT_EQ(list.ScrollPos(), 67);
  list.OnKeyUp();
  list.OnKeyUp();
  EXPECT_EQ(list.SelectedItem(), 2);
  EXPECT_EQ(list.ScrollPos(), 49);
  EXPECT_EQ(list.Item(2)->rect.top, 0);

  EXPECT_FALSE(list.RemoveItem(5));
  EXPECT_TRUE(list.RemoveItem(0));
  EXPECT_EQ(list.SelectedItem(), 1);  // the same row, renumbered
  EXPECT_TRUE(list.RemoveItem(1));
  EXPECT_EQ(list.SelectedItem(), -1);
  EXPECT_TRUE(list.OnKeyUp());
  EXPECT_EQ(list.SelectedItem(), 0);
  EXPECT_EQ(list.ScrollPos(), 0);  // brought to the top
}

TEST_F(HtmlListTest, ResultsRowsPaintCountsLinkAndImages) {
  Fill(list);
  list.OnLeftButtonDown(Box(1));
  std::vector<HTMLLIST_ROW_PAINT> rows = list.PaintRows(canvas);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1].background, kSelectionColor);
  EXPECT_EQ(rows[0].background, MarkupRgb(255, 255, 255));
  EXPECT_EQ(rows[0].text, L"Fonts");
  EXPECT_FALSE(rows[0].markup);
  EXPECT_EQ(rows[0].countText, L"1/2 Error(s) Selected");
  EXPECT_EQ(rows[0].countBox, (MARKUP_RECT{250, 10, 395, 20}));
  EXPECT_EQ(rows[0].markerImage, kImageExpanded);
  EXPECT_EQ(rows[0].markerPos, (MARKUP_POINT{3, 7}));
  EXPECT_EQ(rows[0].checkImage, kImagePartlyChecked);
  EXPECT_EQ(rows[0].checkPos, (MARKUP_POINT{22, 7}));
  EXPECT_EQ(rows[1].checkImage, kImageUnchecked);
  EXPECT_TRUE(rows[1].markup);
  EXPECT_EQ(rows[1].textBox, (MARKUP_RECT{50, 35, 360, 49}));
  EXPECT_EQ(rows[1].linkText, L"<font color=#0000ff><u>Ignore</u><font>");
  EXPECT_EQ(rows[1].linkBox, (MARKUP_RECT{360, 34, 400, 49}));
  list.OnLeftButtonDown(Marker(0));
  rows = list.PaintRows(canvas);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].markerImage, kImageCollapsed);
}

// At 150 % every length of the rows is the 96-DPI one scaled to whole pixels: paddings, image
// places, columns, the link, click areas and scroll steps (the text is the canvas's, whose font
// the window makes for the DPI). Back at 96 the rows are placed as they were.
TEST_F(HtmlListTest, LengthsFollowTheDisplayScale) {
  Fill(list);
  const std::vector<HTMLLIST_ROW_PAINT> at96 = list.PaintRows(canvas);
  list.SetDpi(canvas, 144);
  EXPECT_EQ(list.ImageSize(), 24);
  EXPECT_EQ(list.Item(0)->height, 10 + 30);
  EXPECT_EQ(list.Item(1)->height, 10 + 14);
  std::vector<HTMLLIST_ROW_PAINT> rows = list.PaintRows(canvas);
  ASSERT_EQ(rows.size(), 5u);
  const MARKUP_RECT r0 = list.Item(0)->rect;
  const MARKUP_RECT r1 = list.Item(1)->rect;
  EXPECT_EQ(rows[0].markerPos, (MARKUP_POINT{5, (r0.top + r0.bottom) / 2 - 12}));
  EXPECT_EQ(rows[0].checkPos.x, 33);
  EXPECT_EQ(rows[0].countBox.left, 400 - 225);
  EXPECT_EQ(rows[0].countBox.right, 400 - 8);
  EXPECT_EQ(rows[1].textBox, (MARKUP_RECT{75, r1.top + 8, 340, r1.bottom}));
  EXPECT_EQ(rows[1].linkBox, (MARKUP_RECT{340, r1.bottom - 23, 400, r1.bottom}));

  // A problem's box answers from x 27 to 50 (18 to 33 at 96 DPI).
  const struct {
    int x;
    bool toggles;
  } clicks[] = {{25, false}, {27, true}, {50, true}, {51, false}};
  for (const auto& click : clicks) {
    const int before = list.Item(1)->checkState;
    list.OnLeftButtonDown(At(1, click.x));
    EXPECT_EQ(list.Item(1)->checkState != before, click.toggles) << click.x;
  }

  list.SetDpi(canvas, 96);
  rows = list.PaintRows(canvas);
  ASSERT_EQ(rows.size(), at96.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].markerPos, at96[i].markerPos) << i;
    EXPECT_EQ(rows[i].checkPos, at96[i].checkPos) << i;
    EXPECT_EQ(rows[i].textBox, at96[i].textBox) << i;
    EXPECT_EQ(rows[i].countBox, at96[i].countBox) << i;
    EXPECT_EQ(rows[i].linkBox, at96[i].linkBox) << i;
  }

  // Scroll steps: a line is 75 pixels at 144 DPI, a wheel notch 60 (152 high in 50: up to 102).
  list.SetDpi(canvas, 144);
  list.Resize(canvas, 400, 50);
  list.ScrollLines(1);
  EXPECT_EQ(list.ScrollPos(), 75);
  list.ScrollWheel(120);
  EXPECT_EQ(list.ScrollPos(), 15);
}

TEST_F(HtmlListTest, ScanRowsPaintTotalAndRiskByTheShownName) {
  CHTMLListModel scan(kScanList);
  scan.Resize(canvas, 400, 1000);
  CScanCategory com{L"ActiveX/COM Objects", REGPROBLEM_COM};
  CScanCategory uninstall{L"Uninstalled Files", REGPROBLEM_UNINSTALL};
  com.rowCount = 3;
  scan.AddItem(canvas, com.name, kHtmlListCategoryRow, &com);
  scan.AddItem(canvas, uninstall.name, kHtmlListCategoryRow, &uninstall);
  scan.AddItem(canvas, fonts.name, kHtmlListCategoryRow, &fonts);
  scan.AddItem(canvas, L"font one", kHtmlListProblemRow, &font1);
  std::vector<HTMLLIST_ROW_PAINT> rows = scan.PaintRows(canvas);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].countText, L"3");
  EXPECT_EQ(rows[0].countBox.left, 220);
  EXPECT_EQ(rows[0].riskText, L"<font color=#ff0000><b>HIGH</b></font>");
  EXPECT_EQ(rows[0].riskBox, (MARKUP_RECT{330, 10, 395, 20}));
  EXPECT_EQ(rows[1].riskText, L"<font color=#FFCC66><b>MEDIUM</b></font>");
  EXPECT_EQ(rows[2].riskText, L"<font color=#000000><b>LOW</b></font>");
  EXPECT_EQ(rows[0].checkImage, kScanImageBox);  // whatever the state (here 0)
  EXPECT_EQ(rows[0].markerImage, kScanImageExpanded);
  EXPECT_TRUE(rows[3].linkText.empty());

  // 300 pixels leave 70 for the name: shortened, it is no category's name and shows as LOW,
  // and it stays shortened when the list grows again.
  scan.Resize(canvas, 300, 1000);
  rows = scan.PaintRows(canvas);
  EXPECT_EQ(rows[0].text, L"ActiveX/...");
  EXPECT_EQ(rows[0].riskText, kRiskLowText.english);
  scan.Resize(canvas, 400, 1000);
  EXPECT_EQ(scan.PaintRows(canvas)[0].text, L"ActiveX/...");
  // The scan list has no link area: a click there selects the row and ignores nothing.
  const HTMLLIST_CLICK click = scan.OnLeftButtonDown({395, scan.Item(3)->rect.bottom - 1});
  EXPECT_EQ(click.ignored, nullptr);
  EXPECT_EQ(scan.ItemCount(), 4);
  EXPECT_EQ(scan.SelectedItem(), 3);
}

// A language whose link and count texts are longer than the English the columns are made for.
class CLongerLanguage final : public ILanguage {
 public:
  std::wstring_view Translate(const UI_TEXT& text) const override {
    if (text.id == kIgnoreLinkText.id) return L"<font color=#0000ff><u>Ignorierenlang</u><font>";
    if (text.id == kSelectedCountFormat.id) return L"%1!d!/%2!d! Fehler ausgewählt und mehr";
    if (text.id == kRiskHighText.id) return L"<b>SEHR-SEHR-HOCH</b>";
    return {};
  }
};

TEST_F(HtmlListTest, LongerTextsWidenTheLinkCountAndRiskColumnsToFit) {
  const CLongerLanguage longer;
  SetLanguage(&longer);
  list.SetDpi(canvas, 96);  // the link is measured: 14 letters of 6 pixels and 2 more
  Fill(list);
  std::vector<HTMLLIST_ROW_PAINT> rows = list.PaintRows(canvas);
  EXPECT_EQ(rows[1].linkBox.left, 400 - 86);
  EXPECT_EQ(rows[1].textBox.right, 400 - 86);
  EXPECT_EQ(list.HitTest({400 - 80, list.Item(1)->rect.bottom - 2}).area, kAreaLink);
  // "2/2 Fehler ausgewählt und mehr": 30 characters end at the margin, 5 short of the edge.
  EXPECT_EQ(rows[0].countBox, (MARKUP_RECT{395 - 180, 10, 395, 20}));
  EXPECT_EQ(rows[0].textBox.right, 395 - 180);
  CHTMLListModel scan(kScanList);
  scan.Resize(canvas, 400, 1000);
  CScanCategory com{L"ActiveX/COM Objects", REGPROBLEM_COM};
  com.rowCount = 1;
  scan.AddItem(canvas, com.name, kHtmlListCategoryRow, &com);
  EXPECT_EQ(scan.PaintRows(canvas)[0].riskBox.left, 395 - 14 * 8);
  SetLanguage(nullptr);
}

TEST(ListColours, MarkupShowsAsWrittenReadableOrInTheTextColour) {
  const MARKUP_COLOR dark = MarkupRgb(0x1F, 0x20, 0x23);
  const MARKUP_COLOR selection = MarkupRgb(0x26, 0x4F, 0x78);
  LIST_COLOURS colours = kLightListColours;
  colours.background = dark;
  colours.text = MarkupRgb(0xE3, 0xE3, 0xE3);
  colours.selection = selection;
  colours.selectionText = MarkupRgb(0xFF, 0xFF, 0xFF);
  // The colours the product writes in its rows: the red headline, the link, LOW, MEDIUM and the
  // additional items' brown.
  const MARKUP_COLOR written[] = {MarkupRgb(0xFF, 0, 0), MarkupRgb(0, 0, 0xFF), MarkupRgb(0, 0, 0),
                                  MarkupRgb(0xFF, 0xCC, 0x66), MarkupRgb(0xA5, 0x2A, 0x2A)};
  for (const MARKUP_COLOR colour : written) {
    EXPECT_EQ(ShownMarkupColour(kLightListColours, colour, false), colour);
    colours.rule = MARKUP_COLOUR_RULE::kReadable;
    EXPECT_GE(ContrastRatio(ShownMarkupColour(colours, colour, false), dark), kReadableContrast)
        << std::hex << colour;
    EXPECT_GE(ContrastRatio(ShownMarkupColour(colours, colour, true), selection),
              kReadableContrast)
        << std::hex << colour;
    colours.rule = MARKUP_COLOUR_RULE::kTextColour;
    EXPECT_EQ(ShownMarkupColour(colours, colour, false), colours.text);
    EXPECT_EQ(ShownMarkupColour(colours, colour, true), colours.selectionText);
  }
  // A colour readable as it is stays as it is.
  colours.rule = MARKUP_COLOUR_RULE::kReadable;
  EXPECT_EQ(ShownMarkupColour(colours, MarkupRgb(0xFF, 0xCC, 0x66), false),
            MarkupRgb(0xFF, 0xCC, 0x66));
  // WCAG's own end points: black on white is 21:1, a colour on itself 1:1.
  EXPECT_DOUBLE_EQ(ContrastRatio(MarkupRgb(0, 0, 0), MarkupRgb(255, 255, 255)), 21.0);
  EXPECT_DOUBLE_EQ(ContrastRatio(dark, dark), 1.0);
}

}  // namespace
}  // namespace qv
