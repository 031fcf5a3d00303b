#include "repair/reg_file_reader.h"

#include <iterator>
#include <optional>
#include <utility>

#include "base/utf16.h"
#include "platform/registry.h"
#include "repair/backup_texts.h"
#include "state/text_file.h"

namespace qv {
namespace {

// The editor's blanks: blank and tab only (a form feed or vertical tab is part of a line).
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view SkipBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::wstring_view TrimBlanks(std::wstring_view text) {
  text = SkipBlanks(text);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The lines of the text as the editor splits them: at CR LF, LF, or a CR on its own.
std::vector<std::wstring_view> SplitRegLines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n' ? 2 : 1);
  }
  return lines;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Nothing more on the line but blanks and a comment.
bool OnlyCommentLeft(std::wstring_view rest) {
  rest = SkipBlanks(rest);
  return rest.empty() || rest.front() == L';';
}

// The quoted text that `text` starts inside of (just after its opening quote), unescaped as the
// editor does; *rest is what follows the closing quote. Nothing without a closing quote or with
// a \0 escape.
std::optional<std::wstring> UnquoteRegText(std::wstring_view text, std::wstring_view* rest) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'"') {
      *rest = text.substr(i + 1);
      return out;
    }
    if (c != L'\\') {
      out.push_back(c);
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case L'n':
        out.push_back(L'\n');
        break;
      case L'r':
        out.push_back(L'\r');
        break;
      case L'0':
        return std::nullopt;
      default:  // \\ and \" stand for themselves; any other backslash is dropped
        out.push_back(text[i]);
        break;
    }
  }
  return std::nullopt;
}

enum class ByteListEnd { kDone, kContinued, kBroken };

// Appends the bytes of a comma-separated list ("01,ff,\" ...) as the editor reads them: each
// byte is hexadecimal digits (blanks before it, an "0x" before the digits and leading zeros are
// allowed) of at most ff; a backslash where a byte would start continues the list on the next
// line; a comment or blanks may close it.
ByteListEnd ParseByteList(std::wstring_view text, std::vector<std::uint8_t>* bytes) {
  while (!text.empty()) {
    text = SkipBlanks(text);
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X') &&
        HexDigit(text[2]) >= 0) {
      text.remove_prefix(2);
    }
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && HexDigit(text[digits]) >= 0) {
      value = value * 16 + static_cast<unsigned>(HexDigit(text[digits]));
      if (value > 0xFF) return ByteListEnd::kBroken;
      ++digits;
    }
    if (digits == 0) {
      if (text.empty() || text.front() == L';') return ByteListEnd::kDone;
      if (text.front() == L'\\') {
        return SkipBlanks(text.substr(1)).empty() ? ByteListEnd::kContinued : ByteListEnd::kBroken;
      }
      return ByteListEnd::kBroken;
    }
    bytes->push_back(static_cast<std::uint8_t>(value));
    text.remove_prefix(digits);
    if (text.empty()) return ByteListEnd::kDone;
    if (text.front() != L',') {
      return OnlyCommentLeft(text) ? ByteListEnd::kDone : ByteListEnd::kBroken;
    }
    text.remove_prefix(1);
  }
  return ByteListEnd::kDone;
}

// The data text after "name=" (blanks skipped) into *value. Returns whether a byte list goes
// on on the next line.
bool ParseValueData(std::wstring_view data, bool unicode, REG_FILE_VALUE* value) {
  value->action = RegValueAction::kRejected;
  if (data.empty()) return false;
  if (data.front() == L'-') {
    value->action = RegValueAction::kDelete;
    return false;
  }
  if (data.front() == L'"') {
    std::wstring_view rest;
    const std::optional<std::wstring> text = UnquoteRegText(data.substr(1), &rest);
    if (!text || !OnlyCommentLeft(rest)) return false;
    value->type = kRegSz;
    value->data = ToUtf16LeBytes(*text, false);
    value->match = RegDataMatch::kString;
    value->action = RegValueAction::kSet;
    return false;
  }
  if (StartsWith(data, kDwordPrefix)) {
    const std::wstring_view digits = SkipBlanks(data.substr(std::size(kDwordPrefix) - 1));
    std::size_t count = 0;
    std::uint32_t number = 0;
    while (count < digits.size() && HexDigit(digits[count]) >= 0) {
      number = number * 16 + static_cast<std::uint32_t>(HexDigit(digits[count]));
      ++count;
    }
    if (count == 0 || count > 8 || !OnlyCommentLeft(digits.substr(count))) return false;
    value->type = kRegDword;
    value->data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                   static_cast<std::uint8_t>(number >> 16),
                   static_cast<std::uint8_t>(number >> 24)};
    value->match = RegDataMatch::kExact;
    value->action = RegValueAction::kSet;
    return false;
  }
  std::wstring_view list;
  if (StartsWith(data, kBinaryPrefix)) {
    value->type = kRegBinary;
    list = data.substr(std::size(kBinaryPrefix) - 1);
  } else if (StartsWith(data, kTypedHexPrefixOpen)) {
    const std::wstring_view digits = SkipBlanks(data.substr(std::size(kTypedHexPrefixOpen) - 1));
    std::size_t count = 0;
    std::uint64_t type = 0;
    while (count < digits.size() && HexDigit(digits[count]) >= 0) {
      type = type * 16 + static_cast<std::uint64_t>(HexDigit(digits[count]));
      if (type > 0xFFFFFFFFu) return false;
      ++count;
    }
    if (count == 0 || !StartsWith(digits.substr(count), kTypedHexPrefixClose)) return false;
    value->type = static_cast<std::uint32_t>(type);
    list = digits.substr(count + std::size(kTypedHexPrefixClose) - 1);
  } else {
    return false;  // "DWORD:", "HEX:", "str:"...: not a data text of the editor
  }
  value->match = !IsStringType(value->type) ? RegDataMatch::kExact
                 : unicode                  ? RegDataMatch::kStringBytes
                                            : RegDataMatch::kTypeOnly;
  const ByteListEnd end = ParseByteList(list, &value->data);
  if (end == ByteListEnd::kBroken) return false;
  value->action = RegValueAction::kSet;
  return end == ByteListEnd::kContinued;
}

