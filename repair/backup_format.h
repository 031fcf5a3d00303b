// The text of a registry backup file: value data, value lines and sections, in the syntax the
// system registry editor merges. Pure text functions; the file itself is CRegBackupFile.
//
// What a merge gives back, and why the forms below are chosen (checked against the registry
// editor under Wine, see tests/wine/repair):
//  - In a quoted value name or string, the editor reads \\ as one backslash and \" as a quote, and
//    drops the backslash of most other pairs ("a\b" comes back as "ab"). Names are therefore
//    escaped like strings in every kind of section. Wine's editor also reads \n and \r as line
//    breaks (and gives up on \0), a form not known to hold for every editor: a name with a line
//    break is not written at all (CanWriteRegName).
//  - "hex(N):" is read with N in hexadecimal: type 10 must be written hex(a), not hex(10).
//  - A byte list whose last line ends in a continuation (a backslash, then a blank line) loses
//    the value and the line after it. A list never ends in a continuation here.
//  - In an 8-bit file the bytes of hex(1), hex(2) and hex(7) are read as 8-bit text, which turns
//    UTF-16LE bytes into a different string. Such data is only exact in the editor's Unicode form
//    (UTF-16LE with a byte-order mark); ValueDataNeedsUnicode() says when a value needs it.
//  - In the Unicode form the editor adds a terminating NUL character to string data whose last
//    whole UTF-16 unit is not a NUL, writing it over an odd last byte (one byte crashes it). Such
//    data of odd length is written with a zero byte added, so the odd byte comes back as the low
//    byte of a last character; odd data that ends in a NUL unit and its extra byte is written as
//    it is and comes back exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Bytes per line of a wrapped byte list: the first line holds 22, the second 24, every further
// line 25.
inline constexpr std::size_t kByteListFirstLine = 22;
inline constexpr std::size_t kByteListSecondLine = 24;
inline constexpr std::size_t kByteListLaterLines = 25;

// The data text of a value, ending with its line end:
//   REG_SZ                 "text", backslashes doubled, quotes escaped, when the data is
//                          exactly a text and one terminating NUL with no NUL or line break
//                          inside; any other REG_SZ data (0 bytes, an odd length, no
//                          terminator, a NUL inside, a line break) is written hex(1): so that
//                          no byte is lost
//   REG_DWORD (4 bytes)    dword:%08x (little-endian); any other length as hex(4):
//   REG_BINARY             hex: and the byte list
//   any other type         hex(<type in lower-case hex>): and the byte list
// `data` may be null when `bytes` is 0.
[[nodiscard]] std::wstring FormatValueData(std::uint32_t type, const std::uint8_t* data,
                                           std::size_t bytes);

// True when the value's data text is exact only in a file of the editor's Unicode form: string
// bytes written as hex(1), hex(2) or hex(7), when there is at least one byte.
[[nodiscard]] bool ValueDataNeedsUnicode(std::uint32_t type, const std::uint8_t* data,
                                         std::size_t bytes);

// The prefix, then each byte as "%02x," wrapped with kByteListContinuation (lines of 22, 24, 25,
// 25 ... bytes); the last comma is dropped and a line end added. No bytes: prefix and line end.
[[nodiscard]] std::wstring FormatByteList(std::wstring_view prefix, const std::uint8_t* data,
                                          std::size_t bytes);

// Backslashes doubled first, then every double quote preceded by a backslash. A line break has
// no escape that the editor reads back as one: see CanWriteRegName.
[[nodiscard]] std::wstring EscapeRegText(std::wstring_view text);

// False for a key or value name holding a carriage return or a line feed: written raw, it splits
// the quoted name or the [key] head over two lines, and the merge loses the value or key (or
// writes a wrong one into the key above). False too for a name holding a NUL character: the
// editor ends the name there, so the merge would write another value or key, and no registry
// call can name it either (see HasNulCharacter). Such a name has no form in a .reg file.
[[nodiscard]] bool CanWriteRegName(std::wstring_view name);

// "@=" + data text for the empty name, otherwise "\"name\"=" + data text, the name escaped.
[[nodiscard]] std::wstring FormatValueLine(std::wstring_view name, std::wstring_view dataText);

// "\n\n[full key]\n": the head of a key section (its value lines follow).
[[nodiscard]] std::wstring FormatSectionHead(std::wstring_view fullKey);
// "\n\n[full key]\n<value line>\n": one value, then an empty line.
[[nodiscard]] std::wstring FormatValueSection(std::wstring_view fullKey,
                                              std::wstring_view valueLine);
// "\n\n[full key]\n\"name\"=-\n": merging it deletes the value.
[[nodiscard]] std::wstring FormatDeleteValueSection(std::wstring_view fullKey,
                                                    std::wstring_view valueName);

// The first line for a system version (without its line end).
[[nodiscard]] std::wstring_view RegFileHeader(std::uint32_t major, std::uint32_t minor);

}  // namespace qv
