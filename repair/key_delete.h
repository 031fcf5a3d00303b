// Deleting a registry key and everything below it without ever following a registry link.
//
// Why: a path through a link opens the link's target, so RegDeleteKeyW on a link's path deletes
// the TARGET, and the recursive tree deletions of the Win32 API, run on a key that holds a link,
// delete the target's whole tree, somewhere else in the registry. A .reg backup cannot hold a
// link either. So a key that is a link, or holds one anywhere below it, is neither backed up nor
// deleted: the result is kErrorReparsePointEncountered and the caller keeps the problem.
//
// Every key of the tree is opened with IRegistry::OpenKeyNoFollow, level by level relative to its
// parent, so no link is ever passed through below the given key. Links in the middle of the
// given key path itself are followed, as any open of that path would.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/errors.h"
#include "platform/registry.h"

namespace qv {

// Looks at root\keyPath and every key below it for a link (CRegKey::IsLink on each key opened
// no-follow with query-value and enumerate-subkey access). Result: kErrorReparsePointEncountered
// as soon as a link is seen; otherwise the first failure to open or enumerate a key of the tree
// (the open's error, kErrorFileNotFound included, when root\keyPath itself cannot be opened),
// after looking at the rest (kErrorInvalidParameter for a subkey whose name holds a NUL
// character, which cannot be opened; kErrorStackOverflow for a tree deeper than
// kMaxRegistryDepth, which is not looked at below that depth); 0 when the whole tree was seen and
// holds no link.
[[nodiscard]] ErrorCode FindLinkInTree(IRegistry& registry, RegHandle root,
                                       std::wstring_view keyPath);

// Deletes root\keyPath and its whole tree, depth first, or refuses it: any non-zero result of
// FindLinkInTree (kErrorReparsePointEncountered for a link anywhere in the tree, the key itself
// included) is returned with nothing deleted. kErrorInvalidParameter for an empty keyPath (a
// root is never deleted).
// Each key is opened no-follow with DELETE, query-value and enumerate-subkey access. Its subkeys
// are enumerated from index 0 and deleted the same way: after a subkey whose deletion failed the
// index advances by one, after a successful one it stays (the next subkey has moved up). Then the
// key is checked for being a link once more, on the handle about to be deleted (a link made
// meanwhile is refused with kErrorReparsePointEncountered, not followed), and deleted with
// IRegistry::DeleteOpenedKey. The result is that of deleting the top key: 0 when it is gone,
// kErrorFileNotFound when it was already gone, kErrorAccessDenied when a subkey could not be
// deleted and so the key still has subkeys. *deletedKeys (may be null) grows by every key of the
// tree really deleted, the top key's subkeys included when the top key itself stays.
[[nodiscard]] ErrorCode DeleteKeyTree(IRegistry& registry, RegHandle root,
                                      std::wstring_view keyPath,
                                      std::uint32_t* deletedKeys = nullptr);

}  // namespace qv
