// The one buffered text writer behind every file the system writes: the 8-bit CR LF files
// (backup files, shortcut lists, the activity log, ignore lists) and the registry editor's
// Unicode form (UTF-16LE) that a backup file may turn into.
//
// Text goes in as UTF-16, each "\n" becomes "\r\n" (as a text-mode stream of the C runtime
// writes it: a "\r\n" in the text becomes "\r\r\n"), the encoder turns it into bytes, and the
// bytes are buffered until the buffer fills, Flush() or Close(). A character written as a
// surrogate pair split over two calls is encoded as one character: a trailing high surrogate is
// held back until its partner arrives, and only Close() writes one that never gets a partner.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/errors.h"

namespace qv {

// Where the bytes go: an open file in practice (the platform's files implement this).
class IByteSink {
 public:
  virtual ~IByteSink() = default;
  [[nodiscard]] virtual ErrorCode Write(const void* data, std::size_t bytes) = 0;
  // Pushes what was written so far to the disk (FlushFileBuffers).
  [[nodiscard]] virtual ErrorCode Flush() = 0;
};

// Turns text into the file's bytes. Returns 0, or a failure code when the text has no bytes at
// all in the encoding (the conversion failed); *lossless (never null) is set false when some
// character had no form of its own and was replaced.
using TextEncoder =
    std::function<ErrorCode(std::wstring_view text, std::string* bytes, bool* lossless)>;

// The registry editor's Unicode form: UTF-16LE code units, always lossless.
[[nodiscard]] ErrorCode EncodeUtf16Le(std::wstring_view text, std::string* bytes, bool* lossless);

class CCrLfWriter {
 public:
  // Bytes held before they are handed to the sink: large enough that a backup file of many
  // short lines costs few system calls, small enough not to matter.
  static constexpr std::size_t kBufferBytes = 64 * 1024;

  CCrLfWriter(TextEncoder encoder, std::unique_ptr<IByteSink> sink);
  // Writes what is still buffered (errors cannot be reported here: call Close() to see them).
  ~CCrLfWriter();

  CCrLfWriter(const CCrLfWriter&) = delete;
  CCrLfWriter& operator=(const CCrLfWriter&) = delete;
  CCrLfWriter(CCrLfWriter&&) noexcept;
  CCrLfWriter& operator=(CCrLfWriter&&) = delete;

  // Appends the text with its line ends converted. Returns the first error met by this writer so
  // far: once a write to the sink or an encoding has failed, every later call returns that error
  // and writes nothing.
  [[nodiscard]] ErrorCode Write(std::wstring_view text);
  // Appends the text as it is, without converting line ends (for text that has its CR LF).
  [[nodiscard]] ErrorCode WriteVerbatim(std::wstring_view text);
  // Hands everything written so far (but a held-back high surrogate) to the sink and asks it to
  // put it on the disk.
  [[nodiscard]] ErrorCode Flush();
  // Hands the rest to the sink and releases it. Returns the first error of the writer's life.
  // Later writes fail with kErrorInvalidHandle.
  [[nodiscard]] ErrorCode Close();

  // False once any character written so far had no form of its own in the encoding.
  [[nodiscard]] bool Lossless() const { return m_lossless; }
  [[nodiscard]] bool IsOpen() const { return m_sink != nullptr; }
  // Bytes accepted so far (after encoding), whether or not they have reached the sink yet.
  [[nodiscard]] std::size_t BytesWritten() const { return m_bytesWritten; }

 private:
  ErrorCode Append(std::wstring_view text, bool convertLineEnds);
  ErrorCode Encode(std::wstring_view text);
  ErrorCode PushBuffer();

  TextEncoder m_encoder;
  std::unique_ptr<IByteSink> m_sink;
  std::string m_buffer;
  std::wstring m_pending;  // a high surrogate waiting for its partner (16-bit wchar_t only)
  std::wstring m_scratch;  // the text with its line ends converted, reused between calls
  std::string m_encoded;   // reused between calls
  std::size_t m_bytesWritten = 0;
  ErrorCode m_error = kErrorSuccess;
  bool m_lossless = true;
};

}  // namespace qv
