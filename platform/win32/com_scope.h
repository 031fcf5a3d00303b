// COM for the duration of one call on the calling thread (apartment-threaded), undone only when
// this call set it up: a thread that has COM already keeps it as it was.
#pragma once

#include <objbase.h>

#include "base/errors.h"

namespace qv {

class CComScope {
 public:
  CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~CComScope() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  CComScope(const CComScope&) = delete;
  CComScope& operator=(const CComScope&) = delete;

  // RPC_E_CHANGED_MODE: the thread has COM already, in the other model; calls work all the same.
  [[nodiscard]] bool Ready() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
  [[nodiscard]] ErrorCode Error() const { return static_cast<ErrorCode>(m_hr); }

 private:
  HRESULT m_hr;
};

}  // namespace qv
