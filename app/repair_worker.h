// The repair thread of the window: the repair (repair/repair_driver.h) on the engine of the last
// scan, under the worker model of app/worker.h. A repair is never cancelled half-way (every entry
// it has begun is backed up and removed, or left as it was); stopping the worker waits for it.
#pragma once

#include <functional>
#include <memory>

#include "app/worker.h"
#include "engine/exclusion_lists.h"
#include "engine/registry_cleaner.h"
#include "platform/message_pump.h"
#include "repair/repair_driver.h"

namespace qv {

// Told on the repair's thread, as its last act, that the repair has ended (also after an
// exception, when no completion report came): the window posts itself a message here.
using RepairEnded = std::function<void(const REPAIR_OUTCOME& outcome)>;

class CRepairWorker {
 public:
  explicit CRepairWorker(ISentMessagePump& pump) : m_worker(pump) {}
  // Waits for a repair that still runs (handling sent messages meanwhile).
  ~CRepairWorker() { Join(); }
  CRepairWorker(const CRepairWorker&) = delete;
  CRepairWorker& operator=(const CRepairWorker&) = delete;

  // Sets the engine's running mark and starts the repair thread. The worker holds the engine
  // until the thread has been joined; the lists, the sink and the options' restore seam must
  // outlive that too. False, with nothing started, when an earlier repair has not been joined,
  // the engine is null, or the thread cannot be made.
  [[nodiscard]] bool Start(std::shared_ptr<CRegistryCleaner> engine, CExclusionLists& exclusions,
                           const REPAIR_OPTIONS& options, IRepairSink& sink, RepairEnded ended);
  // Waits for the repair while handling sent messages and joins; clears the running mark.
  void Join();

  [[nodiscard]] bool Running() const { return m_worker.Running(); }
  [[nodiscard]] bool Finished() const { return m_worker.Finished(); }
  // What the last joined repair did.
  [[nodiscard]] const REPAIR_OUTCOME& Outcome() const { return m_outcome; }

 private:
  CWorker m_worker;
  std::shared_ptr<CRegistryCleaner> m_engine;
  REPAIR_OPTIONS m_options;
  REPAIR_OUTCOME m_outcome;
};

}  // namespace qv
