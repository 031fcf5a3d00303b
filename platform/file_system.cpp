#include "platform/file_system.h"

namespace qv {

std::wstring UniqueFileName(const std::uint8_t (&random)[kUniqueFileRandomBytes]) {
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = kUniqueFilePrefix;
  for (const std::uint8_t byte : random) {
    name.push_back(kDigits[byte >> 4]);
    name.push_back(kDigits[byte & 0x0F]);
  }
  name += kUniqueFileExtension;
  return name;
}

}  // namespace qv
