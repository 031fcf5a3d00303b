// The scan thread: the scan driver (ScanThreadProc) on an engine, under the worker model of
// app/worker.h, reporting to the page's sink through a gate that the worker closes before it
// waits, so no report of a scan that is being stopped reaches the page any more.
#pragma once

#include <memory>

#include "app/worker.h"
#include "engine/registry_cleaner.h"
#include "engine/scan_driver.h"
#include "engine/scan_sink.h"
#include "platform/message_pump.h"

namespace qv {

class CScanWorker {
 public:
  explicit CScanWorker(ISentMessagePump& pump) : m_worker(pump) {}
  // Stops a scan that still runs (see Stop).
  ~CScanWorker() { Stop(); }
  CScanWorker(const CScanWorker&) = delete;
  CScanWorker& operator=(const CScanWorker&) = delete;

  // Sets the engine's notify sink to a gate in front of `sink`, clears its cancel, sets its
  // running mark and starts the scan thread on it. The worker holds the engine until the thread
  // has been joined; the sink must outlive that too. False, with nothing started, when a scan of
  // this worker has not been joined yet, or the engine is null, or the thread cannot be made.
  [[nodiscard]] bool Start(std::shared_ptr<CRegistryCleaner> engine, IScanSink& sink,
                           SCAN_DRIVER_OPTIONS options = {});

  // "Stop Scan" asks first: the scan parks at its next item until Resume() or Stop().
  void Pause() { m_worker.Pause(); }
  void Resume() { m_worker.Resume(); }
  // Closes the gate (no further report reaches the sink, not even one the scan is making now),
  // cancels the scan, and waits for its thread while handling sent messages, then joins. The
  // engine's running mark is cleared. Safe to call when nothing runs.
  void Stop();
  // Waits for a scan that ends by itself (after its last report) and joins it.
  void Join();

  [[nodiscard]] bool Running() const { return m_worker.Running(); }
  [[nodiscard]] bool Finished() const { return m_worker.Finished(); }
  [[nodiscard]] const std::shared_ptr<CRegistryCleaner>& Engine() const { return m_engine; }

 private:
  void Release();

  CWorker m_worker;
  std::shared_ptr<CRegistryCleaner> m_engine;
  std::unique_ptr<CScanReportGate> m_gate;
};

}  // namespace qv