// A line starting with '@' or '"' (blanks skipped) into *value. Returns whether a byte list goes
// on on the next line.
bool ParseValueLine(std::wstring_view line, bool unicode, REG_FILE_VALUE* value) {
  std::wstring_view rest;
  if (line.front() == L'@') {
    value->name.clear();
    rest = line.substr(1);
  } else {
    const std::optional<std::wstring> name = UnquoteRegText(line.substr(1), &rest);
    if (!name) {
      value->name.assign(line);  // no name to speak of: the line itself stands for it
      value->action = RegValueAction::kRejected;
      return false;
    }
    value->name = *name;
  }
  rest = SkipBlanks(rest);
  if (rest.empty() || rest.front() != L'=') {
    value->action = RegValueAction::kRejected;
    return false;
  }
  return ParseValueData(SkipBlanks(rest.substr(1)), unicode, value);
}

// The text of the file's bytes: UTF-16LE after a byte-order mark, otherwise the decoder's.
ErrorCode DecodeRegFile(std::string_view bytes, const CodePageDecoder& decode, bool* unicode,
                        std::wstring* text) {
  *unicode = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
             static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (*unicode) {
    *text = FromUtf16LeBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2,
                             bytes.size() - 2);
    return kErrorSuccess;
  }
  text->clear();
  if (bytes.empty()) return kErrorSuccess;
  return decode(bytes, text);
}

}  // namespace

ErrorCode ParseRegFile(std::string_view bytes, const CodePageDecoder& decode,
                       std::vector<REG_FILE_SECTION>* sections) {
  bool unicode = false;
  std::wstring text;
  const ErrorCode rc = DecodeRegFile(bytes, decode, &unicode, &text);
  if (rc != kErrorSuccess) return rc;
  const std::vector<std::wstring_view> lines = SplitRegLines(text);
  if (lines.empty()) return kErrorInvalidData;  // empty file: no header
  const std::wstring_view header = TrimBlanks(lines.front());
  if (header != kRegHeaderVersion5 && header != kRegHeaderVersion4) return kErrorInvalidData;

  std::vector<REG_FILE_SECTION> found;
  bool inKey = false;      // value lines go into the last section (not after [-key] or a bad head)
  bool continued = false;  // the last value's byte list goes on on this line
  for (std::size_t index = 1; index < lines.size(); ++index) {
    const std::wstring_view raw = lines[index];
    const std::wstring_view line = TrimBlanks(raw);
    if (continued) {
      REG_FILE_VALUE& value = found.back().values.back();
      if (raw.empty()) {
        // The editor loses the value, and the line after it.
        value.action = RegValueAction::kRejected;
        continued = false;
        ++index;
        continue;
      }
      if (line.empty() || line.front() == L';') continue;  // the list goes on after it
      if (HexDigit(line.front()) < 0) {
        value.action = RegValueAction::kRejected;  // lost, and this line with it
        continued = false;
        continue;
      }
      const ByteListEnd end = ParseByteList(line, &value.data);
      if (end == ByteListEnd::kBroken) value.action = RegValueAction::kRejected;
      continued = end == ByteListEnd::kContinued;
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == L'[') {
      inKey = false;
      const std::size_t close = line.rfind(L']');
      if (close == std::wstring_view::npos || close < 1) continue;
      REG_FILE_SECTION section;
      std::wstring_view key = line.substr(1, close - 1);
      if (!key.empty() && key.front() == L'-') {
        section.deletion = true;
        key.remove_prefix(1);
      }
      section.key.assign(key);
      inKey = !section.deletion;
      found.push_back(std::move(section));
      continue;
    }
    if (line.front() != L'@' && line.front() != L'"') continue;
    if (!inKey) continue;  // no key to put the value in: the editor ignores it
    REG_FILE_VALUE value;
    continued = ParseValueLine(line, unicode, &value);
    found.back().values.push_back(std::move(value));
  }
  // A byte list still going on at the end of the file is lost.
  if (continued) found.back().values.back().action = RegValueAction::kRejected;
  *sections = std::move(found);
  return kErrorSuccess;
}

ErrorCode ReadRegFile(IFileSystem& files, std::wstring_view path,
                      std::vector<REG_FILE_SECTION>* sections) {
  std::string bytes;
  const ErrorCode rc = ReadFileBytes(files, path, &bytes);
  if (rc != kErrorSuccess) return rc;
  return ParseRegFile(
      bytes, [&files](std::string_view b, std::wstring* t) { return files.FromCodePage(b, t); },
      sections);
}

}  // namespace qv
