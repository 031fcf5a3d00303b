// Ends the way its argument says, under the console's crash guard: "overflow" (a stack overflow
// by endless recursion), "access" (an access violation), "throw" (a C++ exception nobody
// catches). Any other argument: exit code 0.
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "cli/crash_guard.h"

namespace {

int Deeper(volatile int* depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(*depth);
  *depth = *depth + 1;
  if (*depth < 0) return frame[0];  // never: the count only grows until the stack is gone
  return Deeper(depth) + frame[0];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  qv::InstallCrashGuard();
  const std::wstring_view how = argc > 1 ? argv[1] : L"";
  if (how == L"overflow") {
    volatile int depth = 0;
    return Deeper(&depth);
  }
  if (how == L"access") {
    volatile std::uintptr_t nowhere = 8;
    *reinterpret_cast<volatile int*>(nowhere) = 1;
    return 3;
  }
  if (how == L"throw") throw std::runtime_error("nobody catches this");
  return 0;
}
