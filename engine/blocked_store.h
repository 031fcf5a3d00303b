// The blocked store: the problems that repairs removed and that are to stay hidden, kept in the
// registry under HKEY_LOCAL_MACHINE\SOFTWARE\<product>\blocked, one subkey per category (named
// by BlockedCategoryValueName), one REG_SZ value per problem, named by the identity's hash
// (IdentityHashText) and holding the identity. The code here reads, writes and deletes in that
// tree and touches nothing else; it holds no list itself (the lists, and when the store is read
// or written, are the exclusion lists', exclusion_lists.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/wls_format.h"
#include "base/errors.h"
#include "platform/registry.h"

namespace qv {

inline constexpr wchar_t kBlockedSubkey[] = L"blocked";
// Limits of one blocked-store value when the store is read: a longer name or larger data ends
// the reading of that category's subkey.
inline constexpr std::uint32_t kBlockedNameMaxChars = 1023;
inline constexpr std::uint32_t kBlockedDataMaxBytes = 2048;

// hash = hash * 33 + c for every UTF-16 code unit c, from 0, wrapping at 32 bits; read signed.
[[nodiscard]] std::int32_t IdentityHash(std::wstring_view identity);
// The hash in signed decimal: the value name of the problem in the blocked store.
[[nodiscard]] std::wstring IdentityHashText(std::wstring_view identity);

// HKEY_LOCAL_MACHINE\SOFTWARE\<product>\blocked\<category value name>.
[[nodiscard]] std::wstring BlockedStoreKeyPath(std::wstring_view productName, int category);

// Every entry of the store, in order: for each category 0-10, every value of its subkey with
// non-empty data (read up to its first NUL), until a value whose name is longer than
// kBlockedNameMaxChars characters or whose data is larger than kBlockedDataMaxBytes bytes, or
// the end. A key that cannot be opened adds nothing.
[[nodiscard]] std::vector<EXCLUSION_ENTRY> ReadBlockedStore(IRegistry& registry,
                                                            std::wstring_view productName);

// Writes the entries: the product key and its "blocked" subkey are created or opened, then for
// each entry in order the subkey of its category (opened once) gets the REG_SZ value named by the
// identity hash holding the identity. A subkey that cannot be created or a value that cannot be
// written ends the writing with its error. Values already in the store stay.
[[nodiscard]] ErrorCode WriteBlockedStore(IRegistry& registry, std::wstring_view productName,
                                          const std::vector<EXCLUSION_ENTRY>& blocked);

// Deletes from the category's subkey the first value (in enumeration order, read as
// ReadBlockedStore reads it) whose data is exactly the identity. No such value, store or subkey:
// 0. Otherwise the error of opening or deleting. The category must be valid.
[[nodiscard]] ErrorCode DeleteBlockedValue(IRegistry& registry, std::wstring_view productName,
                                           int category, std::wstring_view identity);

}  // namespace qv
