#include "repair/shortcut_restore.h"

#include <string>
#include <vector>

#include "base/utf16.h"
#include "state/text_file.h"
#include "state/trusted_files.h"

namespace qv {

ErrorCode RestoreShortcuts(IFileSystem& files, std::wstring_view listPath,
                           SHORTCUT_RESTORE* result) {
  *result = SHORTCUT_RESTORE{};
  if (!files.FileExists(listPath)) return kErrorFileNotFound;
  std::string bytes;
  const ErrorCode read = ReadTrustedFile(files, listPath, kNoSizeLimit, &bytes);
  if (read != kErrorSuccess) return read;

  std::wstring text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    text = FromUtf16LeBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2,
                            bytes.size() - 2);
  } else {
    const ErrorCode converted = files.FromCodePage(bytes, &text);
    if (converted != kErrorSuccess) return converted;
  }

  for (const std::wstring& line : SplitLines(text)) {
    if (line.empty()) continue;
    const std::size_t comma = line.find(L',');
    if (comma == std::wstring::npos || line.find(L',', comma + 1) != std::wstring::npos) {
      ++result->ignored;
      continue;
    }
    const std::wstring source = line.substr(0, comma);
    const std::wstring moved = line.substr(comma + 1);
    const ErrorCode trust = CheckTrustedPath(files, moved);
    if (trust == kErrorReparsePointEncountered || trust == kErrorInvalidOwner) {
      ++result->untrusted;
      continue;
    }
    if (files.MovePath(moved, source) == kErrorSuccess) {
      ++result->moved;
    } else if (!files.FileExists(moved) && files.FileExists(source)) {
      ++result->alreadyBack;
    } else {
      ++result->failed;
    }
  }

  const std::size_t dot = listPath.rfind(L'.');
  if (dot != std::wstring_view::npos) {
    result->folderRemoved = files.RemoveFolder(listPath.substr(0, dot)) == kErrorSuccess;
  }
  if (result->failed == 0 && result->untrusted == 0) result->listDeleted = files.RemoveFile(listPath) == kErrorSuccess;
  return kErrorSuccess;
}

}  // namespace qv
