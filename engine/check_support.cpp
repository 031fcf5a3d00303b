#include "engine/check_support.h"

#include <memory>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/utf16.h"
#include "engine/checks.h"
#include "engine/path_references.h"
#include "engine/registry_cleaner.h"

namespace qv {

void AddProblemWithEvidence(CRegistryCleaner& engine, std::wstring key, std::wstring name,
                            std::wstring data, REGPROBLEM_TYPE type, PROBLEM_EVIDENCE evidence) {
  auto problem = std::make_unique<CRegistryProblem>(std::move(key), std::move(name),
                                                    std::move(data), type);
  problem->evidence = std::move(evidence);
  engine.AddProblem(std::move(problem));
}

PROBLEM_EVIDENCE MissingPathEvidence(std::wstring_view path, const MISSING_PATH& where) {
  PROBLEM_EVIDENCE evidence{EVIDENCE_MISSING_FILE, std::wstring(path), where.folder};
  if (where.standing == MISSING_PATH_STANDING::kMissingFolder) {
    evidence.kind = EVIDENCE_MISSING_FOLDER;
  } else if (where.standing == MISSING_PATH_STANDING::kNoProgram) {
    evidence.kind = EVIDENCE_NO_PROGRAM;
  }
  return evidence;
}

PROBLEM_EVIDENCE MissingPathEvidence(CRegistryCleaner& engine, std::wstring_view path) {
  return MissingPathEvidence(path, engine.LocateMissingPath(path));
}

PROBLEM_EVIDENCE ReferenceEvidence(CRegistryCleaner& engine, const REFERENCE_JUDGEMENT& reference,
                                   std::wstring_view text, REGISTRY_VIEW view) {
  if (reference.missingPaths.empty()) {
    return MissingPathEvidence(engine, engine.ResolvePath(text, view));
  }
  return MissingPathEvidence(engine,
                             engine.ReadablePath(reference.missingPaths.front(), text, view));
}

REFERENCE_JUDGEMENT JudgePlainPath(CRegistryCleaner& engine, std::wstring_view path,
                                   REGISTRY_VIEW view) {
  REFERENCE_JUDGEMENT judgement;
  const std::wstring_view trimmed = TrimWhiteSpace(path);
  if (!StartsWithDrivePath(trimmed)) return judgement;
  judgement.reading.paths.emplace_back(trimmed);
  judgement.reading.named = trimmed;
  std::wstring asked = engine.ResolvePath(trimmed, view);
  const PATH_STANDING standing = engine.JudgePath(trimmed, view);
  if (standing == PATH_STANDING::kMissing) {
    judgement.missing = true;
    judgement.missingPaths.push_back(std::move(asked));
  } else if (IsPassedOver(standing)) {
    judgement.passedOver = standing;
    judgement.passedOverPath = std::move(asked);
  }
  return judgement;
}

std::wstring RegistryDataText(const std::uint8_t* data, std::uint32_t bytes,
                              std::uint32_t capacityBytes) {
  return FixedBufferText(data, bytes, capacityBytes);
}

ErrorCode EnumValueText(const CRegKey& key, std::uint32_t index, std::uint32_t nameChars,
                        std::uint32_t dataBytes, std::wstring* name, std::wstring* data) {
  IRegistry* registry = key.registry();
  if (registry == nullptr || !key.valid()) return kErrorInvalidHandle;
  // One spare unit beyond the limit, so a native 32-bit wchar_t name of nameChars UTF-16 units
  // always has room for its terminator.
  std::wstring nameBuffer(static_cast<std::size_t>(nameChars) + 1, L'\0');
  std::uint32_t nameLength = nameChars;
  std::vector<std::uint8_t> dataBuffer(static_cast<std::size_t>(dataBytes) + 2, 0);
  std::uint32_t dataLength = dataBytes;
  const ErrorCode rc =
      registry->EnumValue(key.get(), index, nameBuffer.data(), &nameLength, nullptr,
                          dataBytes > 0 ? dataBuffer.data() : nullptr,
                          dataBytes > 0 ? &dataLength : nullptr);
  if (rc != kErrorSuccess) return rc;
  nameBuffer.resize(nameLength);
  if (name != nullptr) *name = std::move(nameBuffer);
  if (data != nullptr) {
    *data = dataBytes > 0 ? RegistryDataText(dataBuffer.data(), dataLength, dataBytes)
                          : std::wstring();
  }
  return kErrorSuccess;
}

bool PassOverNulName(CRegistryCleaner& engine, std::wstring_view keyText,
                     std::wstring_view name) {
  if (!HasNulCharacter(name)) return false;
  if (IActivityLog* log = engine.Log(); log != nullptr) {
    std::wstring shown(keyText);
    shown += L'\\';
    shown += VisibleRegName(name);
    static_cast<void>(log->WriteLog(FormatWithStrings(kNulNamePassedOverLog, {shown})));
  }
  return true;
}

bool AtDepthLimit(CRegistryCleaner& engine, int depth, std::wstring_view keyText) {
  if (depth < kMaxRegistryDepth) return false;
  if (IActivityLog* log = engine.Log(); log != nullptr) {
    static_cast<void>(
        log->WriteLog(FormatWithStrings(kDepthLimitLog, {VisibleRegName(keyText)})));
  }
  return true;
}

bool ReferencedKeyExists(IRegistry& registry, RegHandle root, std::wstring_view subkey) {
  CRegKey key(registry);
  const ErrorCode rc = key.Open(root, subkey, kKeyReadWriteCreate);
  return rc == kErrorSuccess || rc == kErrorAccessDenied;
}

namespace {

bool IsUncPath(std::wstring_view path) { return path.starts_with(L"\\\\"); }

}  // namespace

bool AppendPath(std::wstring_view path, std::wstring_view more, std::wstring* result) {
  if (!IsUncPath(more)) {
    while (more.starts_with(L'\\')) more.remove_prefix(1);
  }
  std::wstring combined;
  if (more.empty()) {
    combined = path;
  } else if (path.empty() || IsUncPath(more) || (more.size() >= 2 && more[1] == L':')) {
    combined = more;
  } else {
    combined = path;
    if (!combined.ends_with(L'\\')) combined += L'\\';
    combined += more;
  }
  if (Utf16Length(combined) >= kMaxPathChars) return false;
  *result = std::move(combined);
  return true;
}

}  // namespace qv
