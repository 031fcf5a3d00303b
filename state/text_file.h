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

#include "base/errors.h"
#include "base/text_writer.h"
#include "platform/file_system.h"

namespace qv {

// The 8-bit form: CCrLfWriter with the file system's code page as its encoder.
class CTextWriter final : public CCrLfWriter {
 public:
  // Takes ownership of an open file; `files` supplies the code page conversion and must outlive
  // the writer.
  CTextWriter(IFileSystem& files, std::unique_ptr<IFile> file);
};

// The code page encoder of CTextWriter (IFileSystem::ToCodePage); `files` must outlive it.
[[nodiscard]] TextEncoder CodePageEncoder(IFileSystem& files);

// Opens `path` with the mode and sharing given and wraps it in a writer (*writer is left unchanged
// on failure).
[[nodiscard]] ErrorCode OpenTextWriter(IFileSystem& files, std::wstring_view path,
                                       FileOpenMode mode, FileShareMode share,
                                       std::unique_ptr<CTextWriter>* writer);

// The text converted as CTextWriter writes it: code page bytes with CR LF line ends. Returns 0 or
// the conversion's error.
[[nodiscard]] ErrorCode EncodeText(IFileSystem& files, std::wstring_view text, std::string* bytes,
                                   bool* lossless = nullptr);

// Splits text into lines at "\n", dropping one "\r" before it (so CR LF and LF files read the
// same). A last line without a line end is kept; a line end at the very end adds no empty line.
[[nodiscard]] std::vector<std::wstring> SplitLines(std::wstring_view text);

// Reads a whole file's bytes as they are on disk.
[[nodiscard]] ErrorCode ReadFileBytes(IFileSystem& files, std::wstring_view path, std::string* bytes);
// Reads a whole 8-bit file and converts it from the code page (no line splitting). The
// conversion's error when the bytes cannot be converted.
[[nodiscard]] ErrorCode ReadTextFile(IFileSystem& files, std::wstring_view path,
                                     std::wstring* text);
// Reads a whole 8-bit file as lines (ReadTextFile, then SplitLines).
[[nodiscard]] ErrorCode ReadTextLines(IFileSystem& files, std::wstring_view path,
                                      std::vector<std::wstring>* lines);

}  // namespace qv
