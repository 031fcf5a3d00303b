// The registry editor's .reg files read the way the editor reads them, so that what a merge must
// leave behind can be worked out before the editor runs (registry_merge.h) and checked afterwards
// (merge_check.h). Platform-neutral: the bytes come from IFileSystem, the 8-bit code page from a
// decoder the caller supplies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "platform/file_system.h"

namespace qv {

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

// Turns the bytes of an 8-bit file into text (IFileSystem::FromCodePage: the system code page).
// Returns 0 or the conversion's error.
using CodePageDecoder = std::function<ErrorCode(std::string_view bytes, std::wstring* text)>;

// Reads the sections of a .reg file's bytes as the registry editor would: UTF-16LE after a
// byte-order mark (FF FE; an odd last byte is dropped), otherwise 8-bit text through `decode`;
// the first line must be one of the editor's two headers. Lines end at CR LF, LF or a CR alone.
// Value lines are read with the editor's escapes in quoted names and strings (\\, \", \n, \r;
// any other backslash is dropped; \0 is refused), its data texts (lower-case "dword:" with at
// most 8 digits, "hex:", "hex(N):" with N in hexadecimal, byte lists continued over lines ending
// in a backslash) and its comments (";"). Value lines with no key to go into are ignored: before
// the first section, after a deletion section, after a head without its closing bracket (which
// gives no section). Returns 0 with *sections replaced; kErrorInvalidData for bytes without such
// a header (empty, a UTF-8 byte-order mark, a lower-case header...); the decoder's error. On
// failure *sections is unchanged.
[[nodiscard]] ErrorCode ParseRegFile(std::string_view bytes, const CodePageDecoder& decode,
                                     std::vector<REG_FILE_SECTION>* sections);

// ParseRegFile over the whole file at `path`, 8-bit text in the file system's code page. The
// error of opening or reading the file (kErrorFileNotFound...) is returned as it is.
[[nodiscard]] ErrorCode ReadRegFile(IFileSystem& files, std::wstring_view path,
                                    std::vector<REG_FILE_SECTION>* sections);

}  // namespace qv
