// Registry and path operations the category checks share: reading an enumerated value as text
// within the check's buffer limits, the existence test of a key another key refers to, and the
// shell's path append.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "engine/categories.h"
#include "engine/key_naming.h"
#include "engine/path_references.h"
#include "engine/reference_reading.h"
#include "engine/registry_problem.h"
#include "platform/registry.h"

namespace qv {

class CRegistryCleaner;

// Hands a new problem, with the evidence of what was found missing, to the engine's AddProblem.
void AddProblemWithEvidence(CRegistryCleaner& engine, std::wstring key, std::wstring name,
                            std::wstring data, REGPROBLEM_TYPE type, PROBLEM_EVIDENCE evidence);

// The evidence of a path found missing, from its place on the drive: the file missing, the
// folder that should hold it missing, or no program left in its folder.
[[nodiscard]] PROBLEM_EVIDENCE MissingPathEvidence(std::wstring_view path,
                                                   const MISSING_PATH& where);
// The same for a path that has not been placed yet: the engine locates it on the drive.
[[nodiscard]] PROBLEM_EVIDENCE MissingPathEvidence(CRegistryCleaner& engine,
                                                   std::wstring_view path);

// The evidence of a reference judged missing: its first missing path as the view's program opens
// it, in the case `text` (the data the reference was read from) writes it, placed on the drive.
[[nodiscard]] PROBLEM_EVIDENCE ReferenceEvidence(CRegistryCleaner& engine,
                                                 const REFERENCE_JUDGEMENT& reference,
                                                 std::wstring_view text, REGISTRY_VIEW view);

// The judgement of data that is a path and nothing else (a shared DLL's name, a font's file):
// judged as it stands when it is a local drive path, not judged otherwise.
[[nodiscard]] REFERENCE_JUDGEMENT JudgePlainPath(CRegistryCleaner& engine, std::wstring_view path,
                                                 REGISTRY_VIEW view);

// Registry data as the checks use it: a terminated string held in a buffer of capacityBytes
// bytes. The text ends at its first NUL; data that fills the buffer without one loses its last
// UTF-16 unit to the terminator. Data of any type is read this way.
[[nodiscard]] std::wstring RegistryDataText(const std::uint8_t* data, std::uint32_t bytes,
                                            std::uint32_t capacityBytes);

// RegEnumValueW on an open key with a name buffer of nameChars characters (NUL included) and a
// data buffer of dataBytes bytes (0: no data buffer, the data is neither read nor limited).
// On success *name and *data (may be null) hold the value's name and its data as text; a name or
// data that does not fit fails with kErrorMoreData, past the end with kErrorNoMoreItems. On
// failure the out-parameters are unchanged.
[[nodiscard]] ErrorCode EnumValueText(const CRegKey& key, std::uint32_t index,
                                      std::uint32_t nameChars, std::uint32_t dataBytes,
                                      std::wstring* name, std::wstring* data);

// Whether a name that an enumeration of the key `keyText` gave is passed over because it holds a
// NUL character (see HasNulCharacter): no check can open or name it, and a name cut at its NUL
// would be another key or value. A name passed over gets the log line kNulNamePassedOverLog.
[[nodiscard]] bool PassOverNulName(CRegistryCleaner& engine, std::wstring_view keyText,
                                   std::wstring_view name);

// A walk `depth` levels below its start that may go no deeper (kMaxRegistryDepth): true, with
// the log line kDepthLimitLog for `keyText`.
[[nodiscard]] bool AtDepthLimit(CRegistryCleaner& engine, int depth, std::wstring_view keyText);

// Whether the key that a registry entry refers to is there. The key is opened with the checks'
// access (0x2001F); a key that exists but refuses that access counts as there.
[[nodiscard]] bool ReferencedKeyExists(IRegistry& registry, RegHandle root,
                                       std::wstring_view subkey);

// PathAppendW: more is appended to path with one backslash between them. Leading backslashes of
// more are dropped unless it is a UNC path (\\server...); a more that is itself absolute (a UNC
// path or x:...) replaces path; an empty more leaves path alone. A result of 260 characters or
// more does not fit a path buffer: *result stays unchanged and false is returned.
[[nodiscard]] bool AppendPath(std::wstring_view path, std::wstring_view more, std::wstring* result);

}  // namespace qv
