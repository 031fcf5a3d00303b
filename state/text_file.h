// 8-bit text files with CR LF line ends: the one way every file of the system is written (backup
// files, shortcut lists, the activity log, ignore lists) and read back.
//
// On disk: the system's 8-bit code page (IFileSystem::ToCodePage), no byte-order mark, and every
// "\n" of the text as CR LF, the way a text-mode stream of the C runtime writes it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"
#include "platform/file_system.h"

namespace qv {

class CTextWriter {
 public:
  // Takes ownership of an open file; `files` supplies the code page conversion and must outlive
  // the writer.
  CTextWriter(IFileSystem& files, std::unique_ptr<IFile> file);
  // Writes what is still buffered (errors cannot be reported here: call Close() to see them).
  ~CTextWriter();

  CTextWriter(const CTextWriter&) = delete;
  CTextWriter& operator=(const CTextWriter&) = delete;
  CTextWriter(CTextWriter&&) noexcept;
  CTextWriter& operator=(CTextWriter&&) = delete;

  // Converts the text to the code page and each "\n" to "\r\n" ("\r\n" in the text becomes
  // "\r\r\n", as in a text-mode stream). The bytes are buffered; they reach the file when the
  // buffer fills, on Flush() and on Close(). Returns the first error met by this writer so far:
  // once a write to the file has failed every later call returns that error and writes nothing.
  // Text that the code page conversion turns into nothing (the conversion failed) is such an
  // error too: kErrorInvalidData, and nothing more is written.
  [[nodiscard]] ErrorCode Write(std::wstring_view text);
  // Hands everything written so far to the file and asks the system to put it on the disk.
  [[nodiscard]] ErrorCode Flush();
  // Hands the rest to the file and closes it. Returns the first error of the writer's life.
  // Later writes fail with kErrorInvalidHandle.
  [[nodiscard]] ErrorCode Close();

  // False once any character written so far had no form of its own in the code page.
  [[nodiscard]] bool Lossless() const { return m_lossless; }
  [[nodiscard]] bool IsOpen() const { return m_file != nullptr; }
  // Bytes accepted so far (after conversion), whether or not they have reached the file yet.
  [[nodiscard]] std::size_t BytesWritten() const { return m_bytesWritten; }

 private:
  ErrorCode PushBuffer();

  IFileSystem* m_files;
  std::unique_ptr<IFile> m_file;
  std::string m_buffer;
  std::wstring m_pending;  // a high surrogate waiting for its partner (16-bit wchar_t only)
  std::size_t m_bytesWritten = 0;
  ErrorCode m_error = kErrorSuccess;
  bool m_lossless = true;
};

// Opens `path` with the mode and sharing given and wraps it in a writer (*writer is left unchanged
// on failure).
[[nodiscard]] ErrorCode OpenTextWriter(IFileSystem& files, std::wstring_view path,
                                       FileOpenMode mode, FileShareMode share,
                                       std::unique_ptr<CTextWriter>* writer);

// The text converted as CTextWriter writes it: code page bytes with CR LF line ends.
[[nodiscard]] std::string EncodeText(IFileSystem& files, std::wstring_view text,
                                     bool* lossless = nullptr);

// Splits text into lines at "\n", dropping one "\r" before it (so CR LF and LF files read the
// same). A last line without a line end is kept; a line end at the very end adds no empty line.
[[nodiscard]] std::vector<std::wstring> SplitLines(std::wstring_view text);

// Reads a whole file's bytes as they are on disk.
[[nodiscard]] ErrorCode ReadFileBytes(IFileSystem& files, std::wstring_view path, std::string* bytes);
// Reads a whole 8-bit file and converts it from the code page (no line splitting).
// kErrorInvalidData when bytes convert to no text (the conversion failed).
[[nodiscard]] ErrorCode ReadTextFile(IFileSystem& files, std::wstring_view path,
                                     std::wstring* text);
// Reads a whole 8-bit file as lines (ReadTextFile, then SplitLines).
[[nodiscard]] ErrorCode ReadTextLines(IFileSystem& files, std::wstring_view path,
                                      std::vector<std::wstring>* lines);

}  // namespace qv
