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

constexpr COLORREF kBoxBorder = RGB(80, 80, 80);
constexpr COLORREF kBoxFill = RGB(255, 255, 255);
constexpr COLORREF kTick = RGB(24, 24, 24);
constexpr COLORREF kPartFill = RGB(110, 110, 110);
constexpr COLORREF kMarkerBorder = RGB(128, 128, 128);
constexpr COLORREF kMarkerSign = RGB(24, 24, 24);

// A check box is 13 pixels square, one pixel from the left and centred in height, so it is
// centred on its row and lies inside the click areas of both row kinds; a marker box is 11 pixels
// square in the middle of its picture.
constexpr RECT kCheckBox{1, 2, 14, 15};
constexpr RECT kMarkerBox{3, 3, 14, 14};

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  const CGdiObject brush(CreateSolidBrush(color));
  if (brush) FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF color) {
  const CGdiObject brush(CreateSolidBrush(color));
  if (brush) FrameRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void DrawBox(HDC dc, const RECT& box, COLORREF border) {
  FillSolid(dc, box, kBoxFill);
  FrameSolid(dc, box, border);
}

// A tick three pixels thick: down from (4, 7) to (6, 9), then up to (10, 5).
void DrawTick(HDC dc) {
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i <= 2; ++i) SetPixel(dc, 4 + i, 7 + i + t, kTick);
    for (int i = 1; i <= 4; ++i) SetPixel(dc, 6 + i, 9 - i + t, kTick);
  }
}

void DrawPicture(HDC dc, PICTURE picture) {
  switch (picture) {
    case kPictureUnchecked: DrawBox(dc, kCheckBox, kBoxBorder); break;
    case kPictureChecked:
      DrawBox(dc, kCheckBox, kBoxBorder);
      DrawTick(dc);
      break;
    case kPicturePartlyChecked:
      DrawBox(dc, kCheckBox, kBoxBorder);
      FillSolid(dc, RECT{4, 5, 11, 12}, kPartFill);
      break;
    case kPictureUnfolded:
    case kPictureFolded:
      DrawBox(dc, kMarkerBox, kMarkerBorder);
      FillSolid(dc, RECT{5, 8, 12, 9}, kMarkerSign);
      if (picture == kPictureFolded) FillSolid(dc, RECT{8, 5, 9, 12}, kMarkerSign);
      break;
  }
}

const RECT& OpaqueRect(PICTURE picture) {
  return picture == kPictureUnfolded || picture == kPictureFolded ? kMarkerBox : kCheckBox;
}

// Adds one picture: its colour bitmap (black where the mask lets the background through, as the
// image list's drawing expects) and its mask (set bits: background).
bool AddPicture(HIMAGELIST list, PICTURE picture) {
  const CMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kImageSize;
  info.bmiHeader.biHeight = -kImageSize;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const CGdiObject colour(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const CGdiObject mask(CreateBitmap(kImageSize, kImageSize, 1, 1, nullptr));
  if (!colour || !mask) return false;
  const RECT whole{0, 0, kImageSize, kImageSize};
  {
    const CSelectedObject selected(dc.get(), colour.get());
    FillSolid(dc.get(), whole, RGB(0, 0, 0));
    DrawPicture(dc.get(), picture);
  }
  {
    const CSelectedObject selected(dc.get(), mask.get());
    PatBlt(dc.get(), 0, 0, kImageSize, kImageSize, WHITENESS);
    const RECT& opaque = OpaqueRect(picture);
    PatBlt(dc.get(), opaque.left, opaque.top, opaque.right - opaque.left,
           opaque.bottom - opaque.top, BLACKNESS);
  }
  // The list copies both bitmaps; ours are deleted when this returns.
  return ImageList_Add(list, static_cast<HBITMAP>(colour.get()),
                       static_cast<HBITMAP>(mask.get())) >= 0;
}

}  // namespace

CImageList CreateListImages(HTMLLIST_KIND kind) {
  const std::vector<PICTURE> pictures =
      kind == kResultsList
          ? std::vector<PICTURE>{kPictureUnchecked, kPictureChecked, kPicturePartlyChecked,
                                 kPictureUnfolded, kPictureFolded}
          : std::vector<PICTURE>{kPictureUnchecked, kPictureChecked, kPictureUnfolded,
                                 kPictureFolded};
  CImageList list(ImageList_Create(kImageSize, kImageSize, ILC_COLOR32 | ILC_MASK,
                                   static_cast<int>(pictures.size()), 0));
  if (!list) return list;
  for (const PICTURE picture : pictures) {
    if (!AddPicture(list.get(), picture)) return CImageList();
  }
  return list;
}

}  // namespace qv
