// One journal that the doubles of a test write into, so a test can prove the order in which the
// engine, its filter, its log, its sink and its clock were called, and what each could see at
// that moment (the problem list's size and the engine's found count).
//
//   test::CJournal journal;
//   test::CJournalSink sink(journal);       // "1587", "1582:<text>", "1583:<key>", "1584:<i>"...
//   test::CJournalLog log(journal);         // "log" (the message is kept in log.entries)
//   test::CJournalFilter filter(journal);   // "filter:<key>"
//
// Events() gives the event names, Texts() the names with their detail ("1584:4"). Every call is
// safe from any thread (the scan runs on its own).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16.h"
#include "engine/problem_filter.h"
#include "engine/registry_cleaner.h"
#include "engine/registry_problem.h"
#include "engine/scan_sink.h"
#include "state/log_interface.h"

namespace qv::test {

struct JOURNAL_ENTRY {
  std::string event;
  std::wstring detail;
  std::size_t listSize = 0;     // the watched problem list's size at that moment
  std::int32_t totalFound = 0;  // the watched engine's found count at that moment

  // "event" or "event:detail".
  [[nodiscard]] std::string Text() const {
    return detail.empty() ? event : event + ":" + ToUtf8(detail);
  }
};

class CJournal {
 public:
  void Record(std::string event, std::wstring detail = {}) {
    std::lock_guard lock(m_lock);
    m_entries.push_back({std::move(event), std::move(detail), list != nullptr ? list->size() : 0,
                         engine != nullptr ? engine->TotalFound() : 0});
  }
  [[nodiscard]] std::vector<JOURNAL_ENTRY> Entries() {
    std::lock_guard lock(m_lock);
    return m_entries;
  }
  [[nodiscard]] std::vector<std::string> Events() {
    std::vector<std::string> names;
    for (const JOURNAL_ENTRY& e : Entries()) names.push_back(e.event);
    return names;
  }
  [[nodiscard]] std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const JOURNAL_ENTRY& e : Entries()) texts.push_back(e.Text());
    return texts;
  }
  // The texts that start with one of the prefixes.
  [[nodiscard]] std::vector<std::string> Only(const std::vector<std::string_view>& prefixes) {
    std::vector<std::string> kept;
    for (const std::string& text : Texts()) {
      for (std::string_view prefix : prefixes) {
        if (std::string_view(text).substr(0, prefix.size()) == prefix) {
          kept.push_back(text);
          break;
        }
      }
    }
    return kept;
  }
  void Clear() {
    std::lock_guard lock(m_lock);
    m_entries.clear();
  }

  // What each entry snapshots (either may stay null).
  const CProblemList* list = nullptr;
  const CRegistryCleaner* engine = nullptr;

 private:
  std::mutex m_lock;
  std::vector<JOURNAL_ENTRY> m_entries;
};

// Journals every progress report under its window message number.
class CJournalSink : public IScanSink {
 public:
  explicit CJournalSink(CJournal& journal) : m_journal(journal) {}
  void OnScanStarted(CRegistryCleaner& engine) override {
    startedWith = &engine;
    m_journal.Record(std::to_string(kMsgScanStarted));
  }
  void OnEntryExamined(const std::wstring& text) override {
    m_journal.Record(std::to_string(kMsgEntryExamined), text);
  }
  void OnProblemFound(CRegistryProblem& problem) override {
    problems.push_back(&problem);
    m_journal.Record(std::to_string(kMsgProblemFound), problem.key);
  }
  void OnCategoryStarted(int index) override {
    m_journal.Record(std::to_string(kMsgCategoryStarted), std::to_wstring(index));
  }
  void OnCategoryFinished(int index) override {
    m_journal.Record(std::to_string(kMsgCategoryFinished), std::to_wstring(index));
  }
  void OnCategorySkipped(int index) override {
    m_journal.Record(std::to_string(kMsgCategorySkipped), std::to_wstring(index));
  }
  void OnScanEnded() override { m_journal.Record(std::to_string(kMsgScanEnded)); }

  CRegistryCleaner* startedWith = nullptr;
  std::vector<CRegistryProblem*> problems;

 protected:
  CJournal& m_journal;
};

// Journals "log" for every entry and keeps the messages; `result` is what WriteLog returns.
class CJournalLog final : public IActivityLog {
 public:
  explicit CJournalLog(CJournal& journal) : m_journal(journal) {}
  ErrorCode WriteLog(std::wstring_view message) override {
    {
      std::lock_guard lock(m_lock);
      entries.emplace_back(message);
    }
    m_journal.Record("log");
    return result;
  }
  std::vector<std::wstring> entries;
  ErrorCode result = kErrorSuccess;

 private:
  std::mutex m_lock;
  CJournal& m_journal;
};

// Journals "filter:<key>" for every question and excludes what the predicate says.
class CJournalFilter final : public IProblemFilter {
 public:
  explicit CJournalFilter(CJournal& journal) : m_journal(journal) {}
  bool IsProblemExcluded(const CRegistryProblem& problem) override {
    m_journal.Record("filter", problem.key);
    return exclude && exclude(problem);
  }
  std::function<bool(const CRegistryProblem&)> exclude;

 private:
  CJournal& m_journal;
};

}  // namespace qv::test
