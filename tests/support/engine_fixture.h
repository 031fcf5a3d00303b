// Test helpers for the engine on the in-memory platform: a sink that records every progress call
// in order, an activity log and a problem filter that tests can watch and steer, the fields of a
// problem as one comparable row, and a fixture that bundles the in-memory machine, the problem
// list and an engine wired to all of them.
//
//   CEngineFixture fx;
//   fx.registry().SetString(L"HKLM\\SOFTWARE\\...\\SharedDLLs", L"C:\\gone.dll", L"");
//   CheckSharedDlls(fx.engine());
//   EXPECT_EQ(fx.ProblemRows(), (std::vector<PROBLEM_ROW>{{...}}));
//
// Header-only; the engine and platform come from the layers the test links.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "state/log_interface.h"
#include "engine/problem_filter.h"
#include "engine/registry_cleaner.h"
#include "engine/registry_problem.h"
#include "engine/scan_sink.h"
#include "platform/memory/memory_platform.h"
#include "base/utf16.h"

namespace qv::test {

// One progress call as the sink saw it. message is the window message number of the call
// (kMsgEntryExamined...); text is the examined text (1582) or the problem's key (1583); index is
// the category index (1584-1586), otherwise -1; problem is the list-owned problem (1583).
struct SCAN_EVENT {
  unsigned message = 0;
  std::wstring text;
  int index = -1;
  CRegistryProblem* problem = nullptr;
  CRegistryCleaner* engine = nullptr;  // 1587
};

// Records every call in order. onEvent, when set, runs after each call is recorded, on the
// calling (scan) thread: tests use it to set cancel at an exact point of a check.
class CRecordingSink final : public IScanSink {
 public:
  void OnScanStarted(CRegistryCleaner& engine) override {
    SCAN_EVENT e;
    e.message = kMsgScanStarted;
    e.engine = &engine;
    Record(std::move(e));
  }
  void OnEntryExamined(const std::wstring& text) override {
    SCAN_EVENT e;
    e.message = kMsgEntryExamined;
    e.text = text;
    Record(std::move(e));
  }
  void OnProblemFound(CRegistryProblem& problem) override {
    SCAN_EVENT e;
    e.message = kMsgProblemFound;
    e.text = problem.key;
    e.problem = &problem;
    Record(std::move(e));
  }
  void OnCategoryStarted(int index) override { RecordIndex(kMsgCategoryStarted, index); }
  void OnCategoryFinished(int index) override { RecordIndex(kMsgCategoryFinished, index); }
  void OnCategorySkipped(int index) override { RecordIndex(kMsgCategorySkipped, index); }
  void OnScanEnded() override {
    SCAN_EVENT e;
    e.message = kMsgScanEnded;
    Record(std::move(e));
  }

  [[nodiscard]] const std::vector<SCAN_EVENT>& Events() const { return m_events; }
  // The message numbers in call order.
  [[nodiscard]] std::vector<unsigned> Messages() const {
    std::vector<unsigned> messages;
    for (const SCAN_EVENT& e : m_events) messages.push_back(e.message);
    return messages;
  }
  // The texts of the entry-examined calls, in order.
  [[nodiscard]] std::vector<std::wstring> Examined() const {
    std::vector<std::wstring> texts;
    for (const SCAN_EVENT& e : m_events) {
      if (e.message == kMsgEntryExamined) texts.push_back(e.text);
    }
    return texts;
  }
  void Clear() { m_events.clear(); }

  std::function<void(const SCAN_EVENT&)> onEvent;

 private:
  void RecordIndex(unsigned message, int index) {
    SCAN_EVENT e;
    e.message = message;
    e.index = index;
    Record(std::move(e));
  }
  void Record(SCAN_EVENT e) {
    m_events.push_back(std::move(e));
    if (onEvent) onEvent(m_events.back());
  }

