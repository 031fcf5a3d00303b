#include "app/worker.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace qv {

CWorker::~CWorker() { Stop(); }

bool CWorker::Start(CWorkControl& control, std::function<void()> body) {
  if (m_thread.joinable() || !body) return false;
  m_control = &control;
  m_finished.store(false);
  try {
    m_thread = std::thread([this, body = std::move(body)]() {
      body();
      m_finished.store(true);
    });
  } catch (const std::system_error&) {
    m_control = nullptr;
    return false;
  }
  return true;
}

void CWorker::Cancel() {
  if (m_control != nullptr) m_control->Cancel();
}

void CWorker::Pause() {
  if (m_control != nullptr) m_control->Pause();
}

void CWorker::Resume() {
  if (m_control != nullptr) m_control->Resume();
}

void CWorker::Join() {
  if (!m_thread.joinable()) return;
  if (m_thread.get_id() == std::this_thread::get_id()) {
    // Waiting for itself would never end, and letting it go on alone is what this model rules
    // out: a worker that destroys or joins its own owner is a fault of the program.
    std::fputs("Quarvelo: a worker thread waited for itself\n", stderr);
    std::abort();
  }
  while (!m_finished.load()) m_pump.PumpSentMessages(kPumpSliceMs);
  m_thread.join();
}

void CWorker::Stop() {
  if (!m_thread.joinable()) return;
  Cancel();
  // When this thread is handling one of the worker's reports, the worker waits for that report
  // to be answered: answer it now, or neither could go on.
  m_pump.ReleaseSender();
  Join();
}

}  // namespace qv
