// A stand-in for a window's thread on the native build: a worker's reports are handed to the
// thread that made this object and wait there until that thread has handled them, the way
// SendMessageW waits for the window's thread. That thread handles them only when it pumps (the
// ISentMessagePump the workers wait with), and a handler may answer early (ReleaseSender), as
// ReplyMessage does.
//
//   test::CFakeWindowThread window;                 // on the test's thread
//   test::CSendingScanSink sink(window, journalSink);   // reports go through `window`
//   CScanWorker worker(window);                     // waits pumping `window`
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/scan_sink.h"
#include "platform/message_pump.h"

namespace qv::test {

class CFakeWindowThread final : public ISentMessagePump {
 public:
  CFakeWindowThread() : m_thread(std::this_thread::get_id()) {}

  // From another thread: queues the call and waits until the window thread has run it (or its
  // handler answered early). On the window thread: runs it at once, as a window's own
  // SendMessageW does.
  void Send(std::function<void()> call) {
    if (std::this_thread::get_id() == m_thread) {
      call();
      return;
    }
    auto pending = std::make_shared<PENDING>();
    pending->call = std::move(call);
    std::unique_lock lock(m_lock);
    m_queue.push_back(pending);
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return pending->answered; });
  }

  // Runs every call sent so far, waiting up to `milliseconds` for the first when none is there.
  void PumpSentMessages(std::uint32_t milliseconds) override {
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                       [&] { return !m_queue.empty(); });
    while (!m_queue.empty()) {
      std::shared_ptr<PENDING> pending = m_queue.front();
      m_queue.pop_front();
      std::shared_ptr<PENDING> outer = m_current;
      m_current = pending;
      lock.unlock();
      pending->call();
      lock.lock();
      m_current = outer;
      pending->answered = true;
      m_changed.notify_all();
    }
  }

  void ReleaseSender() override {
    std::lock_guard lock(m_lock);
    if (m_current != nullptr) {
      m_current->answered = true;
      m_changed.notify_all();
    }
  }

  // Whether a sent call waits to be handled.
  [[nodiscard]] bool HasPending() {
    std::lock_guard lock(m_lock);
    return !m_queue.empty();
  }
  // Waits (without handling anything) until a call waits to be handled.
  void WaitForPending() {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] { return !m_queue.empty(); });
  }

 private:
  struct PENDING {
    std::function<void()> call;
    bool answered = false;
  };

  std::thread::id m_thread;
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::deque<std::shared_ptr<PENDING>> m_queue;
  std::shared_ptr<PENDING> m_current;
};

// A scan sink whose every report reaches its target on the fake window thread, sent the way the
// Win32 sink sends its window messages.
class CSendingScanSink final : public IScanSink {
 public:
  CSendingScanSink(CFakeWindowThread& window, IScanSink& target)
      : m_window(window), m_target(target) {}
  void OnScanStarted(CRegistryCleaner& engine) override {
    m_window.Send([&] { m_target.OnScanStarted(engine); });
  }
  void OnEntryExamined(const std::wstring& text) override {
    m_window.Send([&] { m_target.OnEntryExamined(text); });
  }
  void OnProblemFound(CRegistryProblem& problem) override {
    m_window.Send([&] { m_target.OnProblemFound(problem); });
  }
  void OnCategoryStarted(int index) override {
    m_window.Send([&] { m_target.OnCategoryStarted(index); });
  }
  void OnCategoryFinished(int index) override {
    m_window.Send([&] { m_target.OnCategoryFinished(index); });
  }
  void OnCategorySkipped(int index) override {
    m_window.Send([&] { m_target.OnCategorySkipped(index); });
  }
  void OnScanEnded() override {
    m_window.Send([&] { m_target.OnScanEnded(); });
  }

 private:
  CFakeWindowThread& m_window;
  IScanSink& m_target;
};

}  // namespace qv::test
