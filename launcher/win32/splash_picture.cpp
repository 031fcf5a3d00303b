#include "launcher/win32/splash_picture.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "launcher/launcher_texts.h"
#include "state/state_texts.h"

namespace qv {

namespace {

struct CMemoryDcTraits {
  using Handle = HDC;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::DeleteDC(h); }
};

// Selects an object into a device context for the guard's lifetime.
class CSelection {
 public:
  CSelection(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
  ~CSelection() { ::SelectObject(m_dc, m_previous); }
  CSelection(const CSelection&) = delete;
  CSelection& operator=(const CSelection&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_previous;
};

// Layout, in pixels of the picture at 96 DPI.
constexpr int kEmblemLeft = 34;
constexpr int kEmblemTop = 52;
constexpr int kEmblemSize = 96;
constexpr int kTextLeft = 156;
constexpr int kTextRight = 410;
constexpr int kNameTop = 46;
constexpr int kNameHeight = 50;
constexpr int kRuleTop = 108;
constexpr int kTaglineTop = 118;
constexpr int kTaglineHeight = 16;
constexpr int kVersionTop = 170;
constexpr int kVersionHeight = 12;
constexpr COLORREF kNameColour = RGB(0x1F, 0x3F, 0x7A);
constexpr COLORREF kTaglineColour = RGB(0x5A, 0x6B, 0x85);
constexpr COLORREF kVersionColour = RGB(0x8A, 0x96, 0xA8);
constexpr int kSamplesPerAxis = 4;

enum class EMBLEM_INK { kPaper, kBlue, kWhite };

// The emblem's ink at a point of its unit square (0..1 on both axes, y downwards).
EMBLEM_INK EmblemInkAt(double u, double v) {
  const double dx = u - 0.5;
  const double dy = v - 0.5;
  const double radius = std::sqrt(dx * dx + dy * dy);
  if (radius > 0.5) return EMBLEM_INK::kPaper;
  if (radius >= 0.215 && radius <= 0.325) return EMBLEM_INK::kWhite;
  // The tail: a bar with round ends from inside the ring out across it, down to the right.
  constexpr double kTailFrom = 0.70;
  constexpr double kTailTo = 0.80;
  constexpr double kTailHalfWidth = 0.055;
  const double along =
      std::fmin(std::fmax(((u - kTailFrom) + (v - kTailFrom)) / 2.0, 0.0), kTailTo - kTailFrom);
  const double nearestU = kTailFrom + along - u;
  const double nearestV = kTailFrom + along - v;
  if (nearestU * nearestU + nearestV * nearestV <= kTailHalfWidth * kTailHalfWidth)
    return EMBLEM_INK::kWhite;
  return EMBLEM_INK::kBlue;
}

// Writes the emblem into 32-bit top-down pixels (blue, green, red, unused) of a picture
// `stride` pixels wide, over the white paper already there.
void PaintEmblem(std::uint32_t* pixels, int stride, int left, int top, int size) {
  const int blue[3] = {GetBValue(kEmblemBlue), GetGValue(kEmblemBlue), GetRValue(kEmblemBlue)};
  constexpr int kSamples = kSamplesPerAxis * kSamplesPerAxis;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int sum[3] = {0, 0, 0};
      for (int sy = 0; sy < kSamplesPerAxis; ++sy) {
        for (int sx = 0; sx < kSamplesPerAxis; ++sx) {
          const double u = (x + (sx + 0.5) / kSamplesPerAxis) / size;
          const double v = (y + (sy + 0.5) / kSamplesPerAxis) / size;
          const bool isBlue = EmblemInkAt(u, v) == EMBLEM_INK::kBlue;
          for (int c = 0; c < 3; ++c) sum[c] += isBlue ? blue[c] : 0xFF;
        }
      }
      const auto channel = [&](int c) {
        return static_cast<std::uint32_t>((sum[c] + kSamples / 2) / kSamples);
      };
      pixels[(top + y) * stride + left + x] = channel(0) | (channel(1) << 8) | (channel(2) << 16);
    }
  }
}

CUniqueHandle<CGdiObjectTraits> MakeFont(int pixelHeight, int weight) {
  return CUniqueHandle<CGdiObjectTraits>(
      ::CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                    DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
}

void DrawLine(HDC dc, const CDpiScale& scale, int top, int height, int weight, COLORREF colour,
              std::wstring_view text) {
  CUniqueHandle<CGdiObjectTraits> font = MakeFont(scale(height), weight);
  CSelection selected(dc, font.get());
  ::SetTextColor(dc, colour);
  RECT box{scale(kTextLeft), scale(top), scale(kTextRight), scale(top + height * 2)};
  ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &box,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  CUniqueHandle<CGdiObjectTraits> brush(::CreateSolidBrush(colour));
  RECT box{left, top, right, bottom};
  ::FillRect(dc, &box, static_cast<HBRUSH>(brush.get()));
}

}  // namespace

CUniqueHandle<CGdiObjectTraits> DrawSplashPicture(std::wstring_view version,
                                                  const CDpiScale& scale) {
  const SIZE size = SplashPictureSize(scale);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  CUniqueHandle<CGdiObjectTraits> picture(
      ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  CUniqueHandle<CMemoryDcTraits> dc(::CreateCompatibleDC(nullptr));
  if (!picture || !dc || bits == nullptr) return {};
  const int line = scale.Line();
  {
    CSelection selected(dc.get(), picture.get());
    FillBox(dc.get(), 0, 0, size.cx, size.cy, kSplashLineColour);
    FillBox(dc.get(), line, line, size.cx - line, size.cy - line, RGB(0xFF, 0xFF, 0xFF));
    FillBox(dc.get(), scale(kTextLeft + 2), scale(kRuleTop), scale(kTextRight),
            scale(kRuleTop) + line, kSplashLineColour);
    ::SetBkMode(dc.get(), TRANSPARENT);
    DrawLine(dc.get(), scale, kNameTop, kNameHeight, FW_BOLD, kNameColour, kProductName);
    DrawLine(dc.get(), scale, kTaglineTop, kTaglineHeight, FW_NORMAL, kTaglineColour,
             Tr(kSplashTagline));
    if (!version.empty()) {
      DrawLine(dc.get(), scale, kVersionTop, kVersionHeight, FW_NORMAL, kVersionColour,
               std::wstring(Tr(kSplashVersionPrefix)) + std::wstring(version));
    }
    ::GdiFlush();
  }
  PaintEmblem(static_cast<std::uint32_t*>(bits), size.cx, scale(kEmblemLeft), scale(kEmblemTop),
              scale(kEmblemSize));
  return picture;
}

}  // namespace qv
