// The fixed texts, colours and tag names of the markup list controls, spelled exactly as the
// product shows them. The string resource numbers are those the Win32 controls load them from.
#pragma once

#include <array>
#include <string_view>

#include "controls/markup_canvas.h"

namespace qv {

// String resource 102: the link drawn at the bottom right of every problem row of the results
// list. (Its closing font tag is written as an opening one; the markup layout copes, and the text
// stays as the product has it.)
inline constexpr std::wstring_view kIgnoreLinkText = L"<font color=#0000ff><u>Ignore</u><font>";
// The default actions assistive technology is offered for a category row of the results list
// (its check box: everything of the category is selected, or deselected), as the system names
// those of a check box.
inline constexpr std::wstring_view kCheckActionName = L"Check";
inline constexpr std::wstring_view kUncheckActionName = L"UnCheck";
// Between a scan list category's total and its risk in the description a reader is given.
inline constexpr std::wstring_view kCountRiskSeparator = L", ";
// String resource 103: a category row of the results list, (selected, total).
inline constexpr std::wstring_view kSelectedCountFormat = L"%1!d!/%2!d! Error(s) Selected";
// String resource 108: a category row of the scan list, (total).
inline constexpr std::wstring_view kErrorCountFormat = L"%1!d!";

// The risk column of the scan list, by the category's severity.
inline constexpr std::wstring_view kRiskLowText = L"<font color=#000000><b>LOW</b></font>";
inline constexpr std::wstring_view kRiskMediumText = L"<font color=#FFCC66><b>MEDIUM</b></font>";
inline constexpr std::wstring_view kRiskHighText = L"<font color=#ff0000><b>HIGH</b></font>";

// Background of the selected row, and of every other row.
inline constexpr MARKUP_COLOR kSelectionColor = MarkupRgb(97, 174, 252);
inline constexpr MARKUP_COLOR kRowBackgroundColor = MarkupRgb(255, 255, 255);

// The row font of both lists.
inline constexpr std::wstring_view kRowFontFace = L"Tahoma";
inline constexpr int kRowFontHeight = -11;

// The window classes and the control id of both lists.
inline constexpr std::wstring_view kResultsListClassName = L"HTMLListCtrl";
inline constexpr std::wstring_view kScanListClassName = L"MyHTMLListCtrl";
inline constexpr int kHtmlListControlId = 54321;

// What a markup tag does.
enum MARKUP_TAG_EFFECT {
  kTagBold,
  kTagBreak,
  kTagItalic,
  kTagFont,
  kTagParagraph,
  kTagSubscript,
  kTagSuperscript,
  kTagUnderline,
};

struct MARKUP_TAG_INFO {
  std::wstring_view name;
  MARKUP_TAG_EFFECT effect;
  bool attributes;  // everything up to the next ">" belongs to the tag
  bool lineBreak;
};

// The tags the markup layout knows. A tag is matched against the rows from the last to the first,
// by prefix of its name, so the order matters: "br" is tried before "b", "sup" and "sub" before
// nothing shorter that they begin with.
inline constexpr std::array<MARKUP_TAG_INFO, 10> kMarkupTags = {{
    {L"b", kTagBold, false, false},
    {L"strong", kTagBold, false, false},
    {L"br", kTagBreak, false, true},
    {L"em", kTagItalic, false, false},
    {L"i", kTagItalic, false, false},
    {L"font", kTagFont, true, false},
    {L"p", kTagParagraph, false, true},
    {L"sub", kTagSubscript, false, false},
    {L"sup", kTagSuperscript, false, false},
    {L"u", kTagUnderline, false, false},
}};

}  // namespace qv