  std::vector<SCAN_EVENT> m_events;
};

// Keeps every entry written, in order; `result` is what WriteLog returns.
class CRecordingLog final : public IActivityLog {
 public:
  ErrorCode WriteLog(std::wstring_view message) override {
    entries.emplace_back(message);
    return result;
  }
  std::vector<std::wstring> entries;
  ErrorCode result = kErrorSuccess;
};

// Excludes what the predicate says (nothing when it is empty) and counts the questions.
class CPredicateFilter final : public IProblemFilter {
 public:
  bool IsProblemExcluded(const CRegistryProblem& problem) override {
    ++asked;
    return exclude && exclude(problem);
  }
  std::function<bool(const CRegistryProblem&)> exclude;
  int asked = 0;
};

// The fields a check fills in, as one comparable row.
struct PROBLEM_ROW {
  std::wstring key;
  std::wstring name;
  std::wstring data;
  int type = -1;
  friend bool operator==(const PROBLEM_ROW&, const PROBLEM_ROW&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const PROBLEM_ROW& row) {
  return out << "{key \"" << ToUtf8(row.key) << "\", name \"" << ToUtf8(row.name) << "\", data \""
             << ToUtf8(row.data) << "\", type " << row.type << "}";
}

[[nodiscard]] inline PROBLEM_ROW RowOf(const CRegistryProblem& problem) {
  return PROBLEM_ROW{problem.key, problem.name, problem.data, static_cast<int>(problem.type)};
}

// The in-memory machine (CMemoryPlatform's fresh Windows 7 layout), the problem list, a recording
// sink, log and filter, and an engine wired to them. The engine is made on first use, so a test
// can change the shell's folders first (the engine resolves its folder table when it is made).
class CEngineFixture {
 public:
  CEngineFixture() = default;
  CEngineFixture(const CEngineFixture&) = delete;
  CEngineFixture& operator=(const CEngineFixture&) = delete;
  virtual ~CEngineFixture() = default;

  [[nodiscard]] CMemoryPlatform& machine() { return m_machine; }
  [[nodiscard]] CMemoryRegistry& registry() { return m_machine.registry(); }
  [[nodiscard]] CMemoryFileSystem& files() { return m_machine.files(); }
  [[nodiscard]] CMemoryShell& shell() { return m_machine.shell(); }
  [[nodiscard]] CFakeClock& clock() { return m_machine.clock(); }
  [[nodiscard]] CProblemList& problems() { return m_problems; }
  [[nodiscard]] CRecordingSink& sink() { return m_sink; }
  [[nodiscard]] CRecordingLog& log() { return m_log; }
  [[nodiscard]] CPredicateFilter& filter() { return m_filter; }

  CRegistryCleaner& engine() {
    if (!m_engine) {
      m_engine = std::make_unique<CRegistryCleaner>(m_machine.platform(), m_problems, &m_filter,
                                                    &m_log);
      m_engine->SetNotifySink(&m_sink);
    }
    return *m_engine;
  }
  // Drops the engine; the next engine() makes a new one (the problem list stays).
  void ResetEngine() { m_engine.reset(); }

  // The problems in the list, in order, as rows.
  [[nodiscard]] std::vector<PROBLEM_ROW> ProblemRows() const {
    std::vector<PROBLEM_ROW> rows;
    for (std::size_t i = 0; i < m_problems.size(); ++i) rows.push_back(RowOf(*m_problems.At(i)));
    return rows;
  }

  // Sets cancel on the engine when the sink is told it examines exactly this text (after the
  // call has been recorded).
  void CancelWhenExamined(std::wstring text) {
    m_sink.onEvent = [this, text = std::move(text)](const SCAN_EVENT& e) {
      if (e.message == kMsgEntryExamined && e.text == text) engine().SetCancel(1);
    };
  }

 private:
  CMemoryPlatform m_machine;
  CProblemList m_problems;
  CRecordingSink m_sink;
  CRecordingLog m_log;
  CPredicateFilter m_filter;
  std::unique_ptr<CRegistryCleaner> m_engine;  // declared last: destroyed first
};

}  // namespace qv::test
