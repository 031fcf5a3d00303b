// The buffered CR LF writer: line ends, the Unicode form, and characters that a call or the
// buffer boundary splits in two.
#include "base/text_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/utf16.h"

namespace qv {
namespace {

class CStringSink final : public IByteSink {
 public:
  explicit CStringSink(std::string* out) : m_out(out) {}
  ErrorCode Write(const void* data, std::size_t bytes) override {
    m_out->append(static_cast<const char*>(data), bytes);
    return kErrorSuccess;
  }
  ErrorCode Flush() override { return kErrorSuccess; }

 private:
  std::string* m_out;
};

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// An encoder that writes one byte per character and refuses a text holding half a character,
// as a code page conversion cannot render one.
ErrorCode WholeCharacterEncoder(std::wstring_view text, std::string* bytes, bool* lossless) {
  const std::u16string units = ToUtf16(text);
  bytes->clear();
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (IsHigh(units[i])) {
      if (i + 1 == units.size() || !IsLow(units[i + 1])) return kErrorNoUnicodeTranslation;
      ++i;
      bytes->push_back('#');
      continue;
    }
    if (IsLow(units[i])) return kErrorNoUnicodeTranslation;
    bytes->push_back(static_cast<char>(units[i] & 0x7F));
  }
  *lossless = true;
  return kErrorSuccess;
}

TEST(CCrLfWriter, LineEndsAndTheUnicodeForm) {
  std::string out;
  CCrLfWriter writer(EncodeUtf16Le, std::make_unique<CStringSink>(&out));
  ASSERT_EQ(writer.Write(L"a\nb"), kErrorSuccess);
  ASSERT_EQ(writer.WriteVerbatim(L"\n"), kErrorSuccess);
  ASSERT_EQ(writer.Close(), kErrorSuccess);
  EXPECT_EQ(out, std::string("a\0\r\0\n\0b\0\n\0", 10));
  EXPECT_EQ(writer.Write(L"late"), kErrorInvalidHandle);
}

TEST(CCrLfWriter, ACharacterSplitAtTheBufferBoundaryStaysWhole) {
  if constexpr (sizeof(wchar_t) != 2) {
    GTEST_SKIP() << "no surrogate pairs in a 32-bit wchar_t";
  } else {
    // The first call fills the buffer exactly and ends with the first half of a character: the
    // buffer goes to the sink, the half waits for its partner in the next call.
    const std::wstring first =
        std::wstring(CCrLfWriter::kBufferBytes, L'a') + static_cast<wchar_t>(0xD83D);
    const std::wstring second = std::wstring(1, static_cast<wchar_t>(0xDE00)) + L"z";
    std::string out;
    CCrLfWriter writer(WholeCharacterEncoder, std::make_unique<CStringSink>(&out));
    ASSERT_EQ(writer.Write(first), kErrorSuccess);
    EXPECT_EQ(out.size(), CCrLfWriter::kBufferBytes);  // pushed, the half held back
    ASSERT_EQ(writer.Write(second), kErrorSuccess);
    ASSERT_EQ(writer.Close(), kErrorSuccess);
    EXPECT_EQ(out, std::string(CCrLfWriter::kBufferBytes, 'a') + "#z");
  }
}

TEST(CCrLfWriter, AFailedEncodingStopsTheFile) {
  std::string out;
  const TextEncoder failing = [](std::wstring_view text, std::string* bytes, bool* lossless) {
    if (text == L"bad") return kErrorNoUnicodeTranslation;
    return EncodeUtf16Le(text, bytes, lossless);
  };
  CCrLfWriter writer(failing, std::make_unique<CStringSink>(&out));
  ASSERT_EQ(writer.Write(L"ok"), kErrorSuccess);
  EXPECT_EQ(writer.Write(L"bad"), kErrorNoUnicodeTranslation);
  EXPECT_EQ(writer.Write(L"more"), kErrorNoUnicodeTranslation);
  EXPECT_EQ(writer.Close(), kErrorNoUnicodeTranslation);
  EXPECT_EQ(out, "");  // a broken file gets nothing more, not even what was buffered
}

}  // namespace
}  // namespace qv
