// The .wls list file (wls_format.h): its records read from bytes and written to a file, with the
// escapes of the characters a line cannot hold as one byte. It touches the one file it is asked
// to read or write and nothing else.
#include "engine/wls_format.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/categories.h"
#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "state/text_file.h"

namespace qv {
namespace {

constexpr char16_t kEscapeIntroducer[] = u"&#x";
constexpr std::size_t kEscapeIntroducerLength = 3;
constexpr std::size_t kEscapeMaxDigits = 4;
constexpr char16_t kEscapeEnd = u';';

bool IsAsciiUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }

char16_t LowerAsciiUnit(char16_t c) {
  return IsAsciiUpper(c) ? static_cast<char16_t>(c + 0x20) : c;
}

bool IsWhiteSpaceUnit(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// The code units that an escape may stand for: what the writer escapes, and nothing else, so
// that any other "&#x...;" in a file reads as written.
bool IsEscapedUnit(std::uint32_t value) {
  return value == u'&' || value >= 0x80 || IsWhiteSpaceUnit(static_cast<char16_t>(value));
}

// Whether the units from `pos` (already lower-cased) are an escape the reader decodes; on
// success *value is the code unit and *length the number of units the escape takes.
bool MatchEscape(std::u16string_view lowered, std::size_t pos, char16_t* value,
                 std::size_t* length) {
  if (lowered.substr(pos, kEscapeIntroducerLength) != kEscapeIntroducer) return false;
  std::size_t i = pos + kEscapeIntroducerLength;
  std::uint32_t number = 0;
  std::size_t digits = 0;
  while (i < lowered.size() && digits < kEscapeMaxDigits) {
    const int digit = HexDigitValue(lowered[i]);
    if (digit < 0) break;
    number = number * 16 + static_cast<std::uint32_t>(digit);
    ++digits;
    ++i;
  }
  if (digits == 0 || i >= lowered.size() || lowered[i] != kEscapeEnd) return false;
  if (!IsEscapedUnit(number)) return false;
  *value = static_cast<char16_t>(number);
  *length = i + 1 - pos;
  return true;
}

void AppendEscape(char16_t unit, std::wstring* out) {
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  out->append(L"&#x");
  bool started = false;
  for (int shift = 12; shift >= 0; shift -= 4) {
    const unsigned digit = (static_cast<unsigned>(unit) >> shift) & 0xF;
    if (digit == 0 && !started && shift != 0) continue;
    started = true;
    out->push_back(kHex[digit]);
  }
  out->push_back(L';');
}

// A .wls line's bytes as characters: each byte is the code point it holds.
std::wstring BytesAsCodePoints(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (const char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::wstring DecodeWlsText(std::wstring_view line) {
  const std::u16string units = ToUtf16(line);
  std::u16string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size();) {
    char16_t value = 0;
    std::size_t length = 0;
    if (units[i] == u'&' && MatchEscape(units, i, &value, &length)) {
      out.push_back(value);
      i += length;
    } else {
      out.push_back(units[i]);
      ++i;
    }
  }
  return FromUtf16(out);
}

std::wstring ReadWlsTextLine(std::wstring_view line) {
  return DecodeWlsText(ToLowerAscii(TrimWhiteSpace(line)));
}

std::wstring EncodeWlsText(std::wstring_view identity, const std::vector<bool>& byteRoundTrips) {
  const std::u16string units = ToUtf16(identity);
  std::u16string lowered(units);
  for (char16_t& c : lowered) c = LowerAsciiUnit(c);

  std::wstring out;
  out.reserve(units.size() + 8);
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    bool escape = false;
    if (unit > 0xFF || unit == u'\r' || unit == u'\n') {
      escape = true;
    } else if (IsWhiteSpaceUnit(unit) && (i == 0 || i + 1 == units.size())) {
      escape = true;  // the reader trims white space at both ends
    } else if (unit >= 0x80 && (unit >= byteRoundTrips.size() || !byteRoundTrips[unit])) {
      escape = true;
    } else if (unit == u'&') {
      char16_t value = 0;
      std::size_t length = 0;
      escape = MatchEscape(lowered, i, &value, &length);
    }
    if (escape) {
      AppendEscape(unit, &out);
    } else {
      out.push_back(static_cast<wchar_t>(unit));
    }
  }
  return out;
}

std::vector<bool> CodePageRoundTrips(IFileSystem& files) {
  std::vector<bool> roundTrips(256, false);
  for (unsigned b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    std::wstring text;
    std::string back;
    bool lossless = true;
    roundTrips[b] = files.FromCodePage(byte, &text) == kErrorSuccess &&
                    files.ToCodePage(text, &back, &lossless) == kErrorSuccess && back == byte &&
                    lossless;
  }
  return roundTrips;
}

void ParseWlsBytes(std::string_view bytes, WLS_CONTENT* content) {
  const std::vector<std::wstring> lines = SplitLines(BytesAsCodePoints(bytes));
  for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
    const std::wstring_view typeLine = TrimWhiteSpace(lines[i]);
    std::wstring text = ReadWlsTextLine(lines[i + 1]);
    const int type = ParseLeadingInt(typeLine);
    if (type < 0 || type >= kCategoryCount) continue;  // out of range, negative included
    if (type > 0) {
      content->entries.push_back({type, std::move(text)});
      continue;
    }
    if (typeLine.empty()) continue;
    switch (typeLine.front()) {
      case L'0':
        content->entries.push_back({0, std::move(text)});
        break;
      case L'K':
      case L'k':
        if (!text.empty()) content->kRows.push_back(std::move(text));
        break;
      case L'M':
      case L'm':
        if (!text.empty()) content->mRows.push_back(std::move(text));
        break;
      case L'V':
      case L'v':
        if (!text.empty()) content->vRows.push_back(std::move(text));
        break;
      case L'W':
      case L'w': {
        OWNED_AREA area;
        if (ParseOwnedArea(typeLine, text, &area)) content->ownedAreas.push_back(std::move(area));
        break;
      }
      default:
        break;
    }
  }
}

ErrorCode ReadWlsFile(IFileSystem& files, std::wstring_view path, WLS_CONTENT* content) {
  std::string bytes;
  const ErrorCode rc = ReadFileBytes(files, path, &bytes);
  if (rc != kErrorSuccess) return rc;
  ParseWlsBytes(bytes, content);
  return kErrorSuccess;
}

ErrorCode WriteWlsFile(IFileSystem& files, std::wstring_view path,
                       const std::vector<EXCLUSION_ENTRY>& entries) {
  std::unique_ptr<IFile> file;
  const ErrorCode rc =
      files.OpenFile(path, FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite, &file);
  if (rc != kErrorSuccess) return rc;
  return WriteWlsRecords(files, std::move(file), entries);
}

ErrorCode WriteWlsRecords(IFileSystem& files, std::unique_ptr<IFile> file,
                          const std::vector<EXCLUSION_ENTRY>& entries) {
  if (file == nullptr) return kErrorInvalidHandle;
  auto writer = std::make_unique<CTextWriter>(files, std::move(file));
  ErrorCode rc = kErrorSuccess;
  const std::vector<bool> roundTrips = CodePageRoundTrips(files);
  for (const EXCLUSION_ENTRY& entry : entries) {
    std::wstring record = std::to_wstring(entry.category);
    record.push_back(L'\n');
    // Every character of the encoded line is one byte of the file; the writer turns the text
    // into the code page, so it is handed the characters that the code page turns into exactly
    // those bytes (the encoding escaped every byte that would not come back unchanged).
    const std::wstring line = EncodeWlsText(entry.identity, roundTrips);
    std::string bytes;
    bytes.reserve(line.size());
    for (const wchar_t c : line) bytes.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    std::wstring characters;
    rc = files.FromCodePage(bytes, &characters);
    if (rc != kErrorSuccess) break;
    record += characters;
    record.push_back(L'\n');
    rc = writer->Write(record);
    if (rc != kErrorSuccess) break;
  }
  if (rc == kErrorSuccess) rc = writer->Flush();
  const ErrorCode closed = writer->Close();
  return rc != kErrorSuccess ? rc : closed;
}

}  // namespace qv
