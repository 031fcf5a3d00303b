#include "base/text_writer.h"

#include <utility>

#include "base/utf16.h"

namespace qv {
namespace {

bool IsHighSurrogate(wchar_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    return c >= 0xD800 && c <= 0xDBFF;
  } else {
    static_cast<void>(c);
    return false;
  }
}

}  // namespace

ErrorCode EncodeUtf16Le(std::wstring_view text, std::string* bytes, bool* lossless) {
  const std::u16string units = ToUtf16(text);
  bytes->clear();
  bytes->reserve(units.size() * 2);
  for (const char16_t unit : units) {
    bytes->push_back(static_cast<char>(unit & 0xFF));
    bytes->push_back(static_cast<char>(unit >> 8));
  }
  *lossless = true;
  return kErrorSuccess;
}

CCrLfWriter::CCrLfWriter(TextEncoder encoder, std::unique_ptr<IByteSink> sink)
    : m_encoder(std::move(encoder)), m_sink(std::move(sink)) {}

CCrLfWriter::CCrLfWriter(CCrLfWriter&& other) noexcept
    : m_encoder(std::move(other.m_encoder)),
      m_sink(std::move(other.m_sink)),
      m_buffer(std::move(other.m_buffer)),
      m_pending(std::move(other.m_pending)),
      m_bytesWritten(other.m_bytesWritten),
      m_error(other.m_error),
      m_lossless(other.m_lossless) {}

CCrLfWriter::~CCrLfWriter() {
  if (m_sink != nullptr) static_cast<void>(Close());
}

ErrorCode CCrLfWriter::Write(std::wstring_view text) { return Append(text, true); }

ErrorCode CCrLfWriter::WriteVerbatim(std::wstring_view text) { return Append(text, false); }

ErrorCode CCrLfWriter::Append(std::wstring_view text, bool convertLineEnds) {
  if (m_sink == nullptr) return m_error != kErrorSuccess ? m_error : kErrorInvalidHandle;
  if (m_error != kErrorSuccess) return m_error;
  m_scratch.clear();
  m_scratch.reserve(m_pending.size() + text.size() + text.size() / 16 + 2);
  m_scratch += m_pending;
  m_pending.clear();
  if (convertLineEnds) {
    for (const wchar_t c : text) {
      if (c == L'\n') m_scratch.push_back(L'\r');
      m_scratch.push_back(c);
    }
  } else {
    m_scratch += text;
  }
  // A surrogate pair split over two calls is encoded as one character.
  if (!m_scratch.empty() && IsHighSurrogate(m_scratch.back())) {
    m_pending.assign(1, m_scratch.back());
    m_scratch.pop_back();
  }
  if (m_scratch.empty()) return kErrorSuccess;
  const ErrorCode rc = Encode(m_scratch);
  if (rc != kErrorSuccess) return rc;
  if (m_buffer.size() >= kBufferBytes) return PushBuffer();
  return kErrorSuccess;
}

ErrorCode CCrLfWriter::Encode(std::wstring_view text) {
  bool lossless = true;
  m_encoded.clear();
  const ErrorCode rc = m_encoder(text, &m_encoded, &lossless);
  if (rc != kErrorSuccess || m_encoded.empty()) {
    // The conversion failed: what follows would leave a gap in the file.
    m_error = rc != kErrorSuccess ? rc : kErrorInvalidData;
    return m_error;
  }
  m_lossless = m_lossless && lossless;
  m_buffer += m_encoded;
  m_bytesWritten += m_encoded.size();
  return kErrorSuccess;
}

ErrorCode CCrLfWriter::PushBuffer() {
  if (m_error != kErrorSuccess) return m_error;
  if (m_buffer.empty()) return kErrorSuccess;
  const ErrorCode rc = m_sink->Write(m_buffer.data(), m_buffer.size());
  if (rc != kErrorSuccess) {
    m_error = rc;
    return rc;
  }
  m_buffer.clear();
  return kErrorSuccess;
}

ErrorCode CCrLfWriter::Flush() {
  if (m_sink == nullptr) return m_error != kErrorSuccess ? m_error : kErrorInvalidHandle;
  const ErrorCode rc = PushBuffer();
  if (rc != kErrorSuccess) return rc;
  const ErrorCode flushed = m_sink->Flush();
  if (flushed != kErrorSuccess) m_error = flushed;
  return flushed;
}

ErrorCode CCrLfWriter::Close() {
  if (m_sink == nullptr) return m_error != kErrorSuccess ? m_error : kErrorInvalidHandle;
  if (!m_pending.empty() && m_error == kErrorSuccess) {
    // Nothing more will join it: the lone surrogate goes out as the encoding renders it.
    const std::wstring lone = std::move(m_pending);
    m_pending.clear();
    static_cast<void>(Encode(lone));  // a failure is kept in m_error
  }
  static_cast<void>(PushBuffer());  // any failure is kept in m_error
  m_sink.reset();
  m_buffer.clear();
  return m_error;
}

}  // namespace qv
