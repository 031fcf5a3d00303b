// Reading a Task Scheduler task with the raw version 1 interfaces (never through the code under
// test), for the Windows tests that check what the system really holds. Windows build only.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <mstask.h>

#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace qv::test {

struct RAW_TASK {
  HRESULT activated = E_FAIL;  // ITaskScheduler::Activate
  std::wstring application;
  std::wstring parameters;
  std::wstring workingDirectory;
  std::wstring comment;
  DWORD flags = 0xDEADBEEF;
  HRESULT accountResult = E_FAIL;  // GetAccountInformation
  std::wstring account;
  std::vector<TASK_TRIGGER> triggers;
};

// A string property of the task (GetApplicationName and the like), copied and freed;
// "<failed>" when the getter fails. *result gets the getter's result.
inline std::wstring TaskString(ITask* task, HRESULT (STDMETHODCALLTYPE ITask::*getter)(LPWSTR*),
                               HRESULT* result = nullptr) {
  wchar_t* text = nullptr;
  const HRESULT hr = (task->*getter)(&text);
  if (result != nullptr) *result = hr;
  std::wstring copy = SUCCEEDED(hr) && text != nullptr ? std::wstring(text) : L"<failed>";
  if (text != nullptr) CoTaskMemFree(text);
  return copy;
}

// The task as the scheduler has it on disk now (activated afresh).
inline RAW_TASK ReadRawTask(const wchar_t* name) {
  RAW_TASK raw;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    CComPtr<ITaskScheduler> scheduler;
    HRESULT hr = CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskScheduler, PutVoid(scheduler));
    CComPtr<ITask> task;
    if (SUCCEEDED(hr)) {
      hr = scheduler.get()->Activate(name, IID_ITask, reinterpret_cast<IUnknown**>(task.put()));
    }
    raw.activated = hr;
    if (SUCCEEDED(hr)) {
      ITask* t = task.get();
      raw.application = TaskString(t, &ITask::GetApplicationName);
      raw.parameters = TaskString(t, &ITask::GetParameters);
      raw.workingDirectory = TaskString(t, &ITask::GetWorkingDirectory);
      raw.comment = TaskString(t, &ITask::GetComment);
      raw.account = TaskString(t, &ITask::GetAccountInformation, &raw.accountResult);
      EXPECT_EQ(t->GetFlags(&raw.flags), S_OK);
      WORD count = 0;
      EXPECT_EQ(t->GetTriggerCount(&count), S_OK);
      for (WORD i = 0; i < count; ++i) {
        CComPtr<ITaskTrigger> trigger;
        TASK_TRIGGER data{};
        data.cbTriggerSize = sizeof(data);
        if (SUCCEEDED(t->GetTrigger(i, trigger.put()))) {
          EXPECT_EQ(trigger.get()->GetTrigger(&data), S_OK);
        }
        raw.triggers.push_back(data);
      }
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return raw;
}

// Makes the task start another program, as another program's installer would (Save through the
// task's IPersistFile, remembering the file).
inline void SetRawTaskApplication(const wchar_t* name, const wchar_t* application) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    CComPtr<ITaskScheduler> scheduler;
    CComPtr<ITask> task;
    CComPtr<IPersistFile> file;
    ASSERT_EQ(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                               IID_ITaskScheduler, PutVoid(scheduler)),
              S_OK);
    ASSERT_EQ(scheduler.get()->Activate(name, IID_ITask, reinterpret_cast<IUnknown**>(task.put())),
              S_OK);
    ASSERT_EQ(task.get()->SetApplicationName(application), S_OK);
    ASSERT_EQ(task.get()->QueryInterface(IID_IPersistFile, PutVoid(file)), S_OK);
    ASSERT_EQ(file.get()->Save(nullptr, TRUE), S_OK);
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

// The triggers that are not disabled.
inline std::vector<TASK_TRIGGER> EnabledTriggers(const RAW_TASK& raw) {
  std::vector<TASK_TRIGGER> enabled;
  for (const TASK_TRIGGER& t : raw.triggers) {
    if ((t.rgFlags & TASK_TRIGGER_FLAG_DISABLED) == 0) enabled.push_back(t);
  }
  return enabled;
}

}  // namespace qv::test
