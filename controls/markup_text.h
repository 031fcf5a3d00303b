// DrawMarkupText: lays out and draws text written in a small HTML-like markup, word by word, on
// an IMarkupCanvas. Both list controls draw every row text through it.
//
// The markup:
//   <b> <strong>   bold             <em> <i>   italic          <u>   underline
//   <sub>          subscript        <sup>      superscript
//   <br>           next line        <p>        next line, one and a half lines down (nothing when
//                                              it is the first thing in the text)
//   <font color=RRGGBB> ... </font> text colour; the value may be quoted and may begin with "#"
// Tag names ignore case and match by prefix: "<big>" is bold, "<pre>" a paragraph. The tags are
// tried in the order of kMarkupTags from its last row to its first; a tag without attributes
// matches only when ">" follows its name. An opening tag that matches nothing is drawn as text;
// a closing tag that matches nothing vanishes. <br> and <p> act on their opening tag only, and
// neither acts under kDtSingleLine.
//
// Colours: an opening font tag saves the current colour (the first eight nested ones are kept)
// and sets its own; only a "color=" written straight after "<font " is read, as six hexadecimal
// digits in which a bad or missing digit counts as 0. A closing font tag restores the last colour
// saved, or the colour of the start when none is left.
//
// Characters: in a word, "&lt;", "&gt;" and "&amp;" stand for "<", ">" and "&" (every other "&"
// stands for itself), so text from outside (registry names and data) written with EscapeMarkup
// shows as it is and adds no tag.
//
// White space: the white space before a word is one space, measured in the word's font, also when
// tags stand between its runs ("a <b> b" has one space). After a line-break tag, white space is
// skipped until the next word.
#pragma once

#include <string>
#include <string_view>

#include "controls/markup_canvas.h"

namespace qv {

// Lays out `length` characters of the text (a negative length: all of it) in the rectangle, or,
// with no rectangle, from the canvas's current position to the right edge of the device.
//
// The format is that of DrawTextW: centre, right and tab stops are ignored and kDtNoPrefix is
// always added. With kDtWordBreak a word that does not fit the remaining width and follows a
// space goes to the next line; otherwise the width grows to hold it, as it does for a word wider
// than the whole width. Lines are as high as the first two characters of the text in the base
// font; a subscript word sits at the bottom of its line.
//
// With kDtCalcRect nothing is drawn and the rectangle becomes the extent of the text: right =
// left + the widest line, bottom = top + the last line's offset + the line height (top minus
// them when top is negative). Without kDtCalcRect the rectangle is left as it is.
//
// Returns the offset of the last line from the top: 0 for text on one line.
[[nodiscard]] int DrawMarkupText(IMarkupCanvas& canvas, std::wstring_view text, int length,
                                 MARKUP_RECT* rect, unsigned format);

// Text from outside made safe to put into markup: "&" becomes "&amp;", "<" "&lt;" and ">" "&gt;",
// so the layout shows its characters and reads none of them as a tag. Every row text built from
// registry content escapes that content with this one function.
[[nodiscard]] std::wstring EscapeMarkup(std::wstring_view text);

// The text as the layout shows it: every backslash becomes "/", then every "//" becomes "/"
// (a registry path shows with single slashes).
[[nodiscard]] std::wstring MarkupSlashes(std::wstring_view text);

// The words the layout shows, as plain text for a reader (a screen reader's name of a row): the
// tags it acts on are gone, a line or paragraph break is a space, an opening tag it does not know
// stays as the text it is drawn as, and slashes are as shown. The entities &amp; &lt; &gt;
// &quot; &apos; &nbsp; and &#N; / &#xH; are decoded (the layout shows the first three as their
// characters, which is how the rows hold registry text (EscapeMarkup), and draws the others as
// written). White space is one space between words, none at either end.
[[nodiscard]] std::wstring MarkupPlainText(std::wstring_view markup);

}  // namespace qv
