#include "controls/win32/list_images.h"

#include <vector>

namespace qv {

namespace {

enum PICTURE {
  kPictureUnchecked,
  kPictureChecked,
  kPicturePartlyChecked,
  kPictureUnfolded,
  kPictureFolded,
};

COLORREF Gdi(MARKUP_COLOR colour) { return static_cast<COLORREF>(colour); }

// The shapes on the 16-pixel grid of 96 DPI. A check box is 13 pixels square at (1, 2), so it is
// centred on its row and lies inside the click areas of both row kinds; a partly checked box
// holds a square 3 pixels in from its edge. A marker box is 11 pixels square at (3, 3), its sign
// 2 pixels in from its edge. The tick runs through the pixel centres (4.5, 8.5), (6.5, 10.5) and
// (10.5, 6.5), 3 pixels high.
constexpr int kGrid = 16;
constexpr int kCheckLeft = 1;
constexpr int kCheckTop = 2;
constexpr int kCheckSide = 13;
constexpr int kPartInset = 3;
constexpr int kMarkerLeft = 3;
constexpr int kMarkerSide = 11;
constexpr int kSignInset = 2;
constexpr double kTickFirstU = 4.0;
constexpr double kTickEndU = 11.0;
constexpr double kTickBendU = 6.5;
constexpr double kTickHalfHeight = 1.5;

// A picture of `size` pixels: lengths of the grid at that size, rounded to whole pixels.
class CPictureScale {
 public:
  explicit CPictureScale(int size) : m_size(size) {}
  [[nodiscard]] int operator()(int gridLength) const {
    return (gridLength * m_size + kGrid / 2) / kGrid;
  }
  [[nodiscard]] double Grid(double pixel) const { return pixel * kGrid / m_size; }
  // Lines one pixel wide at 96 DPI: one pixel up to 175 %, two at 200 %.
  [[nodiscard]] int Line() const { return m_size / kGrid > 1 ? m_size / kGrid : 1; }
  [[nodiscard]] int Size() const { return m_size; }

 private:
  int m_size;
};

RECT CheckBox(const CPictureScale& at) {
  const int left = at(kCheckLeft);
  const int top = at(kCheckTop);
  return RECT{left, top, left + at(kCheckSide), top + at(kCheckSide)};
}

RECT MarkerBox(const CPictureScale& at) {
  const int left = at(kMarkerLeft);
  return RECT{left, left, left + at(kMarkerSide), left + at(kMarkerSide)};
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  const CGdiObject brush(CreateSolidBrush(color));
  if (brush) FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void DrawBox(HDC dc, const RECT& box, COLORREF border, COLORREF fill, int line) {
  FillSolid(dc, box, border);
  RECT inside = box;
  InflateRect(&inside, -line, -line);
  FillSolid(dc, inside, fill);
}

// The tick, column by column: a pixel is ink when its centre lies within half the tick's height
// of the tick's centre line, both measured on the grid. At 16 pixels this sets exactly the
// pixels of the 96-DPI tick; at any other size it is drawn there, not scaled from it.
void DrawTick(HDC dc, const CPictureScale& at, COLORREF tick) {
  for (int x = 0; x < at.Size(); ++x) {
    const double u = at.Grid(x + 0.5);
    if (u < kTickFirstU || u >= kTickEndU) continue;
    const double middle = u <= kTickBendU ? u + 4.0 : 17.0 - u;
    for (int y = 0; y < at.Size(); ++y) {
      const double v = at.Grid(y + 0.5);
      if (v - middle < kTickHalfHeight && middle - v < kTickHalfHeight) SetPixel(dc, x, y, tick);
    }
  }
}

void DrawSign(HDC dc, const CPictureScale& at, bool plus, COLORREF sign) {
  const RECT box = MarkerBox(at);
  const int side = box.right - box.left;
  const int line = at.Line();
  const int inset = at(kSignInset);
  const int across = box.top + (side - line) / 2;
  FillSolid(dc, RECT{box.left + inset, across, box.right - inset, across + line}, sign);
  if (plus) {
    const int down = box.left + (side - line) / 2;
    FillSolid(dc, RECT{down, box.top + inset, down + line, box.bottom - inset}, sign);
  }
}

void DrawPicture(HDC dc, PICTURE picture, const CPictureScale& at, const LIST_COLOURS& c) {
  switch (picture) {
    case kPictureUnchecked: DrawBox(dc, CheckBox(at), Gdi(c.boxEdge), Gdi(c.boxFill), at.Line()); break;
    case kPictureChecked:
      DrawBox(dc, CheckBox(at), Gdi(c.boxEdge), Gdi(c.boxFill), at.Line());
      DrawTick(dc, at, Gdi(c.tick));
      break;
    case kPicturePartlyChecked: {
      const RECT box = CheckBox(at);
      DrawBox(dc, box, Gdi(c.boxEdge), Gdi(c.boxFill), at.Line());
      RECT part = box;
      InflateRect(&part, -at(kPartInset), -at(kPartInset));
      FillSolid(dc, part, Gdi(c.partFill));
      break;
    }
    case kPictureUnfolded:
    case kPictureFolded:
      DrawBox(dc, MarkerBox(at), Gdi(c.markerEdge), Gdi(c.boxFill), at.Line());
      DrawSign(dc, at, picture == kPictureFolded, Gdi(c.markerSign));
      break;
  }
}

RECT OpaqueRect(PICTURE picture, const CPictureScale& at) {
  return picture == kPictureUnfolded || picture == kPictureFolded ? MarkerBox(at) : CheckBox(at);
}

// Adds one picture: its colour bitmap (black where the mask lets the background through, as the
// image list's drawing expects) and its mask (set bits: background).
bool AddPicture(HIMAGELIST list, PICTURE picture, int size, const LIST_COLOURS& colours) {
  const CPictureScale at(size);
  const CMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const CGdiObject colour(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const CGdiObject mask(CreateBitmap(size, size, 1, 1, nullptr));
  if (!colour || !mask) return false;
  const RECT whole{0, 0, size, size};
  {
    const CSelectedObject selected(dc.get(), colour.get());
    FillSolid(dc.get(), whole, RGB(0, 0, 0));
    DrawPicture(dc.get(), picture, at, colours);
  }
  {
    const CSelectedObject selected(dc.get(), mask.get());
    PatBlt(dc.get(), 0, 0, size, size, WHITENESS);
    const RECT opaque = OpaqueRect(picture, at);
    PatBlt(dc.get(), opaque.left, opaque.top, opaque.right - opaque.left,
           opaque.bottom - opaque.top, BLACKNESS);
  }
  // The list copies both bitmaps; ours are deleted when this returns.
  return ImageList_Add(list, static_cast<HBITMAP>(colour.get()),
                       static_cast<HBITMAP>(mask.get())) >= 0;
}

}  // namespace

CImageList CreateListImages(HTMLLIST_KIND kind, int size, const LIST_COLOURS& colours) {
  const std::vector<PICTURE> pictures =
      kind == kResultsList
          ? std::vector<PICTURE>{kPictureUnchecked, kPictureChecked, kPicturePartlyChecked,
                                 kPictureUnfolded, kPictureFolded}
          : std::vector<PICTURE>{kPictureUnchecked, kPictureChecked, kPictureUnfolded,
                                 kPictureFolded};
  CImageList list(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK,
                                   static_cast<int>(pictures.size()), 0));
  if (!list) return list;
  for (const PICTURE picture : pictures) {
    if (!AddPicture(list.get(), picture, size, colours)) return CImageList();
  }
  return list;
}

}  // namespace qv
