// The system registry editor ("regedit.exe") as a peer process: merging a .reg file and exporting
// the registry, each started through the shell and waited for without a time limit.
//
// The editor's exit status says nothing (Wine's always exits 0, even for a file it rejected), so a
// merge is confirmed by reading the registry back: every key section of the file must name a key
// that exists afterwards, and every deletion section ([-key]) one that does not.
//
// Wine's editor knows no /i switch (it prints an error and imports nothing); under Wine the merge
// is started with "/s \"file\"" instead of "/S /i \"file\"".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"
#include "platform/registry_editor.h"

namespace qv {

// The program and its parameters (each "%s" is the file path).
inline constexpr wchar_t kRegistryEditorProgram[] = L"regedit.exe";
inline constexpr wchar_t kRegistryEditorMergeParameters[] = L"/S /i \"%s\"";
inline constexpr wchar_t kRegistryEditorMergeParametersWine[] = L"/s \"%s\"";
inline constexpr wchar_t kRegistryEditorExportParameters[] = L"/e \"%s\"";

// One bracketed section head of a .reg file.
struct REG_FILE_SECTION {
  std::wstring key;  // the full key name, without the brackets and without a leading '-'
  bool deletion = false;
};

// Reads the section heads of a .reg file as the registry editor would: a UTF-16LE file with its
// byte-order mark, or an 8-bit file in the system code page; the first line must be one of the
// editor's two headers. Returns 0, kErrorInvalidData for a file without such a header, or the
// error of reading the file.
[[nodiscard]] ErrorCode ReadRegFileSections(std::wstring_view regFile,
                                            std::vector<REG_FILE_SECTION>* sections);

class CWin32RegistryEditor final : public IRegistryEditor {
 public:
  // Returns 0 once every section is confirmed; the error of reading the file (nothing is merged);
  // kErrorInvalidData for a file the editor would reject; the shell's error when the editor
  // cannot be started; ERROR_CANTWRITE (1013) when a key section's key is missing afterwards or
  // a deleted key is still there.
  [[nodiscard]] ErrorCode MergeFile(std::wstring_view regFile) override;
  // Returns 0 once the editor has ended and the file exists; the shell's error when the editor
  // cannot be started; kErrorFileNotFound when it wrote no file.
  [[nodiscard]] ErrorCode ExportRegistry(std::wstring_view regFile) override;
};

}  // namespace qv
