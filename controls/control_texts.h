// The fixed texts, colours and tag names of the markup list controls, spelled exactly as the
// product shows them. The texts a person reads are in control_texts.inc, in every language; their
// numbers are the string resources the product loads them from.
#pragma once

#include <array>
#include <string_view>

#include "base/language.h"
#include "controls/markup_canvas.h"

namespace qv {

#define QV_TEXT QV_TEXT_CONSTANT
#include "controls/control_texts.inc"
#undef QV_TEXT
// Every text of control_texts.inc, for the language tests.
inline constexpr UI_TEXT kControlTexts[] = {
#define QV_TEXT QV_TEXT_LIST_ITEM
#include "controls/control_texts.inc"
#undef QV_TEXT
};

// Between a scan list category's total and its risk in the description a reader is given.
inline constexpr std::wstring_view kCountRiskSeparator = L", ";
// String resource 108: a category row of the scan list, (total); a number in every language.
inline constexpr std::wstring_view kErrorCountFormat = L"%1!d!";

// Background of the selected row, and of every other row, in the product's own colours
// (kLightListColours of list_colours.h; a dark mode or a contrast theme has others).
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
