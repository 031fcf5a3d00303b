// The Task Scheduler in memory: tasks by name (compared without case, as the scheduler's files
// are), their settings and triggers. The system's own trigger descriptions and schedule page are
// what the test sets; without them the scheduler answers as Wine's does (no description:
// kNotImplemented; no schedule page: kNoInterface).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scheduled_tasks.h"

namespace qv {

class CMemoryScheduledTasks final : public IScheduledTasks {
 public:
  // A task as this scheduler holds it.
  struct TASK {
    std::wstring name;  // as created
    SCHEDULED_TASK settings;
    std::wstring account;
    std::vector<SCHEDULE_TRIGGER> triggers;
  };
  using SystemDescription = std::function<std::wstring(const SCHEDULE_TRIGGER&)>;
  // Stands in for the user on the system's schedule page: changes the task through the
  // scheduler it is given, and returns the page's result.
  using SystemPage = std::function<ErrorCode(IScheduledTasks& tasks, std::wstring_view name)>;

  // IScheduledTasks
  [[nodiscard]] bool TaskExists(std::wstring_view name) override;
  [[nodiscard]] ErrorCode CreateTask(std::wstring_view name, const SCHEDULED_TASK& task) override;
  [[nodiscard]] ErrorCode DeleteTask(std::wstring_view name) override;
  [[nodiscard]] ErrorCode ReadApplication(std::wstring_view name,
                                          std::wstring* application) override;
  [[nodiscard]] ErrorCode ReadTriggers(std::wstring_view name,
                                       std::vector<SCHEDULE_TRIGGER_ENTRY>* entries) override;
  [[nodiscard]] ErrorCode AddTrigger(std::wstring_view name,
                                     const SCHEDULE_TRIGGER& trigger) override;
  [[nodiscard]] ErrorCode ReplaceTrigger(std::wstring_view name, std::size_t index,
                                         const SCHEDULE_TRIGGER& trigger) override;
  [[nodiscard]] ErrorCode DeleteTrigger(std::wstring_view name, std::size_t index) override;
  [[nodiscard]] ErrorCode EditOnSystemPage(std::wstring_view name) override;

  // ---- Configuration and inspection ----
  // The account CreateTask records (default "user", the in-memory platform's user).
  void SetUserName(std::wstring_view user) { m_user = user; }
  void SetSystemDescription(SystemDescription describe) { m_describe = std::move(describe); }
  void SetSystemPage(SystemPage page) { m_page = std::move(page); }
  // Every later call that changes a task fails with this result (0: none fails).
  void SetChangeFailure(ErrorCode error) { m_changeFailure = error; }
  // The task, or null.
  [[nodiscard]] const TASK* Find(std::wstring_view name) const;
  [[nodiscard]] int SystemPageCalls() const { return m_pageCalls; }
  [[nodiscard]] int CreateCalls() const { return m_createCalls; }

 private:
  [[nodiscard]] TASK* FindTask(std::wstring_view name);

  std::map<std::u16string, TASK> m_tasks;  // by folded name
  std::wstring m_user = L"user";
  SystemDescription m_describe;
  SystemPage m_page;
  ErrorCode m_changeFailure = kErrorSuccess;
  int m_pageCalls = 0;
  int m_createCalls = 0;
};

}  // namespace qv
