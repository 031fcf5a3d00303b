#include "app/repair_worker.h"

#include <utility>

namespace qv {

bool CRepairWorker::Start(std::shared_ptr<CRegistryCleaner> engine, CExclusionLists& exclusions,
                          const REPAIR_OPTIONS& options, IRepairSink& sink, RepairEnded ended) {
  if (m_worker.Running() || !engine) return false;
  m_options = options;
  m_outcome = REPAIR_OUTCOME{};
  engine->SetCancel(0);
  engine->SetRunning(true);
  CRegistryCleaner* repaired = engine.get();
  if (!m_worker.Start(engine->Control(), [this, repaired, &exclusions, &sink,
                                          ended = std::move(ended)]() {
        m_outcome = RepairProblems(*repaired, exclusions, m_options, sink);
        if (ended) ended(m_outcome);
      })) {
    engine->SetRunning(false);
    return false;
  }
  m_engine = std::move(engine);
  return true;
}

void CRepairWorker::Join() {
  if (!m_worker.Running()) return;
  m_worker.Join();
  if (m_engine != nullptr) m_engine->SetRunning(false);
  m_engine.reset();
}

}  // namespace qv
