// Whether the program runs under Wine rather than Windows. The Win32 implementations use it in
// the few places where Wine's behaviour differs in a way the system would notice (for example
// its registry editor knows no /i switch), so everything above the seam stays as on Windows.
#pragma once

#include <windows.h>

namespace qv {

inline bool IsRunningOnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace qv
