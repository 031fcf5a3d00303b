#include "platform/memory/memory_scheduled_tasks.h"

#include "base/text_case.h"

namespace qv {

const CMemoryScheduledTasks::TASK* CMemoryScheduledTasks::Find(std::wstring_view name) const {
  const auto found = m_tasks.find(FoldCase(name));
  return found != m_tasks.end() ? &found->second : nullptr;
}

CMemoryScheduledTasks::TASK* CMemoryScheduledTasks::FindTask(std::wstring_view name) {
  const auto found = m_tasks.find(FoldCase(name));
  return found != m_tasks.end() ? &found->second : nullptr;
}

bool CMemoryScheduledTasks::TaskExists(std::wstring_view name) { return Find(name) != nullptr; }

ErrorCode CMemoryScheduledTasks::CreateTask(std::wstring_view name, const SCHEDULED_TASK& task) {
  ++m_createCalls;
  if (name.empty() || name.find(L'.') != std::wstring_view::npos) return kInvalidArgument;
  if (FindTask(name) != nullptr) return kTaskExists;
  if (m_changeFailure != kErrorSuccess) return m_changeFailure;
  m_tasks[FoldCase(name)] = TASK{std::wstring(name), task, m_user, {}};
  return kErrorSuccess;
}

ErrorCode CMemoryScheduledTasks::DeleteTask(std::wstring_view name) {
  if (FindTask(name) == nullptr) return kTaskNotFound;
  if (m_changeFailure != kErrorSuccess) return m_changeFailure;
  m_tasks.erase(FoldCase(name));
  return kErrorSuccess;
}

ErrorCode CMemoryScheduledTasks::ReadApplication(std::wstring_view name,
                                                 std::wstring* application) {
  const TASK* task = FindTask(name);
  if (task == nullptr) return kTaskNotFound;
  if (application != nullptr) *application = task->settings.application;
  return kErrorSuccess;
}

ErrorCode CMemoryScheduledTasks::ReadTriggers(std::wstring_view name,
                                              std::vector<SCHEDULE_TRIGGER_ENTRY>* entries) {
  const TASK* task = FindTask(name);
  if (task == nullptr) return kTaskNotFound;
  std::vector<SCHEDULE_TRIGGER_ENTRY> read;
  for (const SCHEDULE_TRIGGER& trigger : task->triggers) {
    SCHEDULE_TRIGGER_ENTRY entry{trigger, kNotImplemented, {}};
    if (m_describe) {
      entry.descriptionResult = kErrorSuccess;
      entry.systemDescription = m_describe(trigger);
    }
    read.push_back(std::move(entry));
  }
  if (entries != nullptr) *entries = std::move(read);
  return kErrorSuccess;
}

ErrorCode CMemoryScheduledTasks::AddTrigger(std::wstring_view name,
                                            const SCHEDULE_TRIGGER& trigger) {
  TASK* task = FindTask(name);
  if (task == nullptr) return kTaskNotFound;
  if (m_changeFailure != kErrorSuccess) return m_changeFailure;
  task->triggers.push_back(trigger);
  return kErrorSuccess;
}

ErrorCode CMemoryScheduledTasks::ReplaceTrigger(std::wstring_view name, std::size_t index,
                                                const SCHEDULE_TRIGGER& trigger) {
  TASK* task = FindTask(name);
  if (task == nullptr) return kTaskNotFound;
  if (index >= task->triggers.size()) return kTriggerNotFound;
  if (m_changeFailure != kErrorSuccess) return m_changeFailure;
  task->triggers[index] = trigger;
  return kErrorSuccess;
}

ErrorCode CMemoryScheduledTasks::DeleteTrigger(std::wstring_view name, std::size_t index) {
  TASK* task = FindTask(name);
  if (task == nullptr) return kTaskNotFound;
  if (index >= task->triggers.size()) return kTriggerNotFound;
  if (m_changeFailure != kErrorSuccess) return m_changeFailure;
  task->triggers.erase(task->triggers.begin() + static_cast<std::ptrdiff_t>(index));
  return kErrorSuccess;
}

ErrorCode CMemoryScheduledTasks::EditOnSystemPage(std::wstring_view name) {
  ++m_pageCalls;
  if (FindTask(name) == nullptr) return kTaskNotFound;
  if (!m_page) return kNoInterface;
  return m_page(*this, name);
}

}  // namespace qv
