#include "app/scan_worker.h"

#include <utility>

namespace qv {

bool CScanWorker::Start(std::shared_ptr<CRegistryCleaner> engine, IScanSink& sink,
                        SCAN_DRIVER_OPTIONS options) {
  if (m_worker.Running() || !engine) return false;
  auto gate = std::make_unique<CScanReportGate>(sink);
  engine->SetNotifySink(gate.get());
  engine->SetCancel(0);
  engine->SetRunning(true);
  CRegistryCleaner* scanned = engine.get();
  if (!m_worker.Start(engine->Control(), [scanned, options = std::move(options)]() {
        static_cast<void>(ScanThreadProc(*scanned, options));
      })) {
    engine->SetNotifySink(nullptr);
    engine->SetRunning(false);
    return false;
  }
  m_engine = std::move(engine);
  m_gate = std::move(gate);
  return true;
}

void CScanWorker::Stop() {
  if (!m_worker.Running()) return;
  if (m_gate != nullptr) m_gate->Close();
  m_worker.Stop();
  Release();
}

void CScanWorker::Join() {
  if (!m_worker.Running()) return;
  m_worker.Join();
  Release();
}

void CScanWorker::Release() {
  if (m_engine != nullptr) {
    m_engine->SetNotifySink(nullptr);
    m_engine->SetRunning(false);
  }
  m_gate.reset();
}

}  // namespace qv
