#include "engine/registry_problem.h"

#include <algorithm>
#include <array>

namespace qv {

namespace {

// The evidence texts, by kind: %1 is the path, key or class tested, %2 the second path.
struct EVIDENCE_TEXT {
  EVIDENCE_KIND kind;
  std::wstring_view name;
  std::wstring_view format;
};

constexpr std::array<EVIDENCE_TEXT, 12> kEvidenceTexts = {{
    {EVIDENCE_MISSING_FILE, L"missingFile", L"Missing file: %1"},
    {EVIDENCE_MISSING_FOLDER, L"missingFolder", L"Missing folder: %2 (for %1)"},
    {EVIDENCE_NO_PROGRAM, L"noProgram", L"No program left in %2 (for %1)"},
    {EVIDENCE_NOT_REGISTERED, L"notRegistered", L"Not registered: %1"},
    {EVIDENCE_EMPTY_KEY, L"emptyKey", L"No subkeys and no values: %1"},
    {EVIDENCE_MISSING_TARGET, L"missingTarget", L"Missing shortcut target: %1"},
    {EVIDENCE_NO_MENU_FOLDER, L"noMenuFolder", L"Neither folder exists: %1, %2"},
    {EVIDENCE_DRIVE_ABSENT, L"driveAbsent", L"Not judged: drive %2 is not there now (%1)"},
    {EVIDENCE_REMOVABLE_DRIVE, L"removableDrive", L"Not judged: %2 is a removable drive (%1)"},
    {EVIDENCE_OPTICAL_DRIVE, L"opticalDrive", L"Not judged: %2 is a CD or DVD drive (%1)"},
    {EVIDENCE_NETWORK_DRIVE, L"networkDrive", L"Not judged: %2 is a network drive (%1)"},
    {EVIDENCE_UNKNOWN_DRIVE, L"unknownDrive",
     L"Not judged: Windows cannot tell what kind of drive %2 is (%1)"},
}};

constexpr std::wstring_view kNoEvidenceName = L"none";

const EVIDENCE_TEXT* FindEvidenceText(EVIDENCE_KIND kind) {
  for (const EVIDENCE_TEXT& text : kEvidenceTexts) {
    if (text.kind == kind) return &text;
  }
  return nullptr;
}

}  // namespace

std::wstring EvidenceText(const PROBLEM_EVIDENCE& evidence) {
  const EVIDENCE_TEXT* text = FindEvidenceText(evidence.kind);
  if (text == nullptr) return {};
  std::wstring line;
  const std::wstring_view format = text->format;
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
