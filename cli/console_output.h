// Writing to the standard handles of a console program. On a console the text goes through
// WriteConsoleW, so every character shows whatever the console's code page; redirected to a file
// or a pipe it is written as UTF-8 bytes (text reports with CR LF line ends, as the runtime's text
// mode writes them).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qv {

class CStdStream {
 public:
  // which: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
  explicit CStdStream(DWORD which);

  // Text with "\n" line ends. False when it could not be written whole.
  bool WriteText(std::wstring_view text) const;
  // UTF-8 bytes as they are (to a console: shown as the characters they encode).
  bool WriteUtf8(std::string_view bytes) const;

  [[nodiscard]] bool IsConsole() const { return m_console; }
  // The C runtime's view: _isatty of the stream's descriptor.
  [[nodiscard]] bool IsTerminal() const { return m_terminal; }

 private:
  bool WriteBytes(std::string_view bytes) const;

  HANDLE m_handle;
  bool m_console = false;
  bool m_terminal = false;
};

// Each text as one line "QuarveloCli: <text>" (the start's notices on standard error).
void WriteNotices(const CStdStream& stream, const std::vector<std::wstring>& texts);

// Writes UTF-8 bytes to a new file at the path (created or replaced). Returns the system error
// code, 0 on success.
[[nodiscard]] DWORD WriteUtf8File(const std::wstring& path, std::string_view bytes);

}  // namespace qv
