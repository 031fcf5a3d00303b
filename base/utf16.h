// The one place that turns text into UTF-16 code units and back. wchar_t is 16 bits in the
// Windows build and 32 bits natively; everything defined over UTF-16 code units (registry string
// data, identity hashes, byte lengths, hex dumps of strings) goes through here so both builds agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Text as UTF-16 code units (characters above U+FFFF become surrogate pairs natively).
std::u16string ToUtf16(std::wstring_view text);
// UTF-16 code units as text (surrogate pairs are joined natively; lone surrogates kept as is).
std::wstring FromUtf16(std::u16string_view units);

// Registry string data: UTF-16LE bytes of the text, with a terminating NUL when asked.
std::vector<std::uint8_t> ToUtf16LeBytes(std::wstring_view text, bool withTerminator);
// UTF-16LE bytes as text, taking every complete code unit (an odd last byte is dropped).
// The text is not cut at an embedded NUL; use TruncateAtNul for that.
std::wstring FromUtf16LeBytes(const std::uint8_t* data, std::size_t bytes);
// The part of the text before its first NUL character.
std::wstring_view TruncateAtNul(std::wstring_view text);

// Registry data read into a fixed wchar_t buffer of capacityBytes bytes and used as a terminated
// string, the way the system's checks read registry text: the text ends at its first NUL, and
// data that fills the buffer without one loses its last UTF-16 unit to the terminator written at
// the buffer's end. Data of any type is read this way; an odd last byte is dropped.
std::wstring FixedBufferText(const std::uint8_t* data, std::size_t bytes,
                             std::size_t capacityBytes);
// The same into a string the caller keeps (its storage is reused).
void FixedBufferTextInto(const std::uint8_t* data, std::size_t bytes, std::size_t capacityBytes,
                         std::wstring* text);

// Number of UTF-16 code units of the text.
std::size_t Utf16Length(std::wstring_view text);

// UTF-8 for JSON and the console.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace qv
