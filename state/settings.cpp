#include "state/settings.h"

#include <climits>
#include <cstdint>
#include <vector>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "state/state_texts.h"
#include "state/time_format.h"

namespace qv {
namespace {

// The parts of `text` between `separator`s (an empty text has one empty part).
std::vector<std::wstring_view> SplitAt(std::wstring_view text, wchar_t separator) {
  std::vector<std::wstring_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    if (end == std::wstring_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

std::wstring ProductSubkey(std::wstring_view productName) {
  return std::wstring(kSoftwareKey) + std::wstring(productName);
}

std::wstring ProductKeyPath(std::wstring_view productName) {
  return std::wstring(kLocalMachineName) + ProductSubkey(productName);
}

ErrorCode OpenProductKey(IRegistry& registry, std::wstring_view productName, CRegKey* key) {
  CRegKey opened(registry);
  const ErrorCode rc =
      opened.Create(kHkeyLocalMachine, ProductSubkey(productName), kKeyReadWriteCreate);
  if (rc != kErrorSuccess) return rc;
  *key = std::move(opened);
  return kErrorSuccess;
}

ErrorCode ReadSettingString(IRegistry& registry, RegHandle root, std::wstring_view productName,
                            std::wstring_view valueName, std::size_t maxChars,
                            std::wstring* text) {
  CRegKey key(registry);
  ErrorCode rc = key.Open(root, ProductSubkey(productName), kKeyRead);
  if (rc != kErrorSuccess) return rc;
  // Room for the text and its terminator; anything longer fails with kErrorMoreData.
  std::vector<std::uint8_t> buffer((maxChars + 1) * 2);
  std::uint32_t bytes = static_cast<std::uint32_t>(buffer.size());
  std::uint32_t type = kRegNone;
  rc = registry.QueryValue(key.get(), valueName, &type, buffer.data(), &bytes);
  if (rc != kErrorSuccess) return rc;
  if (type != kRegSz && type != kRegExpandSz) return kErrorInvalidData;
  if (bytes > buffer.size()) return kErrorMoreData;
  const std::wstring value = FromUtf16LeBytes(buffer.data(), bytes);
  const std::size_t nul = value.find(L'\0');
  if (nul == std::wstring::npos) return kErrorInvalidData;  // unterminated
  *text = value.substr(0, nul);
  return kErrorSuccess;
}

int ParseSettingNumber(std::wstring_view text, int defaultValue) {
  if (text.empty()) return defaultValue;
  const int value = ParseLeadingInt(text);
  if (value == INT_MAX || value == INT_MIN) return defaultValue;
  return value;
}

int ReadSettingInt(IRegistry& registry, RegHandle root, std::wstring_view productName,
                   std::wstring_view valueName, int defaultValue) {
  std::wstring text;
  if (ReadSettingString(registry, root, productName, valueName, kSettingIntMaxChars, &text) !=
      kErrorSuccess) {
    return defaultValue;
  }
  return ParseSettingNumber(text, defaultValue);
}

ErrorCode WriteSettingText(IRegistry& registry, std::wstring_view productName,
                           std::wstring_view valueName, const wchar_t* text,
                           std::uint32_t extraAccess) {
  if (text == nullptr) return kErrorInvalidData;
  return WriteSettingText(registry, productName, valueName, std::wstring_view(text), extraAccess);
}

ErrorCode WriteSettingText(IRegistry& registry, std::wstring_view productName,
                           std::wstring_view valueName, std::wstring_view text,
                           std::uint32_t extraAccess) {
  CRegKey software(registry);
  ErrorCode rc = software.Open(kHkeyLocalMachine, kSoftwareKey, kKeyReadWriteCreate);
  if (rc != kErrorSuccess) return rc;
  CRegKey product(registry);
  rc = product.Create(software.get(), productName, kKeyReadWriteCreate | extraAccess);
  if (rc != kErrorSuccess) return rc;
  return product.SetString(valueName, text);
}

ErrorCode WriteSettingText(IRegistry& registry, std::wstring_view productName,
                           std::wstring_view valueName, int value, std::uint32_t extraAccess) {
  return WriteSettingText(registry, productName, valueName, std::wstring_view(DecimalText(value)),
                          extraAccess);
}

std::wstring ReadLastScanText(IRegistry& registry, std::wstring_view productName) {
  std::wstring text;
  if (ReadSettingString(registry, kHkeyLocalMachine, productName, kValueLastScanRead,
                        kLastScanCapacityChars - 1, &text) != kErrorSuccess ||
      text.empty()) {
    return kNoLastScan;
  }
  return text;
}

std::wstring FormatLastScanDisplay(std::wstring_view stored) {
  if (stored.empty() || EqualsIgnoringAsciiCase(stored, kNoLastScan)) return std::wstring(kNeverScanned.english);
  const std::size_t space = stored.find(L' ');
  if (space == std::wstring_view::npos) return std::wstring(stored);
  const std::vector<std::wstring_view> date = SplitAt(stored.substr(0, space), L'-');
  const std::vector<std::wstring_view> time = SplitAt(stored.substr(space + 1), L':');
  if (date.size() < 3 || time.size() < 2) return std::wstring(stored);
  const std::wstring_view day = date[0];
  const std::wstring_view year = date[2];
  const std::wstring_view minute = time[1];
  const std::wstring_view month = ShortMonthName(ParseLeadingInt(date[1]));
  const int hour = ParseLeadingInt(time[0]);
  if (month.empty() || hour < 0 || hour > 23 || day.empty() || year.empty() || minute.empty()) {
    return std::wstring(stored);
  }
  // "<month> <day>, <year> <hour>:<minute> <AM|PM>"
  const int shownHour = hour < 13 ? hour : hour - 12;
  std::wstring text(month);
  text += L' ';
  text += day;
  text += L", ";
  text += year;
  text += L' ';
  text += DecimalText(shownHour);
  text += L':';
  text += minute;
  text += L' ';
  text += hour < 12 ? kAm : kPm;
  return text;
}

std::wstring LastScanDisplayText(IRegistry& registry, std::wstring_view productName) {
  return FormatLastScanDisplay(ReadLastScanText(registry, productName));
}

std::wstring ProductVersionText(IShell& shell) {
  CFileVersion version;
  if (shell.GetFileVersion(shell.ModuleFileName(), &version) != kErrorSuccess) return {};
  std::wstring text;
  for (std::size_t i = 0; i < version.parts.size(); ++i) {
    if (i != 0) text += L'.';
    text += DecimalText(version.parts[i]);
  }
  return text;
}

}  // namespace qv
