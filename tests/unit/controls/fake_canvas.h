// A canvas of fixed metrics for the control tests: every character is 6 pixels wide (8 in bold,
// half as wide in subscript or superscript) and lines are 10 pixels high (7 in subscript or
// superscript). It records every word drawn, and shortens a path by cutting its end to "...".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "controls/html_list.h"
#include "controls/markup_canvas.h"

namespace qv {

struct DRAWN_WORD {
  MARKUP_FONT font;
  MARKUP_COLOR color;
  std::wstring word;
  MARKUP_RECT box;
  unsigned format;
};

class CFakeCanvas : public IListCanvas {
 public:
  static constexpr int kCharWidth = 6;
  static constexpr int kLineHeight = 10;

  MARKUP_SIZE BaseTextExtent(std::wstring_view text) override {
    return {static_cast<int>(text.size()) * kCharWidth, kLineHeight};
  }
  MARKUP_SIZE TextExtent(MARKUP_FONT font, std::wstring_view text) override {
    int width = (font & kMarkupBold) != 0 ? 8 : kCharWidth;
    int height = kLineHeight;
    if ((font & (kMarkupSubscript | kMarkupSuperscript)) != 0) {
      width /= 2;
      height = height * 7 / 10;
    }
    return {static_cast<int>(text.size()) * width, height};
  }
  void DrawWord(MARKUP_FONT font, MARKUP_COLOR color, std::wstring_view word,
                const MARKUP_RECT& box, unsigned format) override {
    drawn.push_back({font, color, std::wstring(word), box, format});
  }
  std::wstring CompactPath(std::wstring_view text, int width) override {
    const auto fits = static_cast<std::size_t>(width < 0 ? 0 : width / kCharWidth);
    if (text.size() <= fits) return std::wstring(text);
    return std::wstring(text.substr(0, fits < 3 ? 0 : fits - 3)) + L"...";
  }
  MARKUP_POINT CurrentPosition() const override { return position; }
  int DeviceWidth() const override { return deviceWidth; }
  MARKUP_COLOR TextColor() const override { return textColor; }

  std::vector<DRAWN_WORD> drawn;
  MARKUP_POINT position{};
  int deviceWidth = 1000;
  MARKUP_COLOR textColor = MarkupRgb(1, 2, 3);
};

}  // namespace qv
