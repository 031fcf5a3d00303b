// The .reg reader must accept any bytes: no crash, no read out of bounds, and the two forms of a
// file read alike. The input is read as it is (UTF-16LE when it starts with a byte-order mark,
// otherwise 8-bit), and its bytes as Latin-1 characters are read again in both forms: the 8-bit
// file and the same text in the Unicode form must give the same sections, except that string
// bytes are only type-checked in the 8-bit form. The sections then go through the merge
// confirmation against an empty registry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16.h"
#include "platform/memory/memory_registry.h"
#include "repair/merge_check.h"
#include "repair/reg_file_reader.h"

namespace {

using namespace qv;

void Check(bool condition) {
  if (!condition) std::abort();
}

ErrorCode Latin1(std::string_view bytes, std::wstring* text) {
  text->clear();
  for (const char c : bytes) text->push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return kErrorSuccess;
}

// What every parse promises, whatever the bytes.
void CheckSections(const std::vector<REG_FILE_SECTION>& sections) {
  for (const REG_FILE_SECTION& section : sections) {
    Check(!section.deletion || section.values.empty());
    for (const REG_FILE_VALUE& value : section.values) {
      if (value.action != RegValueAction::kSet) continue;
      if (value.match == RegDataMatch::kString) {
        Check(value.type == kRegSz && value.data.size() % 2 == 0);
      }
      if (value.match == RegDataMatch::kStringBytes || value.match == RegDataMatch::kTypeOnly) {
        Check(IsStringType(value.type));
      }
    }
  }
}

bool SameValue(const REG_FILE_VALUE& ansi, const REG_FILE_VALUE& unicode) {
  if (ansi.name != unicode.name || ansi.action != unicode.action) return false;
  if (ansi.action != RegValueAction::kSet) return true;
  const bool matchAlike = ansi.match == unicode.match ||
                          (ansi.match == RegDataMatch::kTypeOnly &&
                           unicode.match == RegDataMatch::kStringBytes);
  return ansi.type == unicode.type && ansi.data == unicode.data && matchAlike;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CMemoryRegistry registry;  // stays empty: ConfirmMerge only reads
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::vector<REG_FILE_SECTION> asGiven;
  ErrorCode rc = ParseRegFile(bytes, Latin1, &asGiven);
  Check(rc == kErrorSuccess || rc == kErrorInvalidData);
  CheckSections(asGiven);
  if (rc == kErrorSuccess) static_cast<void>(ConfirmMerge(registry, asGiven));

  if (bytes.substr(0, 2) == "\xFF\xFE") return 0;
  std::wstring text;
  static_cast<void>(Latin1(bytes, &text));
  std::string unicodeBytes = "\xFF\xFE";
  for (const std::uint8_t b : ToUtf16LeBytes(text, false)) {
    unicodeBytes.push_back(static_cast<char>(b));
  }
  std::vector<REG_FILE_SECTION> unicode;
  const ErrorCode unicodeRc = ParseRegFile(unicodeBytes, Latin1, &unicode);
  Check(unicodeRc == rc);
  CheckSections(unicode);
  if (rc != kErrorSuccess) return 0;
  Check(unicode.size() == asGiven.size());
  for (std::size_t i = 0; i < asGiven.size(); ++i) {
    Check(asGiven[i].key == unicode[i].key && asGiven[i].deletion == unicode[i].deletion);
    Check(asGiven[i].values.size() == unicode[i].values.size());
    for (std::size_t v = 0; v < asGiven[i].values.size(); ++v) {
      Check(SameValue(asGiven[i].values[v], unicode[i].values[v]));
    }
  }
  return 0;
}
