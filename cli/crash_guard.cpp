#include "cli/crash_guard.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <exception>

#include "cli/report.h"

namespace qv {
namespace {

// Stack kept in reserve for the guard on the thread that installed it: after a stack overflow,
// Windows gives the handlers only what is left below the guard page, which is not enough to
// write a message.
constexpr ULONG kStackGuaranteeBytes = 64 * 1024;
// STATUS_STACK_OVERFLOW (not every header names it).
constexpr DWORD kStackOverflowCode = 0xC00000FDu;

// Writes the message and ends the process at once. Nothing here allocates or takes a lock that
// the failed code might hold: the message is formatted on the stack and written with WriteFile,
// and TerminateProcess runs no further code of this process (ExitProcess would run the
// libraries' detach code, which may wait for a lock the crashed thread held).
[[noreturn]] void EndUnexpectedly(DWORD code) {
  std::array<char, 256> text{};
  std::size_t length = 0;
  constexpr std::string_view kHexDigits = "0123456789ABCDEF";
  const std::size_t marker = kUnexpectedEndMessage.find("%08X");
  for (std::size_t i = 0; i < kUnexpectedEndMessage.size() && length < text.size(); ++i) {
    if (i == marker) {
      for (int shift = 28; shift >= 0 && length < text.size(); shift -= 4) {
        text[length++] = kHexDigits[(code >> shift) & 0xFu];
      }
      i += 3;
      continue;
    }
    text[length++] = kUnexpectedEndMessage[i];
  }
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error != nullptr && error != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(error, text.data(), static_cast<DWORD>(length), &written, nullptr);
  }
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(kExitError));
  for (;;) ::ExitProcess(static_cast<UINT>(kExitError));  // not reached
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  const DWORD code = info != nullptr && info->ExceptionRecord != nullptr
                         ? info->ExceptionRecord->ExceptionCode
                         : 0;
  EndUnexpectedly(code);
}

// First in line for a stack overflow only: no code of ours handles one, and the search for a
// handler further down would need stack that is no longer there.
LONG WINAPI OnStackOverflow(EXCEPTION_POINTERS* info) {
  if (info != nullptr && info->ExceptionRecord != nullptr &&
      info->ExceptionRecord->ExceptionCode == kStackOverflowCode) {
    EndUnexpectedly(kStackOverflowCode);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void OnTerminate() { EndUnexpectedly(0); }

}  // namespace

void InstallCrashGuard() {
  ULONG guarantee = kStackGuaranteeBytes;
  ::SetThreadStackGuarantee(&guarantee);
  ::AddVectoredExceptionHandler(1, OnStackOverflow);
  ::SetUnhandledExceptionFilter(OnUnhandledException);
  std::set_terminate(OnTerminate);
  // No error box of the system's either: the message above is the whole report.
  ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

}  // namespace qv
