#include "repair/backup_format.h"

#include <vector>

#include "platform/registry.h"
#include "base/text.h"
#include "base/utf16.h"
#include "repair/backup_texts.h"

namespace qv {
namespace {

constexpr wchar_t kHexDigits[] = L"0123456789abcdef";

void AppendHexByte(std::wstring* out, std::uint8_t byte) {
  out->push_back(kHexDigits[byte >> 4]);
  out->push_back(kHexDigits[byte & 0x0F]);
}

std::wstring HexNumber(std::uint32_t value) {
  std::wstring digits;
  do {
    digits.insert(digits.begin(), kHexDigits[value & 0x0F]);
    value >>= 4;
  } while (value != 0);
  return digits;
}

bool HasLineBreak(std::wstring_view text) {
  return text.find_first_of(L"\r\n") != std::wstring_view::npos;
}

// Whether REG_SZ data is one text and its terminating NUL, with no NUL and no line break inside:
// only such data comes back byte for byte from the quoted form, which the editor stores as the
// text plus one NUL. Anything else (0 bytes, an odd length, no terminator, a NUL inside) would
// lose bytes there.
bool IsQuotableString(const std::uint8_t* data, std::size_t bytes) {
  if (data == nullptr || bytes < 2 || bytes % 2 != 0) return false;
  for (std::size_t i = 0; i + 2 < bytes; i += 2) {
    if (data[i] == 0 && data[i + 1] == 0) return false;
  }
  if (data[bytes - 2] != 0 || data[bytes - 1] != 0) return false;
  return !HasLineBreak(FromUtf16LeBytes(data, bytes - 2));
}

// Whether the value's data goes out as string bytes in a hex(1), hex(2) or hex(7) list.
bool WrittenAsStringBytes(std::uint32_t type, const std::uint8_t* data, std::size_t bytes) {
  if (type == kRegSz) return !IsQuotableString(data, bytes);
  return type == kRegExpandSz || type == kRegMultiSz;
}

std::wstring TypedHexPrefix(std::uint32_t type) {
  return std::wstring(kTypedHexPrefixOpen) + HexNumber(type) + kTypedHexPrefixClose;
}

}  // namespace

std::wstring FormatByteList(std::wstring_view prefix, const std::uint8_t* data,
                            std::size_t bytes) {
  std::wstring out(prefix);
  out.reserve(prefix.size() + bytes * 3 + (bytes / kByteListLaterLines + 1) * 3 + 1);
  std::size_t line = 0;       // index of the current line
  std::size_t onLine = 0;     // bytes on the current line so far
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::size_t capacity = line == 0   ? kByteListFirstLine
                                 : line == 1 ? kByteListSecondLine
                                             : kByteListLaterLines;
    if (onLine == capacity) {
      // Only between two bytes: a list ending in a continuation loses the value on merging.
      out += kByteListContinuation;
      ++line;
      onLine = 0;
    }
    AppendHexByte(&out, data[i]);
    out.push_back(L',');
    ++onLine;
  }
  if (!out.empty() && out.back() == L',') out.pop_back();
  out.push_back(L'\n');
  return out;
}

std::wstring EscapeRegText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + 8);
  for (const wchar_t c : text) {
    if (c == L'\\' || c == L'"') out.push_back(L'\\');
    out.push_back(c);
  }
  return out;
}

bool CanWriteRegName(std::wstring_view name) {
  return !HasLineBreak(name) && !HasNulCharacter(name);
}

std::wstring FormatValueData(std::uint32_t type, const std::uint8_t* data, std::size_t bytes) {
  if (data == nullptr) bytes = 0;
  if (type == kRegSz && !WrittenAsStringBytes(type, data, bytes)) {
    return L"\"" + EscapeRegText(FromUtf16LeBytes(data, bytes - 2)) + L"\"\n";
  }
  if (type == kRegDword && bytes == 4) {
    const std::uint32_t value = static_cast<std::uint32_t>(data[0]) |
                                (static_cast<std::uint32_t>(data[1]) << 8) |
                                (static_cast<std::uint32_t>(data[2]) << 16) |
                                (static_cast<std::uint32_t>(data[3]) << 24);
    std::wstring digits = HexNumber(value);
    return kDwordPrefix + std::wstring(8 - digits.size(), L'0') + digits + L"\n";
  }
  if (type == kRegBinary) return FormatByteList(kBinaryPrefix, data, bytes);
  if (IsStringType(type) && bytes % 2 == 1 &&
      (bytes == 1 || data[bytes - 3] != 0 || data[bytes - 2] != 0)) {
    // The editor reads string bytes as whole UTF-16 units and, when the last whole unit is not
    // a NUL, writes a terminating NUL over the odd byte (a single byte crashes it). Give the odd
    // byte a zero partner so it survives as the low byte of a last character.
    std::vector<std::uint8_t> padded(data, data + bytes);
    padded.push_back(0);
    return FormatByteList(TypedHexPrefix(type), padded.data(), padded.size());
  }
  return FormatByteList(TypedHexPrefix(type), data, bytes);
}

bool ValueDataNeedsUnicode(std::uint32_t type, const std::uint8_t* data, std::size_t bytes) {
  if (data == nullptr || bytes == 0) return false;
  return WrittenAsStringBytes(type, data, bytes);
}

std::wstring FormatValueLine(std::wstring_view name, std::wstring_view dataText) {
  if (name.empty()) return kDefaultValuePrefix + std::wstring(dataText);
  return FormatWithStrings(kNamedValueFormat, {EscapeRegText(name), dataText});
}

std::wstring FormatSectionHead(std::wstring_view fullKey) {
  return FormatWithStrings(kSectionHeadFormat, {fullKey});
}

std::wstring FormatValueSection(std::wstring_view fullKey, std::wstring_view valueLine) {
  return FormatWithStrings(kValueSectionFormat, {fullKey, valueLine});
}

std::wstring FormatDeleteValueSection(std::wstring_view fullKey, std::wstring_view valueName) {
  return FormatSectionHead(fullKey) +
         FormatWithStrings(kNamedValueFormat, {EscapeRegText(valueName), kDeleteValueData}) +
         L"\n";
}

std::wstring_view RegFileHeader(std::uint32_t major, std::uint32_t minor) {
  if (major == 5 && minor <= 2) return kRegHeaderVersion5;
  return kRegHeaderVersion4;
}

}  // namespace qv
