// The question the engine asks before it keeps a problem: does the safe list or the ignore list
// cover it? Implemented by the exclusion lists; tests use doubles.
#pragma once

namespace qv {

class CRegistryProblem;

class IProblemFilter {
 public:
  virtual ~IProblemFilter() = default;
  // True when the problem must not be reported (ignored, blocked, or on the safe list).
  [[nodiscard]] virtual bool IsProblemExcluded(const CRegistryProblem& problem) = 0;
};

}  // namespace qv
