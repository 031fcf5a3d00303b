// The colours of the markup lists, and the contrast of text against its background.
//
// A list draws with one of three sets: the product's light one (white rows, the selection colour
// RGB(97, 174, 252), black text, every markup colour as written); a dark one for Windows' dark app
// mode, where each markup colour is made readable on the row it is drawn on; or the system's
// colours of a contrast theme, where every word is in the row's text colour and nothing of the
// product's palette is left (the risk column still reads LOW, MEDIUM or HIGH).
#pragma once

#include "controls/control_texts.h"
#include "controls/markup_canvas.h"

namespace qv {

// WCAG 2.1's least contrast of text against its background.
inline constexpr double kReadableContrast = 4.5;

// What a list does with the colours of its rows' markup.
enum class MARKUP_COLOUR_RULE {
  kAsWritten,   // drawn as written
  kReadable,    // each moved towards the row's text colour until it stands at kReadableContrast
  kTextColour,  // all of them in the row's text colour
};

struct LIST_COLOURS {
  MARKUP_COLOR background;
  MARKUP_COLOR text;
  MARKUP_COLOR selection;      // the background of the selected row
  MARKUP_COLOR selectionText;  // its text
  MARKUP_COLOUR_RULE rule;
  // The pictures: check boxes (edge, inside, tick and the square of a partly checked box) and the
  // fold markers (edge and sign).
  MARKUP_COLOR boxEdge;
  MARKUP_COLOR boxFill;
  MARKUP_COLOR tick;
  MARKUP_COLOR partFill;
  MARKUP_COLOR markerEdge;
  MARKUP_COLOR markerSign;
  friend bool operator==(const LIST_COLOURS&, const LIST_COLOURS&) = default;
};

// The product's own colours.
inline constexpr LIST_COLOURS kLightListColours{
    kRowBackgroundColor,   MarkupRgb(0, 0, 0),      kSelectionColor,
    MarkupRgb(0, 0, 0),    MARKUP_COLOUR_RULE::kAsWritten,
    MarkupRgb(80, 80, 80), MarkupRgb(255, 255, 255), MarkupRgb(24, 24, 24),
    MarkupRgb(110, 110, 110), MarkupRgb(128, 128, 128), MarkupRgb(24, 24, 24)};

// The relative luminance of a colour and the contrast ratio of two, as WCAG 2.1 defines them
// (1 to 21).
[[nodiscard]] double RelativeLuminance(MARKUP_COLOR colour);
[[nodiscard]] double ContrastRatio(MARKUP_COLOR first, MARKUP_COLOR second);

// The colour as it is, when it stands at `ratio` against the background; otherwise mixed with
// `towards` (a text colour that does) in the least steps of a sixteenth that reach it.
[[nodiscard]] MARKUP_COLOR ReadableColour(MARKUP_COLOR colour, MARKUP_COLOR background,
                                          MARKUP_COLOR towards, double ratio = kReadableContrast);

// The colour a word written in `written` is drawn in on a row of the list: its background and
// text colour are the selection's for the selected row.
[[nodiscard]] MARKUP_COLOR ShownMarkupColour(const LIST_COLOURS& colours, MARKUP_COLOR written,
                                             bool selectedRow);

}  // namespace qv
