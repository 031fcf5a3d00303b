// CUniqueHandle traits for the Win32 handle kinds the platform uses, so nothing is ever closed by
// hand on a return path:
//   CUniqueHandle<CWin32FileTraits>   file handles (CreateFileW; empty = INVALID_HANDLE_VALUE)
//   CUniqueHandle<CWin32HandleTraits> other kernel handles (processes, events; empty = null)
//   CUniqueHandle<CWin32FindTraits>   FindFirstFileW searches (FindClose)
//   CUniqueHandle<CWin32KeyTraits>    HKEY (RegCloseKey; predefined roots are never closed)
//   CUniqueHandle<CWin32ModuleTraits> LoadLibraryW modules (FreeLibrary)
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

}  // namespace qv
