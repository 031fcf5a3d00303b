#include "cli/console_output.h"

#include <io.h>

#include <algorithm>
#include <cstdio>

#include "base/utf16.h"
#include "cli/report.h"
#include "platform/win32/win32_handles.h"

namespace qv {

CStdStream::CStdStream(DWORD which) : m_handle(GetStdHandle(which)) {
  DWORD mode = 0;
  m_console = m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE &&
              GetConsoleMode(m_handle, &mode) != 0;
  m_terminal = _isatty(which == STD_ERROR_HANDLE ? _fileno(stderr) : _fileno(stdout)) != 0;
}

bool CStdStream::WriteText(std::wstring_view text) const {
  if (m_console) {
    // WriteConsoleW takes at most a few kilobytes well on old systems: write in pieces.
    constexpr std::size_t kPiece = 4096;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
      const std::wstring_view piece = text.substr(at, kPiece);
      DWORD written = 0;
      if (!WriteConsoleW(m_handle, piece.data(), static_cast<DWORD>(piece.size()), &written,
                         nullptr) ||
          written != piece.size()) {
        return false;
      }
    }
    return true;
  }
  std::wstring crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (wchar_t c : text) {
    if (c == L'\n') crlf += L'\r';
    crlf += c;
  }
  return WriteBytes(ToUtf8(crlf));
}

bool CStdStream::WriteUtf8(std::string_view bytes) const {
  if (m_console) return WriteText(FromUtf8(bytes));
  return WriteBytes(bytes);
}

bool CStdStream::WriteBytes(std::string_view bytes) const {
  if (m_handle == nullptr || m_handle == INVALID_HANDLE_VALUE) return false;
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(m_handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

DWORD WriteUtf8File(const std::wstring& path, std::string_view bytes) {
  CUniqueHandle<CWin32FileTraits> file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();
  DWORD error = ERROR_SUCCESS;
  while (!bytes.empty() && error == ERROR_SUCCESS) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
      error = GetLastError();
      if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
    } else {
      bytes.remove_prefix(written);
    }
  }
  // Closing is where a full disk may show: its failure counts.
  if (!CloseHandle(file.release()) && error == ERROR_SUCCESS) error = GetLastError();
  return error;
}

void WriteNotices(const CStdStream& stream, const std::vector<std::wstring>& texts) {
  for (const std::wstring& text : texts) {
    static_cast<void>(stream.WriteText(Message(text)));
  }
}

}  // namespace qv
