// Whether a merge of a .reg file arrived: the registry read back against what the file leaves
// behind. The registry editor's exit status says nothing (Wine's always exits 0, even for a file it
// rejected), so this is the only proof of a merge.
#pragma once

#include <string>
#include <vector>

#include "base/errors.h"
#include "platform/registry.h"
#include "repair/reg_file_reader.h"

namespace qv {

// The first key or value that is not as the file leaves it.
struct MERGE_MISMATCH {
  std::wstring key;        // the full key name as the file writes it
  bool value = false;      // a value line of that key rather than the key itself
  std::wstring valueName;  // the value's name when `value` ("" for the default value)
};

// What the sections leave behind, in file order (the last word on a key or value wins):
//  - every key of a key section exists, and every level above it (a key section brings back the
//    levels that an earlier [-key] deleted); a key that refuses reading counts as existing;
//  - every key of a deletion section is gone, with every key and value below it that the file
//    named before it;
//  - every value of a "name"=data line holds the line's type and data (RegDataMatch says how
//    closely), every value of a "name"=- line is gone (or its key is);
//  - a value line the editor rejects is never confirmed.
// Key names compare without case; the root is the text before the first backslash, one of the
// fourteen spellings of kRootSpellings in any case (any other root is never confirmed).
// Returns 0 when all of it holds; otherwise kErrorCantWrite (1013), with *mismatch (may be null)
// naming the first failure found: keys before values, each in the order of their upper-cased
// names.
[[nodiscard]] ErrorCode ConfirmMerge(IRegistry& registry,
                                     const std::vector<REG_FILE_SECTION>& sections,
                                     MERGE_MISMATCH* mismatch = nullptr);

}  // namespace qv
