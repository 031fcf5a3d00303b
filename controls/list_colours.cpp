#include "controls/list_colours.h"

#include <algorithm>
#include <cmath>

namespace qv {
namespace {

int Channel(MARKUP_COLOR colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

MARKUP_COLOR Mix(MARKUP_COLOR from, MARKUP_COLOR to, int sixteenths) {
  const auto mix = [&](int shift) {
    return (Channel(from, shift) * (16 - sixteenths) + Channel(to, shift) * sixteenths + 8) / 16;
  };
  return MarkupRgb(mix(0), mix(8), mix(16));
}

}  // namespace

double RelativeLuminance(MARKUP_COLOR colour) {
  return 0.2126 * Linear(Channel(colour, 0)) + 0.7152 * Linear(Channel(colour, 8)) +
         0.0722 * Linear(Channel(colour, 16));
}

double ContrastRatio(MARKUP_COLOR first, MARKUP_COLOR second) {
  const double a = RelativeLuminance(first);
  const double b = RelativeLuminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

MARKUP_COLOR ReadableColour(MARKUP_COLOR colour, MARKUP_COLOR background, MARKUP_COLOR towards,
                            double ratio) {
  for (int step = 0; step <= 16; ++step) {
    const MARKUP_COLOR mixed = Mix(colour, towards, step);
    if (ContrastRatio(mixed, background) >= ratio) return mixed;
  }
  return towards;
}

MARKUP_COLOR ShownMarkupColour(const LIST_COLOURS& colours, MARKUP_COLOR written,
                               bool selectedRow) {
  const MARKUP_COLOR text = selectedRow ? colours.selectionText : colours.text;
  const MARKUP_COLOR background = selectedRow ? colours.selection : colours.background;
  switch (colours.rule) {
    case MARKUP_COLOUR_RULE::kAsWritten:
      return written;
    case MARKUP_COLOUR_RULE::kReadable:
      return ReadableColour(written, background, text);
    case MARKUP_COLOUR_RULE::kTextColour:
      break;
  }
  return text;
}

}  // namespace qv
