#include "engine/registry_problem.h"

#include <algorithm>

namespace qv {

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
