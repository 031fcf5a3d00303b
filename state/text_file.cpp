#include "state/text_file.h"

#include <utility>

namespace qv {
namespace {

// Bytes held before they are handed to the file: large enough that a backup file of many short
// lines costs few system calls, small enough not to matter.
constexpr std::size_t kBufferBytes = 64 * 1024;

bool IsHighSurrogate(wchar_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    return c >= 0xD800 && c <= 0xDBFF;
  } else {
    static_cast<void>(c);
    return false;
  }
}

std::wstring WithCrLf(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 16 + 2);
  for (const wchar_t c : text) {
    if (c == L'\n') out.push_back(L'\r');
    out.push_back(c);
  }
  return out;
}

}  // namespace

CTextWriter::CTextWriter(IFileSystem& files, std::unique_ptr<IFile> file)
    : m_files(&files), m_file(std::move(file)) {}

CTextWriter::CTextWriter(CTextWriter&& other) noexcept
    : m_files(other.m_files),
      m_file(std::move(other.m_file)),
      m_buffer(std::move(other.m_buffer)),
      m_pending(std::move(other.m_pending)),
      m_bytesWritten(other.m_bytesWritten),
      m_error(other.m_error),
      m_lossless(other.m_lossless) {}

CTextWriter::~CTextWriter() {
  if (m_file != nullptr) static_cast<void>(Close());
}

ErrorCode CTextWriter::Write(std::wstring_view text) {
  if (m_file == nullptr) return m_error != kErrorSuccess ? m_error : kErrorInvalidHandle;
  if (m_error != kErrorSuccess) return m_error;
  // A surrogate pair split over two calls is converted as one character: hold back a trailing
  // high surrogate until the next call (or Flush/Close) supplies its partner.
  std::wstring joined;
  if (!m_pending.empty()) {
    joined = m_pending + std::wstring(text);
    m_pending.clear();
    text = joined;
  }
  if (!text.empty() && IsHighSurrogate(text.back())) {
    m_pending.assign(1, text.back());
    text.remove_suffix(1);
  }
  if (text.empty()) return kErrorSuccess;
  bool lossless = true;
  const std::string bytes = EncodeText(*m_files, text, &lossless);
  if (bytes.empty()) {
    // The code page conversion failed: what follows would leave a gap in the file.
    m_error = kErrorInvalidData;
    return m_error;
  }
  m_lossless = m_lossless && lossless;
  m_buffer += bytes;
  m_bytesWritten += bytes.size();
  if (m_buffer.size() >= kBufferBytes) return PushBuffer();
  return kErrorSuccess;
}

ErrorCode CTextWriter::PushBuffer() {
  if (m_error != kErrorSuccess) return m_error;
  if (!m_pending.empty()) {
    // Nothing more will join it: the lone surrogate goes out as the code page renders it.
    bool lossless = true;
    const std::string bytes = m_files->ToCodePage(m_pending, &lossless);
    m_pending.clear();
    if (bytes.empty()) {
      m_error = kErrorInvalidData;
      return m_error;
    }
    m_lossless = m_lossless && lossless;
    m_buffer += bytes;
    m_bytesWritten += bytes.size();
  }
  if (m_buffer.empty()) return kErrorSuccess;
  const ErrorCode rc = m_file->Write(m_buffer.data(), m_buffer.size());
  if (rc != kErrorSuccess) {
    m_error = rc;
    return rc;
  }
  m_buffer.clear();
  return kErrorSuccess;
}

ErrorCode CTextWriter::Flush() {
  if (m_file == nullptr) return m_error != kErrorSuccess ? m_error : kErrorInvalidHandle;
  const ErrorCode rc = PushBuffer();
  if (rc != kErrorSuccess) return rc;
  const ErrorCode flushed = m_file->Flush();
  if (flushed != kErrorSuccess) m_error = flushed;
  return flushed;
}

ErrorCode CTextWriter::Close() {
  if (m_file == nullptr) return m_error != kErrorSuccess ? m_error : kErrorInvalidHandle;
  static_cast<void>(PushBuffer());  // any failure is kept in m_error
  m_file.reset();
  m_buffer.clear();
  return m_error;
}

ErrorCode OpenTextWriter(IFileSystem& files, std::wstring_view path, FileOpenMode mode,
                         FileShareMode share, std::unique_ptr<CTextWriter>* writer) {
  std::unique_ptr<IFile> file;
  const ErrorCode rc = files.OpenFile(path, mode, share, &file);
  if (rc != kErrorSuccess) return rc;
  if (file == nullptr) return kErrorInvalidHandle;
  *writer = std::make_unique<CTextWriter>(files, std::move(file));
  return kErrorSuccess;
}

std::string EncodeText(IFileSystem& files, std::wstring_view text, bool* lossless) {
  bool ok = true;
  std::string bytes = files.ToCodePage(WithCrLf(text), &ok);
  if (lossless != nullptr) *lossless = ok;
  return bytes;
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
  std::wstring decoded = files.FromCodePage(bytes);
  if (decoded.empty() && !bytes.empty()) return kErrorInvalidData;  // the conversion failed
  *text = std::move(decoded);
  return kErrorSuccess;
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
