// CUniqueHandle traits for the Win32 handle kinds the platform uses, so nothing is ever closed by
// hand on a return path:
//   CUniqueHandle<CWin32FileTraits>   file handles (CreateFileW; empty = INVALID_HANDLE_VALUE)
//   CUniqueHandle<CWin32HandleTraits> other kernel handles (processes, events; empty = null)
//   CUniqueHandle<CWin32FindTraits>   FindFirstFileW searches (FindClose)
//   CUniqueHandle<CWin32KeyTraits>    HKEY (RegCloseKey; predefined roots are never closed)
//   CUniqueHandle<CWin32ModuleTraits> LoadLibraryW modules (FreeLibrary)
//   CUniqueHandle<CWin32WindowTraits> windows this code created (DestroyWindow)
//   CUniqueHandle<CGdiObjectTraits>   fonts, bitmaps, brushes, pens (DeleteObject)
//   CUniqueHandle<CIconTraits>        icons loaded or made as copies (DestroyIcon)
//   CComPtr<I>                        COM interface pointers (Release); put() for out-parameters
//                                     of CoCreateInstance and QueryInterface
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

namespace qv {

struct CWin32FileTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct CWin32HandleTraits {
  using Handle = HANDLE;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct CWin32FindTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  void Close(Handle h) noexcept { ::FindClose(h); }
};

struct CWin32KeyTraits {
  using Handle = HKEY;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept {
    // Predefined roots (sign-extended 0x80000000-0x80000006) are not closed.
    const auto value = reinterpret_cast<ULONG_PTR>(h);
    if ((value & 0xFFFFFFF0u) != 0x80000000u) ::RegCloseKey(h);
  }
};

struct CWin32ModuleTraits {
  using Handle = HMODULE;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::FreeLibrary(h); }
};

struct CWin32WindowTraits {
  using Handle = HWND;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::DestroyWindow(h); }
};

struct CGdiObjectTraits {
  using Handle = HGDIOBJ;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::DeleteObject(h); }
};

struct CIconTraits {
  using Handle = HICON;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::DestroyIcon(h); }
};

template <typename Interface>
struct CComPtrTraits {
  using Handle = Interface*;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { h->Release(); }
};

// A COM interface pointer, released when it goes out of scope.
template <typename Interface>
using CComPtr = CUniqueHandle<CComPtrTraits<Interface>>;

// The void** out-parameter form of put() that CoCreateInstance and QueryInterface take.
template <typename Interface>
[[nodiscard]] void** PutVoid(CComPtr<Interface>& pointer) noexcept {
  return reinterpret_cast<void**>(pointer.put());
}

}  // namespace qv
