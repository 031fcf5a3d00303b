// The .wls reader and the text escapes must accept any input: no crash, no read out of bounds.
// The first byte picks a category and which bytes the code page carries; the rest is read as a
// .wls file, and as an identity twice (UTF-16LE units, and Latin-1 characters) that is encoded as
// the writer encodes it. What the encoder writes must come back exactly: through DecodeWlsText,
// and as a whole record of a file through ParseWlsBytes (which lower-cases ASCII letters).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_case.h"
#include "base/utf16.h"
#include "engine/categories.h"
#include "engine/exclusion_lists.h"
#include "engine/key_naming.h"

namespace {

using namespace qv;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckRoundTrip(std::wstring_view identity, int category,
                    const std::vector<bool>& byteRoundTrips) {
  const std::wstring line = EncodeWlsText(identity, byteRoundTrips);
  std::string record = std::to_string(category) + "\r\n";
  for (const wchar_t c : line) {
    Check(static_cast<std::uint32_t>(c) <= 0xFF);
    Check(c < 0x80 || byteRoundTrips[static_cast<std::size_t>(c)]);
    Check(c != L'\r' && c != L'\n');
    record.push_back(static_cast<char>(c));
  }
  record += "\r\n";
  Check(DecodeWlsText(line) == identity);

  WLS_CONTENT content;
  ParseWlsBytes(record, &content);
  Check(content.entries.size() == 1);
  Check(content.entries[0].category == category);
  Check(content.entries[0].identity == ToLowerAscii(identity));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int category = data[0] % kCategoryCount;
  std::vector<bool> byteRoundTrips(256, true);
  for (unsigned b = 0x80; b < 0x100; ++b) byteRoundTrips[b] = ((b * 37u + data[0]) & 0x10u) != 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);

  WLS_CONTENT content;
  ParseWlsBytes(rest, &content);
  Check(content.entries.size() + content.kRows.size() + content.mRows.size() +
            content.vRows.size() + content.ownedAreas.size() <= rest.size() / 2 + 1);
  for (const EXCLUSION_ENTRY& entry : content.entries) {
    Check(entry.category >= 0 && entry.category < kCategoryCount);
  }
  for (const auto* rows : {&content.kRows, &content.mRows, &content.vRows}) {
    for (const std::wstring& row : *rows) Check(!row.empty());
  }
  // An owned area names a root and no empty key name, and covers the key it names.
  for (const OWNED_AREA& area : content.ownedAreas) {
    Check(area.category == OWNED_AREA::kAnyCategory || IsValidCategory(area.category));
    Check(area.eachUser != (area.root != kNullRegHandle));
    std::wstring key(area.eachUser ? L"HKEY_CURRENT_USER" : RootKeyName(area.root));
    for (const std::wstring& element : area.elements) {
      Check(!element.empty());
      key += L"\\" + element;
    }
    Check(OwnedAreaCovers(area, area.category, key));
  }

  CheckRoundTrip(FromUtf16LeBytes(data + 1, size - 1), category, byteRoundTrips);
  std::wstring latin1;
  for (const char c : rest) latin1.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  CheckRoundTrip(latin1, category, byteRoundTrips);
  return 0;
}
