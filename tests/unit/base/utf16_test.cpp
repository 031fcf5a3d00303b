#include "base/utf16.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(Utf16, RoundTripsSurrogatePairsAndCodeUnitLength) {
  const std::wstring text = std::wstring(L"a\u00e9") + FromUtf16(u"\U0001F600") + L"z";
  EXPECT_EQ(ToUtf16(text), u"a\u00e9\U0001F600z");
  EXPECT_EQ(Utf16Length(text), 5u);
  const auto bytes = ToUtf16LeBytes(text, true);
  ASSERT_EQ(bytes.size(), 12u);
  EXPECT_EQ(bytes[2], 0xE9);
  EXPECT_EQ(bytes[10], 0);
  EXPECT_EQ(FromUtf16LeBytes(bytes.data(), bytes.size() - 2), text);
}

TEST(Utf16, OddTrailingByteIsDroppedAndNulCutsText) {
  const std::uint8_t data[] = {'a', 0, 0, 0, 'b', 0, 'c'};
  const std::wstring text = FromUtf16LeBytes(data, sizeof data);
  EXPECT_EQ(text.size(), 3u);
  EXPECT_EQ(TruncateAtNul(text), L"a");
}

TEST(Utf16, Utf8RoundTrip) {
  const std::wstring text = std::wstring(L"x\u20ac") + FromUtf16(u"\U0001F600");
  EXPECT_EQ(ToUtf8(text), "x\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(FromUtf8("\xFF"), L"\uFFFD");
}

}  // namespace
}  // namespace qv
