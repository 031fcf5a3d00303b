#include "engine/registry_problem.h"

#include <algorithm>
#include <array>

#include "engine/engine_texts.h"

namespace qv {

namespace {

// The evidence texts, by kind: %1 is the path, key or class tested, %2 the second path.
struct EVIDENCE_TEXT {
  EVIDENCE_KIND kind;
  std::wstring_view name;
  UI_TEXT format;  // engine_texts.inc
};

constexpr std::array<EVIDENCE_TEXT, 12> kEvidenceTexts = {{
    {EVIDENCE_MISSING_FILE, L"missingFile", kEvidenceMissingFile},
    {EVIDENCE_MISSING_FOLDER, L"missingFolder", kEvidenceMissingFolder},
    {EVIDENCE_NO_PROGRAM, L"noProgram", kEvidenceNoProgram},
    {EVIDENCE_NOT_REGISTERED, L"notRegistered", kEvidenceNotRegistered},
    {EVIDENCE_EMPTY_KEY, L"emptyKey", kEvidenceEmptyKey},
    {EVIDENCE_MISSING_TARGET, L"missingTarget", kEvidenceMissingTarget},
    {EVIDENCE_NO_MENU_FOLDER, L"noMenuFolder", kEvidenceNoMenuFolder},
    {EVIDENCE_DRIVE_ABSENT, L"driveAbsent", kEvidenceDriveAbsent},
    {EVIDENCE_REMOVABLE_DRIVE, L"removableDrive", kEvidenceRemovableDrive},
    {EVIDENCE_OPTICAL_DRIVE, L"opticalDrive", kEvidenceOpticalDrive},
    {EVIDENCE_NETWORK_DRIVE, L"networkDrive", kEvidenceNetworkDrive},
    {EVIDENCE_UNKNOWN_DRIVE, L"unknownDrive", kEvidenceUnknownDrive},
}};

constexpr std::wstring_view kNoEvidenceName = L"none";

const EVIDENCE_TEXT* FindEvidenceText(EVIDENCE_KIND kind) {
  for (const EVIDENCE_TEXT& text : kEvidenceTexts) {
    if (text.kind == kind) return &text;
  }
  return nullptr;
}

}  // namespace

std::wstring EvidenceText(const PROBLEM_EVIDENCE& evidence, WORDING wording) {
  const EVIDENCE_TEXT* text = FindEvidenceText(evidence.kind);
  if (text == nullptr) return {};
  std::wstring line;
  const std::wstring_view format = Tr(text->format, wording);
  for (std::size_t i = 0; i < format.size(); ++i) {
    const wchar_t next = i + 1 < format.size() ? format[i + 1] : L'\0';
    if (format[i] == L'%' && (next == L'1' || next == L'2')) {
      line += next == L'1' ? evidence.tested : evidence.folder;
      ++i;
    } else {
      line += format[i];
    }
  }
  return line;
}

PROBLEM_EVIDENCE ShownEvidence(const CRegistryProblem& problem) {
  PROBLEM_EVIDENCE shown = problem.evidence;
  if (shown.kind == EVIDENCE_EMPTY_KEY && shown.tested.empty()) shown.tested = problem.key;
  return shown;
}

std::wstring_view EvidenceKindName(EVIDENCE_KIND kind) {
  const EVIDENCE_TEXT* text = FindEvidenceText(kind);
  return text != nullptr ? text->name : kNoEvidenceName;
}

CRegistryProblem* CProblemList::Add(std::unique_ptr<CRegistryProblem> problem) {
  if (!problem) return nullptr;
  m_problems.push_back(std::move(problem));
  return m_problems.back().get();
}

void CProblemList::Clear() {
  // Swapping with an empty vector releases the storage as well as the problems.
  std::vector<std::unique_ptr<CRegistryProblem>>().swap(m_problems);
}

bool CProblemList::Remove(const CRegistryProblem* problem) {
  const auto found = std::find_if(
      m_problems.begin(), m_problems.end(),
      [problem](const std::unique_ptr<CRegistryProblem>& held) { return held.get() == problem; });
  if (problem == nullptr || found == m_problems.end()) return false;
  m_problems.erase(found);
  return true;
}

CRegistryProblem* CProblemList::At(std::size_t index) const {
  return index < m_problems.size() ? m_problems[index].get() : nullptr;
}

}  // namespace qv
