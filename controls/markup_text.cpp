#include "controls/markup_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "controls/control_texts.h"

namespace qv {

namespace {

constexpr std::size_t kColorStackSize = 8;

// The character references a word may hold, and the characters they stand for.
struct MARKUP_ENTITY {
  std::wstring_view reference;
  wchar_t character;
};
constexpr std::array<MARKUP_ENTITY, 3> kMarkupEntities = {{
    {L"&lt;", L'<'},
    {L"&gt;", L'>'},
    {L"&amp;", L'&'},
}};

// The word with every character reference replaced by its character.
std::wstring DecodeEntities(std::wstring_view word) {
  std::wstring decoded;
  decoded.reserve(word.size());
  for (std::size_t i = 0; i < word.size();) {
    bool replaced = false;
    if (word[i] == L'&') {
      for (const MARKUP_ENTITY& entity : kMarkupEntities) {
        if (word.substr(i, entity.reference.size()) == entity.reference) {
          decoded.push_back(entity.character);
          i += entity.reference.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) decoded.push_back(word[i++]);
  }
  return decoded;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// One "<...>" token as read at a "<".
struct MARKUP_TAG {
  const MARKUP_TAG_INFO* info = nullptr;  // null: no row of the tag table matched
  bool closing = false;
  std::size_t end = 0;  // one past the tag's last character
};

MARKUP_TAG ReadTag(std::wstring_view text, std::size_t start) {
  MARKUP_TAG tag;
  std::size_t i = start + 1;
  if (i < text.size() && text[i] == L'/') {
    tag.closing = true;
    ++i;
  }
  const std::size_t nameStart = i;
  while (i < text.size() && text[i] != L'>' && text[i] != L'<' && !IsWhiteSpace(text[i])) ++i;
  const std::wstring_view name = text.substr(nameStart, i - nameStart);
  const bool closedAfterName = i < text.size() && text[i] == L'>';
  for (auto row = kMarkupTags.rbegin(); row != kMarkupTags.rend(); ++row) {
    if (!StartsWithNoCase(name, row->name)) continue;
    if (row->attributes) {
      const std::size_t close = text.find(L'>', i);
      if (close == std::wstring_view::npos) continue;
      tag.info = &*row;
      tag.end = close + 1;
      return tag;
    }
    if (closedAfterName) {
      tag.info = &*row;
      tag.end = i + 1;
      return tag;
    }
  }
  tag.end = closedAfterName ? i + 1 : i;
  return tag;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return 0;
}

// The colour of an opening font tag text[start, end), when it has one: "color=" straight after
// "<font ", an optional quote and "#", then RRGGBB. Digits are read only inside the tag.
bool ReadFontColor(std::wstring_view text, std::size_t start, std::size_t end,
                   MARKUP_COLOR* color) {
  constexpr std::wstring_view kFontSpace = L"<font ";
  constexpr std::wstring_view kColor = L"color=";
  const std::wstring_view tag = text.substr(start, end - start);
  if (!StartsWithNoCase(tag, kFontSpace) ||
      !StartsWithNoCase(tag.substr(kFontSpace.size()), kColor)) {
    return false;
  }
  std::size_t i = kFontSpace.size() + kColor.size();
  if (i < tag.size() && (tag[i] == L'"' || tag[i] == L'\'')) ++i;
  if (i < tag.size() && tag[i] == L'#') ++i;
  std::array<int, 3> parts{};
  for (std::size_t digit = 0; digit < 6; ++digit, ++i) {
    int& part = parts[digit / 2];
    part = part * 16 + (i < tag.size() ? HexDigit(tag[i]) : 0);
  }
  *color = MarkupRgb(parts[0], parts[1], parts[2]);
  return true;
}

MARKUP_FONT StyleBit(MARKUP_TAG_EFFECT effect) {
  switch (effect) {
    case kTagBold: return kMarkupBold;
    case kTagItalic: return kMarkupItalic;
    case kTagUnderline: return kMarkupUnderline;
    case kTagSubscript: return kMarkupSubscript;
    case kTagSuperscript: return kMarkupSuperscript;
    case kTagBreak:
    case kTagParagraph:
    case kTagFont: break;
  }
  return 0;
}

// The running state of one layout.
class CMarkupLayout {
 public:
  CMarkupLayout(IMarkupCanvas& canvas, std::wstring_view text, int width, unsigned format)
      : m_canvas(canvas), m_text(text), m_width(width), m_format(format) {
    m_lineHeight = canvas.BaseTextExtent(text.substr(0, 2)).cy;
    m_firstColor = canvas.TextColor();
    m_color = m_firstColor;
  }

  // Lays out (and unless calculating, draws) the whole text from (left, top).
  void Run(int left, int top) {
    m_left = left;
    m_top = top;
    bool firstToken = true;
    std::size_t pos = 0;
    while (pos < m_text.size()) {
      bool white = false;
      while (pos < m_text.size() && IsWhiteSpace(m_text[pos])) {
        ++pos;
        white = true;
      }
      if (pos >= m_text.size()) break;
      if (white && !m_skipSpace) m_pendingSpace = true;
      const bool first = firstToken;
      firstToken = false;

      std::size_t end = pos;
      if (m_text[pos] == L'<') {
        const MARKUP_TAG tag = ReadTag(m_text, pos);
        if (tag.info != nullptr) {
          ApplyTag(tag, pos, first);
          pos = tag.end;
          continue;
        }
        if (tag.closing) {
          pos = tag.end;
          continue;
        }
        end = tag.end;  // drawn as the text it is
      } else {
        while (end < m_text.size() && m_text[end] != L'<' && !IsWhiteSpace(m_text[end])) ++end;
      }
      PlaceWord(m_text.substr(pos, end - pos));
      pos = end;
    }
  }

  [[nodiscard]] int LineHeight() const { return m_lineHeight; }
  [[nodiscard]] int LastLineOffset() const { return m_y; }
  [[nodiscard]] int WidestLine() const { return m_widest; }

 private:
  void ApplyTag(const MARKUP_TAG& tag, std::size_t start, bool first) {
    const MARKUP_TAG_INFO& info = *tag.info;
    switch (info.effect) {
      case kTagBreak:
      case kTagParagraph:
        if (!tag.closing && (m_format & kDtSingleLine) == 0) {
          if (info.effect == kTagBreak) {
            NewLine(m_lineHeight);
          } else if (!first) {
            NewLine(m_lineHeight + m_lineHeight / 2);
          }
        }
        break;
      case kTagFont:
        if (tag.closing) {
          if (m_savedCount > 0) {
            m_color = m_saved[--m_savedCount];
          } else {
            m_color = m_firstColor;
          }
        } else {
          if (m_savedCount < kColorStackSize) m_saved[m_savedCount++] = m_color;
          MARKUP_COLOR color = 0;
          if (ReadFontColor(m_text, start, tag.end, &color)) m_color = color;
        }
        break;
      default:
        if (tag.closing) {
          m_font &= ~StyleBit(info.effect);
        } else {
          m_font |= StyleBit(info.effect);
        }
        break;
    }
    if (info.lineBreak) m_skipSpace = true;
  }

  void NewLine(int step) {
    m_y += step;
    m_x = 0;
    m_pendingSpace = false;
  }

  void PlaceWord(std::wstring_view word) {
    std::wstring decoded;
    if (word.find(L'&') != std::wstring_view::npos) {
      decoded = DecodeEntities(word);
      word = decoded;
    }
    const MARKUP_SIZE size = m_canvas.TextExtent(m_font, word);
    int space = m_pendingSpace ? m_canvas.TextExtent(m_font, L" ").cx : 0;
    if (m_x + space + size.cx > m_width) {
      // A word only moves down when something stands before it on its line: a break at the start
      // of a line would leave that line empty and the word no better placed.
      if (m_pendingSpace && m_x > 0 && (m_format & kDtWordBreak) != 0) {
        NewLine(m_lineHeight);
        space = 0;
        m_width = std::max(m_width, size.cx);
      } else {
        m_width = m_x + space + size.cx;
      }
    }
    if ((m_format & kDtCalcRect) == 0) {
      const int x = m_left + m_x + space;
      const int y = m_top + m_y;
      const MARKUP_RECT box{x, y, x + size.cx, y + m_lineHeight};
      unsigned format = m_format & ~(kDtWordBreak | kDtCalcRect);
      if ((m_font & kMarkupSubscript) != 0) format |= kDtSingleLine | kDtBottom;
      m_canvas.DrawWord(m_font, m_color, word, box, format);
    }
    m_x += space + size.cx;
    m_widest = std::max(m_widest, m_x);
    m_pendingSpace = false;
    m_skipSpace = false;
  }

  IMarkupCanvas& m_canvas;
  std::wstring_view m_text;
  int m_width;
  unsigned m_format;
  int m_lineHeight = 0;
  int m_left = 0;
  int m_top = 0;
  int m_x = 0;  // from the left edge
  int m_y = 0;  // offset of the current line from the top
  int m_widest = 0;
  MARKUP_FONT m_font = 0;
  MARKUP_COLOR m_firstColor = 0;
  MARKUP_COLOR m_color = 0;
  std::array<MARKUP_COLOR, kColorStackSize> m_saved{};
  std::size_t m_savedCount = 0;
  bool m_pendingSpace = false;
  bool m_skipSpace = false;
};

// The entity at text[pos] (an "&"): appends what it stands for and gives its length; false for
// text that is no entity of the plain text's list (it then stays as it is).
bool DecodeEntity(std::wstring_view text, std::size_t pos, std::wstring* out, std::size_t* length) {
  constexpr std::size_t kLongest = 10;  // "&#x10FFFF;"
  const std::size_t end = text.find(L';', pos);
  if (end == std::wstring_view::npos || end - pos > kLongest) return false;
  const std::wstring_view body = text.substr(pos + 1, end - pos - 1);
  static constexpr struct {
    std::wstring_view name;
    wchar_t character;
  } kNamed[] = {{L"amp", L'&'},   {L"lt", L'<'},    {L"gt", L'>'},
                {L"quot", L'"'},  {L"apos", L'\''}, {L"nbsp", L'\u00A0'}};
  for (const auto& named : kNamed) {
    if (body == named.name) {
      out->push_back(named.character);
      *length = end - pos + 1;
      return true;
    }
  }
  if (body.size() < 2 || body[0] != L'#') return false;
  const bool hex = body[1] == L'x' || body[1] == L'X';
  const std::size_t first = hex ? 2 : 1;
  if (first >= body.size()) return false;
  std::uint32_t value = 0;
  for (std::size_t i = first; i < body.size(); ++i) {
    const wchar_t c = body[i];
    std::uint32_t digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<std::uint32_t>(c - L'0');
    } else if (hex && ((c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) {
      digit = static_cast<std::uint32_t>(HexDigit(c));
    } else {
      return false;
    }
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0x10FFFF) return false;
  }
  if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return false;
  std::u16string units;
  if (value >= 0x10000) {
    value -= 0x10000;
    units.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
    units.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
  } else {
    units.push_back(static_cast<char16_t>(value));
  }
  *out += FromUtf16(units);  // one character natively, a surrogate pair on Windows
  *length = end - pos + 1;
  return true;
}

}  // namespace

std::wstring EscapeMarkup(std::wstring_view text) {
  std::wstring escaped;
  escaped.reserve(text.size());
  for (const wchar_t c : text) {
    const auto entity = std::find_if(kMarkupEntities.begin(), kMarkupEntities.end(),
                                     [c](const MARKUP_ENTITY& e) { return e.character == c; });
    if (entity != kMarkupEntities.end()) {
      escaped += entity->reference;
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

std::wstring MarkupSlashes(std::wstring_view text) {
  std::wstring slashed(text);
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  std::wstring single;
  single.reserve(slashed.size());
  for (std::size_t i = 0; i < slashed.size(); ++i) {
    single.push_back(slashed[i]);
    if (slashed[i] == L'/' && i + 1 < slashed.size() && slashed[i + 1] == L'/') ++i;
  }
  return single;
}

int DrawMarkupText(IMarkupCanvas& canvas, std::wstring_view text, int length, MARKUP_RECT* rect,
                   unsigned format) {
  if (length >= 0 && static_cast<std::size_t>(length) < text.size()) {
    text = text.substr(0, static_cast<std::size_t>(length));
  }
  format = (format & ~(kDtCenter | kDtRight | kDtTabStop)) | kDtNoPrefix;
  const std::wstring shown = MarkupSlashes(text);

  int left = 0;
  int top = 0;
  int width = 0;
  if (rect != nullptr) {
    left = rect->left;
    top = rect->top;
    width = rect->right - rect->left;
  } else {
    const MARKUP_POINT start = canvas.CurrentPosition();
    left = start.x;
    top = start.y;
    width = canvas.DeviceWidth() - start.x;
  }

  CMarkupLayout layout(canvas, shown, width, format);
  layout.Run(left, top);
  const int y = layout.LastLineOffset();
  if ((format & kDtCalcRect) != 0 && rect != nullptr) {
    rect->right = rect->left + layout.WidestLine();
    rect->bottom = top >= 0 ? top + y + layout.LineHeight() : top - y - layout.LineHeight();
  }
  canvas.EndMarkupText();
  return y;
}

std::wstring MarkupPlainText(std::wstring_view markup) {
  const std::wstring shown = MarkupSlashes(markup);
  const std::wstring_view text(shown);
  std::wstring plain;
  bool space = false;
  const auto word = [&](std::wstring_view run) {
    if (space && !plain.empty()) plain.push_back(L' ');
    space = false;
    for (std::size_t i = 0; i < run.size();) {
      std::size_t length = 0;
      if (run[i] == L'&' && DecodeEntity(run, i, &plain, &length)) {
        i += length;
      } else {
        plain.push_back(run[i++]);
      }
    }
  };
  // Tokens as the layout reads them.
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (IsWhiteSpace(text[pos])) {
      space = true;
      ++pos;
      continue;
    }
    if (text[pos] == L'<') {
      const MARKUP_TAG tag = ReadTag(text, pos);
      if (tag.info != nullptr) {
        if (tag.info->lineBreak && !tag.closing) space = true;
      } else if (!tag.closing) {
        word(text.substr(pos, tag.end - pos));
      }
      pos = tag.end;
      continue;
    }
    std::size_t end = pos;
    while (end < text.size() && text[end] != L'<' && !IsWhiteSpace(text[end])) ++end;
    word(text.substr(pos, end - pos));
    pos = end;
  }
  return plain;
}

}  // namespace qv
