#include "engine/registry_problem.h"

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

CRegistryProblem* CProblemList::At(std::size_t index) const {
  return index < m_problems.size() ? m_problems[index].get() : nullptr;
}

}  // namespace qv
