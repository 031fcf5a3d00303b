#include "repair/shortcut_restore.h"

#include <string>
#include <vector>

#include "base/text_case.h"
#include "base/utf16.h"
#include "engine/checks.h"
#include "repair/backup_texts.h"
#include "state/text_file.h"
#include "state/trusted_files.h"

namespace qv {
namespace {

bool IsShortcutName(std::wstring_view path) {
  return path.size() > kShortcutExtension.size() &&
         EqualsNoCase(path.substr(path.size() - kShortcutExtension.size()), kShortcutExtension);
}

// Whether a folder from the drive down to the one that holds `path` (a plain drive path) is a
// reparse point. A folder that cannot be listed is not one here: moving into it fails anyway.
bool PassesReparsePoint(IFileSystem& files, std::wstring_view path) {
  for (std::size_t slash = path.find(L'\\', 3); slash != std::wstring_view::npos;
       slash = path.find(L'\\', slash + 1)) {
    std::vector<CFindData> found;
    if (files.FindFiles(path.substr(0, slash), &found) == kErrorSuccess && found.size() == 1 &&
        found.front().reparsePoint) {
      return true;
    }
  }
  return false;
}

// Why the line may not be used, or none (its id 0) when it may.
UI_TEXT RefusalOf(IFileSystem& files, std::wstring_view folder,
                            std::wstring_view source, std::wstring_view copy) {
  const bool inFolder = !folder.empty() && copy.size() > folder.size() + 1 &&
                        EqualsNoCase(copy.substr(0, folder.size()), folder) &&
                        copy[folder.size()] == L'\\' &&
                        copy.find_first_of(L"\\/:", folder.size() + 1) == std::wstring_view::npos;
  if (!inFolder) return kShortcutLineCopyElsewhere;
  if (!IsShortcutName(source) || !IsShortcutName(copy)) return kShortcutLineNotShortcut;
  if (!IsPlainDrivePath(source)) return kShortcutLineNotPlainPath;
  if (PassesReparsePoint(files, source)) return kShortcutLineThroughLink;
  return UI_TEXT{};
}

}  // namespace

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

  // The list's own shortcut folder: its path up to the last "." of its name.
  const std::size_t dot = listPath.rfind(L'.');
  const std::size_t slash = listPath.rfind(L'\\');
  const std::wstring_view folder =
      dot != std::wstring_view::npos && (slash == std::wstring_view::npos || dot > slash)
          ? listPath.substr(0, dot)
          : std::wstring_view();

  for (const std::wstring& line : SplitLines(text)) {
    if (line.empty()) continue;
    const std::size_t comma = line.find(L',');
    if (comma == std::wstring::npos || line.find(L',', comma + 1) != std::wstring::npos) {
      result->leftAlone.push_back({line, kShortcutLineNotTwoPaths});
      continue;
    }
    const std::wstring source = line.substr(0, comma);
    const std::wstring moved = line.substr(comma + 1);
    const UI_TEXT refusal = RefusalOf(files, folder, source, moved);
    if (refusal.id != 0) {
      result->leftAlone.push_back({line, refusal});
      continue;
    }
    const ErrorCode trust = CheckTrustedPath(files, moved);
    if (trust == kErrorReparsePointEncountered || trust == kErrorInvalidOwner) {
      ++result->untrusted;
      continue;
    }
    if (files.MoveByHandle(moved, source) == kErrorSuccess) {
      ++result->moved;
    } else if (!files.FileExists(moved) && files.FileExists(source)) {
      ++result->alreadyBack;
    } else {
      ++result->failed;
    }
  }

  if (!folder.empty()) {
    result->folderRemoved = files.RemoveFolder(folder) == kErrorSuccess;
  }
  if (result->failed == 0 && result->leftAlone.empty() && result->untrusted == 0) {
    result->listDeleted = files.RemoveFile(listPath) == kErrorSuccess;
  }
  return kErrorSuccess;
}

}  // namespace qv
