// The skin's fonts: "Tahoma" at a point size, weight and DPI, made once and kept for the run.
// It touches nothing but the fonts it makes, which go when the library goes.
#include "ui/win32/framework.h"

#include <map>

#include "platform/win32/win32_dpi.h"

namespace qv::ui {
namespace {

struct FONT_KEY {
  int points;
  bool bold;
  int dpi;
  friend bool operator<(const FONT_KEY& a, const FONT_KEY& b) {
    if (a.points != b.points) return a.points < b.points;
    if (a.bold != b.bold) return a.bold < b.bold;
    return a.dpi < b.dpi;
  }
};

// The fonts of the run, released when the library goes.
class CFontCache {
 public:
  ~CFontCache() {
    for (auto& [key, font] : m_fonts) ::DeleteObject(font);
  }
  HFONT Get(int points, bool bold, int dpi) {
    const FONT_KEY key{points, bold, dpi};
    const auto found = m_fonts.find(key);
    if (found != m_fonts.end()) return found->second;
    HFONT font = ::CreateFontW(FontHeightForDpi(points, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                               FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                               L"Tahoma");
    m_fonts[key] = font;
    return font;
  }

 private:
  std::map<FONT_KEY, HFONT> m_fonts;
};

CFontCache& Fonts() {
  static CFontCache cache;
  return cache;
}

}  // namespace

HFONT TahomaFont(int pointSize, bool bold, int dpi) { return Fonts().Get(pointSize, bold, dpi); }

}  // namespace qv::ui
