// The .wls list file: how the safe lists, the ignore list and Windows' own areas are written down.
// The code here reads a file's bytes into records and writes records out; it touches only the file
// it is given (through IFileSystem) and knows nothing of where the lists live or what they hide
// (exclusion_lists.h).
//
// The file: 8-bit text, one byte per character holding its code point (U+0000-U+00FF), CR LF
// line ends when written (CR LF or LF when read), a sequence of two-line records: a type line (a
// category index 0-10 in decimal, or a letter K, M or V) and a text line. Both lines are trimmed
// when read and the text line is lower-cased (ASCII letters only). A character that a line cannot
// hold as one byte is written as "&#x" lower-case hex ";" of its UTF-16 code unit (see
// EncodeWlsText for when, and DecodeWlsText for what is read back); a file without such
// characters is plain text exactly as above.
//
// A shipped list may also hold "W" records, each naming a registry area that Windows owns
// (windows_owned.h). A reader that knows only the category and K, M, V records skips them, as it
// skips every record whose type line begins with another character ("#" records are notes for
// the person reading the file).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/windows_owned.h"
#include "base/errors.h"
#include "platform/file_system.h"

namespace qv {

// One ignore-list or blocked-list entry.
struct EXCLUSION_ENTRY {
  int category = 0;       // 0..10
  std::wstring identity;  // "<key>\<name>|<data>"

  friend bool operator==(const EXCLUSION_ENTRY&, const EXCLUSION_ENTRY&) = default;
};

// What one .wls file holds.
struct WLS_CONTENT {
  std::vector<EXCLUSION_ENTRY> entries;  // records with a category index, in file order
  std::vector<std::wstring> kRows;
  std::vector<std::wstring> mRows;
  std::vector<std::wstring> vRows;
  std::vector<OWNED_AREA> ownedAreas;  // "W" records that could be read
};

// Reads the records of a .wls file's bytes into *content (appending):
//  - the type line, trimmed, is read as a leading decimal integer (optional sign; no digits: 0);
//  - 1 to 10: (index, text) is an ignore entry; 11 or more, or below 0: the record is skipped;
//  - 0: the first character of the trimmed type line decides: "0" an ignore entry of category 0,
//    K/k, M/m, V/v a row of that list (an empty text adds no row), W/w an owned area (when
//    ParseOwnedArea reads it), anything else skips it;
//  - a last line without its partner is ignored.
void ParseWlsBytes(std::string_view bytes, WLS_CONTENT* content);

// A text line as read: trimmed, ASCII letters lower-cased, then the escapes decoded.
[[nodiscard]] std::wstring ReadWlsTextLine(std::wstring_view line);
// Decodes "&#x" + 1-4 hex digits (0-9, a-f) + ";" when its value is one that EncodeWlsText
// escapes (white space U+0009-U+000D and U+0020, "&", U+0080 and above); every other "&" is an
// ordinary character, so a plain file reads exactly as its bytes say.
[[nodiscard]] std::wstring DecodeWlsText(std::wstring_view line);
// The identity as one text line of 8-bit characters (every result character is at most U+00FF).
// Escaped: every UTF-16 code unit above U+00FF; CR and LF anywhere; white space at either end
// (which the reader would trim); a character U+0080-U+00FF whose byte the system code page cannot
// carry (`byteRoundTrips[b]` false); and "&" only where the reader would otherwise take what
// follows it for an escape. Every other character stands for itself.
[[nodiscard]] std::wstring EncodeWlsText(std::wstring_view identity,
                                         const std::vector<bool>& byteRoundTrips);
// Which bytes 0x00-0xFF come back unchanged when converted from and to the system code page
// (what CTextWriter writes). Index = byte.
[[nodiscard]] std::vector<bool> CodePageRoundTrips(IFileSystem& files);

// Reads a .wls file; a file that cannot be opened or read gives its error and adds nothing.
[[nodiscard]] ErrorCode ReadWlsFile(IFileSystem& files, std::wstring_view path,
                                    WLS_CONTENT* content);
// Writes the entries as records to a new file at `path` (created or truncated): the category in
// decimal, then the encoded identity. The result is the first failure of opening, writing,
// flushing or closing.
[[nodiscard]] ErrorCode WriteWlsFile(IFileSystem& files, std::wstring_view path,
                                     const std::vector<EXCLUSION_ENTRY>& entries);
// The same records written to an open file, which is closed afterwards.
[[nodiscard]] ErrorCode WriteWlsRecords(IFileSystem& files, std::unique_ptr<IFile> file,
                                        const std::vector<EXCLUSION_ENTRY>& entries);

}  // namespace qv
