// The RAII pieces the list controls draw with, beside the platform's handle traits:
//   CUniqueHandle<CMemoryDcTraits>   memory device contexts (CreateCompatibleDC; DeleteDC)
//   CUniqueHandle<CWindowDcTraits>   a window's device context (GetDC; ReleaseDC to that window)
//   CUniqueHandle<CImageListTraits>  image lists (ImageList_Create; ImageList_Destroy)
//   CSelectedObject                  an object selected into a device context for one scope; the
//                                    object it replaced goes back in when the scope ends
//   CSavedDc                         SaveDC ... RestoreDC around a scope (clip region, colours)
// Fonts, bitmaps, brushes and pens are CUniqueHandle<CGdiObjectTraits> (platform/win32). An
// object must be out of every device context before it is deleted: declare the CUniqueHandle
// that owns it before the CSelectedObject that selects it, so the selection ends first.
#pragma once

#include <windows.h>
// after windows.h: it needs its declarations
#include <commctrl.h>

#include "base/unique_handle.h"
#include "platform/win32/win32_handles.h"

namespace qv {

struct CMemoryDcTraits {
  using Handle = HDC;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::DeleteDC(h); }
};
using CMemoryDc = CUniqueHandle<CMemoryDcTraits>;

struct CWindowDcTraits {
  using Handle = HDC;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::ReleaseDC(window, h); }
  HWND window = nullptr;  // the window GetDC was called for (null: the screen)
};
using CWindowDc = CUniqueHandle<CWindowDcTraits>;

// GetDC(window) that releases itself; invalid when GetDC fails.
[[nodiscard]] inline CWindowDc GetWindowDc(HWND window) noexcept {
  return CWindowDc(::GetDC(window), CWindowDcTraits{window});
}

struct CImageListTraits {
  using Handle = HIMAGELIST;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::ImageList_Destroy(h); }
};
using CImageList = CUniqueHandle<CImageListTraits>;

using CGdiObject = CUniqueHandle<CGdiObjectTraits>;

class CSelectedObject {
 public:
  // Selects the object (nothing when it or the device context is null).
  CSelectedObject(HDC dc, HGDIOBJ object) noexcept
      : m_dc(dc),
        m_old(dc != nullptr && object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
  ~CSelectedObject() {
    if (m_old != nullptr && m_old != HGDI_ERROR) ::SelectObject(m_dc, m_old);
  }
  CSelectedObject(const CSelectedObject&) = delete;
  CSelectedObject& operator=(const CSelectedObject&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

class CSavedDc {
 public:
  explicit CSavedDc(HDC dc) noexcept : m_dc(dc), m_saved(::SaveDC(dc)) {}
  ~CSavedDc() {
    if (m_saved != 0) ::RestoreDC(m_dc, m_saved);
  }
  CSavedDc(const CSavedDc&) = delete;
  CSavedDc& operator=(const CSavedDc&) = delete;

 private:
  HDC m_dc;
  int m_saved;
};

}  // namespace qv
