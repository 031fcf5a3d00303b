// The system registry editor ("regedit.exe") as a peer process: merging a .reg file and exporting
// the registry, each started through the shell and waited for without a time limit.
//
// The editor's exit status says nothing (Wine's always exits 0, even for a file it rejected), so a
// merge is confirmed by reading the registry back: every key section of the file must name a key
// that exists afterwards, and every deletion section ([-key]) one that does not; every value line
// of a key section must name a value that holds the line's type and data afterwards, and every
// "name"=- line one that is gone. The last word in the file on a key or value is what counts.
//
// Wine's editor knows no /i switch (it prints an error and imports nothing); under Wine the merge
// is started with "/s \"file\"" instead of "/S /i \"file\"".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "platform/registry_editor.h"

namespace qv {

// The program and its parameters (each "%s" is the file path).
inline constexpr wchar_t kRegistryEditorProgram[] = L"regedit.exe";
inline constexpr wchar_t kRegistryEditorMergeParameters[] = L"/S /i \"%s\"";
inline constexpr wchar_t kRegistryEditorMergeParametersWine[] = L"/s \"%s\"";
inline constexpr wchar_t kRegistryEditorExportParameters[] = L"/e \"%s\"";

// What a value line asks for.
enum class RegValueAction {
  kSet,       // "name"=data or @=data
  kDelete,    // "name"=-
  kRejected,  // a line the editor does not import (a data text it does not know, a bad escape,
              // an unclosed quote, a byte list broken off...): it cannot be confirmed
};

// How the value in the registry is compared with the line's data after a merge.
enum class RegDataMatch {
  kExact,        // type and bytes: dword:, hex:, hex(N): of a type that is not a string
  kString,       // REG_SZ whose text up to its first NUL is the quoted string
  kStringBytes,  // hex(1), hex(2), hex(7) in the Unicode form: the bytes, or the bytes with the
                 // terminating NUL character the editor adds (written over an odd last byte)
  kTypeOnly,     // hex(1), hex(2), hex(7) in an 8-bit file: the editor reads the bytes as 8-bit
                 // text, so only the type is certain
};

// One value line (with its continuation lines) of a key section.
struct REG_FILE_VALUE {
  std::wstring name;  // "" for the default value (@)
  RegValueAction action = RegValueAction::kSet;
  std::uint32_t type = 0;
  // A byte list's bytes, a dword's four bytes, or a quoted string's UTF-16LE bytes without a
  // terminator.
  std::vector<std::uint8_t> data;
  RegDataMatch match = RegDataMatch::kExact;
};

// One bracketed section head of a .reg file and the value lines below it.
struct REG_FILE_SECTION {
  std::wstring key;  // the full key name, without the brackets and without a leading '-'
  bool deletion = false;
  std::vector<REG_FILE_VALUE> values;  // none for a deletion section (the editor ignores them)
};

// Reads the sections of a .reg file as the registry editor would: a UTF-16LE file with its
// byte-order mark, or an 8-bit file in the system code page; the first line must be one of the
// editor's two headers. Value lines are read with the editor's escapes in quoted names and
// strings (\\, \", \n, \r; any other backslash is dropped; \0 is refused), its data texts
// (lower-case "dword:" with at most 8 digits, "hex:", "hex(N):" with N in hexadecimal, byte lists
// continued over lines ending in a backslash) and its comments (";"). Lines before the first
// section are ignored. Returns 0, kErrorInvalidData for a file without such a header, or the
// error of reading the file.
[[nodiscard]] ErrorCode ReadRegFileSections(std::wstring_view regFile,
                                            std::vector<REG_FILE_SECTION>* sections);

class CWin32RegistryEditor final : public IRegistryEditor {
 public:
  // Returns 0 once every section and value line is confirmed; the error of reading the file
  // (nothing is merged); kErrorInvalidData for a file the editor would reject; the shell's error
  // when the editor cannot be started; ERROR_CANTWRITE (1013) when a key section's key is missing
  // afterwards or a deleted key is still there, when a value does not hold its line's type and
  // data or a deleted value is still there, or when the file has a value line the editor rejects.
  [[nodiscard]] ErrorCode MergeFile(std::wstring_view regFile) override;
  // Removes a file already at the path first (its error, other than "not found", is returned and
  // the editor is not started), so a file found afterwards is the editor's. Returns 0 once the
  // editor has ended and the file exists; the shell's error when the editor cannot be started;
  // kErrorFileNotFound when it wrote no file.
  [[nodiscard]] ErrorCode ExportRegistry(std::wstring_view regFile) override;
};

}  // namespace qv
