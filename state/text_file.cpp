#include "state/text_file.h"

#include <utility>

namespace qv {

TextEncoder CodePageEncoder(IFileSystem& files) {
  return [&files](std::wstring_view text, std::string* bytes, bool* lossless) {
    return files.ToCodePage(text, bytes, lossless);
  };
}

CTextWriter::CTextWriter(IFileSystem& files, std::unique_ptr<IFile> file)
    : CCrLfWriter(CodePageEncoder(files), std::move(file)) {}

ErrorCode OpenTextWriter(IFileSystem& files, std::wstring_view path, FileOpenMode mode,
                         FileShareMode share, std::unique_ptr<CTextWriter>* writer) {
  std::unique_ptr<IFile> file;
  const ErrorCode rc = files.OpenFile(path, mode, share, &file);
  if (rc != kErrorSuccess) return rc;
  if (file == nullptr) return kErrorInvalidHandle;
  *writer = std::make_unique<CTextWriter>(files, std::move(file));
  return kErrorSuccess;
}

ErrorCode EncodeText(IFileSystem& files, std::wstring_view text, std::string* bytes,
                     bool* lossless) {
  std::wstring crlf;
  crlf.reserve(text.size() + text.size() / 16 + 2);
  for (const wchar_t c : text) {
    if (c == L'\n') crlf.push_back(L'\r');
    crlf.push_back(c);
  }
  return files.ToCodePage(crlf, bytes, lossless);
}

std::vector<std::wstring> SplitLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(L'\n', start);
    if (end == std::wstring_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    std::wstring_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

ErrorCode ReadFileBytes(IFileSystem& files, std::wstring_view path, std::string* bytes) {
  std::unique_ptr<IFile> file;
  const ErrorCode rc = files.OpenFile(path, FileOpenMode::kRead, FileShareMode::kShareAll, &file);
  if (rc != kErrorSuccess) return rc;
  if (file == nullptr) return kErrorInvalidHandle;
  return file->ReadAll(bytes);
}

ErrorCode ReadTextFile(IFileSystem& files, std::wstring_view path, std::wstring* text) {
  std::string bytes;
  const ErrorCode rc = ReadFileBytes(files, path, &bytes);
  if (rc != kErrorSuccess) return rc;
  if (bytes.empty()) {
    text->clear();
    return kErrorSuccess;
  }
  return files.FromCodePage(bytes, text);
}

ErrorCode ReadTextLines(IFileSystem& files, std::wstring_view path,
                        std::vector<std::wstring>* lines) {
  std::wstring text;
  const ErrorCode rc = ReadTextFile(files, path, &text);
  if (rc != kErrorSuccess) return rc;
  *lines = SplitLines(text);
  return kErrorSuccess;
}

}  // namespace qv
