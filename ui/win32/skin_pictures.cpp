// The pictures the skin draws by code: the health and verdict pictures, the scanning animation's
// frame and the default corner picture of a page. Each is drawn at the size it is shown, into the
// device context it is given, and touches nothing else.
#include "ui/win32/framework.h"

#include <algorithm>
#include <cmath>

#include "ui/win32/skin_drawing.h"

namespace qv::ui {
namespace {

// The default corner picture of a skinned page: three pale blue quarter rings around the
// bottom-right corner, flush with it (96 pixels across at 96 DPI, a ring every 24).
void DrawCornerPictureRings(HDC dc, const RECT& client, const CDpiScale& scale) {
  // A contrast theme has no pale tones: no rings.
  if (CurrentPalette().mode == COLOUR_MODE::kContrast) return;
  const COLORREF rings[] = {Colour(SKIN_COLOUR::kRingOuter), Colour(SKIN_COLOUR::kRingMiddle),
                            Colour(SKIN_COLOUR::kRingInner)};
  constexpr int kOuterRadius = 96;
  constexpr int kRingWidth = 24;
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
  ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  for (int i = 0; i < 3; ++i) {
    const int radius = scale(kOuterRadius - i * kRingWidth);
    HBRUSH brush = ::CreateSolidBrush(rings[i]);
    HGDIOBJ old = ::SelectObject(dc, brush);
    ::Ellipse(dc, client.right - radius, client.bottom - radius, client.right + radius,
              client.bottom + radius);
    ::SelectObject(dc, old);
    ::DeleteObject(brush);
  }
  ::RestoreDC(dc, saved);
}

}  // namespace

void DrawHealthPicture(HDC dc, const RECT& rect, PICTURE picture) {
  const int size = std::min(rect.right - rect.left, rect.bottom - rect.top) - 4;
  const int left = rect.left + (rect.right - rect.left - size) / 2;
  const int top = rect.top + (rect.bottom - rect.top - size) / 2;
  const COLORREF colour = Colour(picture == PICTURE::kGood  ? SKIN_COLOUR::kGood
                                 : picture == PICTURE::kBad ? SKIN_COLOUR::kBad
                                                            : SKIN_COLOUR::kNeutral);
  HBRUSH brush = ::CreateSolidBrush(colour);
  HPEN edge = ::CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  HGDIOBJ oldPen = ::SelectObject(dc, edge);
  ::Ellipse(dc, left, top, left + size, top + size);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  ::DeleteObject(brush);
  ::DeleteObject(edge);

  const int stroke = std::max(2, size / 9);
  HPEN pen = ::CreatePen(PS_SOLID, stroke, Colour(SKIN_COLOUR::kPictureMark));
  oldPen = ::SelectObject(dc, pen);
  auto at = [&](double u, double v) {
    return POINT{left + static_cast<int>(u * size), top + static_cast<int>(v * size)};
  };
  if (picture == PICTURE::kGood) {
    const POINT tick[3] = {at(0.27, 0.52), at(0.44, 0.69), at(0.74, 0.33)};
    ::Polyline(dc, tick, 3);
  } else if (picture == PICTURE::kBad) {
    const POINT a[2] = {at(0.32, 0.32), at(0.68, 0.68)};
    const POINT b[2] = {at(0.68, 0.32), at(0.32, 0.68)};
    ::Polyline(dc, a, 2);
    ::Polyline(dc, b, 2);
  } else {
    DrawCaption(dc, RECT{left, top, left + size, top + size}, L"?", TahomaFont(size / 3, true),
                Colour(SKIN_COLOUR::kPictureMark), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  ::SelectObject(dc, oldPen);
  ::DeleteObject(pen);
}

void DrawScanAnimation(HDC dc, const RECT& rect, int frame, const CDpiScale& scale) {
  // Eight dots on a circle; the lit one goes round.
  const int cx = (rect.left + rect.right) / 2;
  const int cy = (rect.top + rect.bottom) / 2;
  const int dot = scale(4);
  const int radius = std::min(rect.right - rect.left, rect.bottom - rect.top) / 2 - scale(6);
  for (int i = 0; i < 8; ++i) {
    const double angle = i * 3.14159265358979 / 4;
    const int x = cx + static_cast<int>(radius * std::cos(angle));
    const int y = cy + static_cast<int>(radius * std::sin(angle));
    const int age = (frame - i + 8) % 8;
    const int shade = std::min(255, 0x40 + age * 0x1C);
    // The skin's dots fade from its blue; in the other modes they are one colour but the lit one.
    const COLORREF colour = age == 0 ? Colour(SKIN_COLOUR::kAnimationLit)
                            : CurrentPalette().mode == COLOUR_MODE::kLight
                                ? RGB(shade, shade, 0xFF)
                                : Colour(SKIN_COLOUR::kAnimationDim);
    HBRUSH brush = ::CreateSolidBrush(colour);
    HPEN pen = ::CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = ::SelectObject(dc, brush);
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    ::Ellipse(dc, x - dot, y - dot, x + dot, y + dot);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(brush);
    ::DeleteObject(pen);
  }
}

void DrawCornerPicture(HDC dc, const RECT& client, const CDpiScale& scale) {
  DrawCornerPictureRings(dc, client, scale);
}

}  // namespace qv::ui
