#include "base/utf16.h"

namespace qv {

std::u16string ToUtf16(std::wstring_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (wchar_t wc : text) {
    const auto c = static_cast<std::uint32_t>(wc);
    if constexpr (sizeof(wchar_t) > 2) {
      if (c > 0xFFFF && c <= 0x10FFFF) {
        const std::uint32_t v = c - 0x10000;
        units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
        units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        continue;
      }
    }
    units.push_back(static_cast<char16_t>(c & 0xFFFF));
  }
  return units;
}

std::wstring FromUtf16(std::u16string_view units) {
  std::wstring text;
  text.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if constexpr (sizeof(wchar_t) > 2) {
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
          units[i + 1] <= 0xDFFF) {
        const std::uint32_t c = 0x10000 + ((static_cast<std::uint32_t>(u) - 0xD800) << 10) +
                                (static_cast<std::uint32_t>(units[i + 1]) - 0xDC00);
        text.push_back(static_cast<wchar_t>(c));
        ++i;
        continue;
      }
    }
    text.push_back(static_cast<wchar_t>(u));
  }
  return text;
}

std::vector<std::uint8_t> ToUtf16LeBytes(std::wstring_view text, bool withTerminator) {
  const std::u16string units = ToUtf16(text);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(units.size() * 2 + 2);
  for (char16_t u : units) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  if (withTerminator) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

std::wstring FromUtf16LeBytes(const std::uint8_t* data, std::size_t bytes) {
  std::u16string units;
  units.reserve(bytes / 2);
  for (std::size_t i = 0; i + 1 < bytes; i += 2) {
    units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return FromUtf16(units);
}

std::wstring_view TruncateAtNul(std::wstring_view text) {
  const std::size_t nul = text.find(L'\0');
  return nul == std::wstring_view::npos ? text : text.substr(0, nul);
}

std::wstring FixedBufferText(const std::uint8_t* data, std::size_t bytes,
                             std::size_t capacityBytes) {
  std::wstring text;
  FixedBufferTextInto(data, bytes, capacityBytes, &text);
  return text;
}

void FixedBufferTextInto(const std::uint8_t* data, std::size_t bytes, std::size_t capacityBytes,
                         std::wstring* out) {
  std::wstring& text = *out;
  text.clear();
  if (data == nullptr || bytes == 0) return;
  // The units up to the first NUL, cut to capacity - 1 units when the buffer holds no NUL.
  std::size_t units = 0;
  bool terminated = false;
  for (std::size_t i = 0; i + 1 < bytes; i += 2, ++units) {
    if (data[i] == 0 && data[i + 1] == 0) {
      terminated = true;
      break;
    }
  }
  const std::size_t capacityUnits = capacityBytes / 2;
  if (!terminated && capacityUnits > 0 && units >= capacityUnits) units = capacityUnits - 1;
  // Every unit is a character, but for a surrogate pair in a 32-bit wchar_t: written in place,
  // the text shortened afterwards by the pairs it held.
  text.resize(units);
  wchar_t* const characters = text.data();
  std::size_t written = 0;
  for (std::size_t i = 0; i < units; ++i) {
    const auto unit = static_cast<std::uint32_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if constexpr (sizeof(wchar_t) > 2) {
      // A surrogate pair is one character of a 32-bit wchar_t.
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
        const auto next =
            static_cast<std::uint32_t>(data[2 * i + 2] | (data[2 * i + 3] << 8));
        if (next >= 0xDC00 && next <= 0xDFFF) {
          characters[written++] =
              static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
          ++i;
          continue;
        }
      }
    }
    characters[written++] = static_cast<wchar_t>(unit);
  }
  text.resize(written);
}

std::size_t Utf16Length(std::wstring_view text) {
  if constexpr (sizeof(wchar_t) == 2) {
    return text.size();
  } else {
    std::size_t units = text.size();
    for (const wchar_t c : text) {
      const auto code = static_cast<std::uint64_t>(static_cast<std::uint32_t>(c));
      if (code > 0xFFFF && code <= 0x10FFFF) ++units;
    }
    return units;
  }
}

std::string ToUtf8(std::wstring_view text) {
  const std::u16string units = ToUtf16(text);
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(units[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::wstring FromUtf8(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::uint32_t c = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      if (i + len <= text.size()) {
        c = b & (0x7F >> len);
        bool ok = true;
        for (std::size_t k = 1; k < len; ++k) {
          const auto cb = static_cast<unsigned char>(text[i + k]);
          if ((cb & 0xC0) != 0x80) ok = false;
          c = (c << 6) | (cb & 0x3F);
        }
        if (!ok) {
          c = 0xFFFD;
          len = 1;
        }
      } else {
        len = 1;
      }
    }
    i += len;
    if (c >= 0x10000) {
      const std::uint32_t v = c - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
  }
  return FromUtf16(units);
}

}  // namespace qv
