#include "platform/win32/win32_system_restore.h"

#include <windows.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <thread>

#include "platform/win32/system_library.h"
#include "platform/win32/win32_handles.h"

namespace qv {
namespace {

constexpr char kSetRestorePointFunction[] = "SRSetRestorePointW";
constexpr wchar_t kRestorePointNamespace[] = L"ROOT\\DEFAULT";
constexpr wchar_t kRestorePointQuery[] = L"SELECT SequenceNumber, CreationTime FROM SystemRestore";
// How long the listing may wait for the next point before it counts as unreadable.
constexpr long kListTimeoutMs = 30000;

// The structures of the System Restore client (srrestoreptapi.h), declared here because the
// cross compiler's headers do not all carry them. Packed as the system declares them.
#pragma pack(push, 1)
struct RESTORE_POINT_INFO_W {
  DWORD eventType;
  DWORD restorePointType;
  INT64 sequenceNumber;
  WCHAR description[256];  // MAX_DESC_W
};
struct STATE_MANAGER_STATUS {
  DWORD status;
  INT64 sequenceNumber;
};
#pragma pack(pop)

using SetRestorePointFunction = BOOL(WINAPI*)(RESTORE_POINT_INFO_W*, STATE_MANAGER_STATUS*);

// COM in the multithreaded apartment on this thread, undone when this call set it up.
class CMtaScope {
 public:
  CMtaScope() : m_hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~CMtaScope() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  CMtaScope(const CMtaScope&) = delete;
  CMtaScope& operator=(const CMtaScope&) = delete;
  [[nodiscard]] bool Ready() const { return SUCCEEDED(m_hr); }

 private:
  HRESULT m_hr;
};

struct CBstrTraits {
  using Handle = BSTR;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::SysFreeString(h); }
};
using CBstr = CUniqueHandle<CBstrTraits>;

class CVariant {
 public:
  CVariant() { ::VariantInit(&m_value); }
  ~CVariant() { ::VariantClear(&m_value); }
  CVariant(const CVariant&) = delete;
  CVariant& operator=(const CVariant&) = delete;
  [[nodiscard]] VARIANT* get() { return &m_value; }
  [[nodiscard]] const VARIANT& operator*() const { return m_value; }

 private:
  VARIANT m_value;
};

// One listed point: its number (a uint32 property, which WMI hands over as VT_I4) and, when it
// has a readable one, its creation time. False when the number is missing.
bool ReadPoint(IWbemClassObject* object, LISTED_RESTORE_POINT* point) {
  CVariant number;
  if (FAILED(object->Get(L"SequenceNumber", 0, number.get(), nullptr, nullptr))) return false;
  if ((*number).vt == VT_I4 || (*number).vt == VT_UI4) {
    point->sequenceNumber = static_cast<std::int64_t>((*number).ulVal);
  } else {
    return false;
  }
  CVariant created;
  std::int64_t seconds = 0;
  if (SUCCEEDED(object->Get(L"CreationTime", 0, created.get(), nullptr, nullptr)) &&
      (*created).vt == VT_BSTR && (*created).bstrVal != nullptr &&
      ParseWmiDateTime((*created).bstrVal, &seconds)) {
    point->time = seconds;
  }
  return true;
}

// The restore points the system lists now; none when they cannot be listed.
std::optional<std::vector<LISTED_RESTORE_POINT>> ListRestorePoints() {
  CComPtr<IWbemLocator> locator;
  if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                PutVoid(locator)))) {
    return std::nullopt;
  }
  const CBstr space(::SysAllocString(kRestorePointNamespace));
  const CBstr language(::SysAllocString(L"WQL"));
  const CBstr query(::SysAllocString(kRestorePointQuery));
  if (!space || !language || !query) return std::nullopt;
  CComPtr<IWbemServices> services;
  if (FAILED(locator.get()->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                          nullptr, services.put()))) {
    return std::nullopt;
  }
  // WMI's providers act for the caller: they need impersonation, whatever the process's default.
  static_cast<void>(::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                                        nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE));
  CComPtr<IEnumWbemClassObject> points;
  if (FAILED(services.get()->ExecQuery(language.get(), query.get(),
                                       WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                       nullptr, points.put()))) {
    return std::nullopt;
  }
  std::vector<LISTED_RESTORE_POINT> listed;
  for (;;) {
    CComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    const HRESULT next = points.get()->Next(kListTimeoutMs, 1, object.put(), &returned);
    if (next == WBEM_S_FALSE && returned == 0) break;  // the end of the list
    if (FAILED(next) || next == WBEM_S_TIMEDOUT || returned == 0) return std::nullopt;
    LISTED_RESTORE_POINT point;
    if (ReadPoint(object.get(), &point)) listed.push_back(point);
  }
  return listed;
}

RESTORE_POINT_OUTCOME RequestRestorePoint(std::wstring_view description) {
  RESTORE_POINT_OUTCOME outcome;
  const CMtaScope com;
  const CUniqueHandle<CWin32ModuleTraits> library(LoadSystemLibrary(kSystemRestoreLibrary));
  if (!library) return outcome;
  const auto setRestorePoint = reinterpret_cast<SetRestorePointFunction>(
      reinterpret_cast<void*>(::GetProcAddress(library.get(), kSetRestorePointFunction)));
  if (setRestorePoint == nullptr) return outcome;

  std::optional<std::vector<LISTED_RESTORE_POINT>> before;
  if (com.Ready()) before = ListRestorePoints();

  RESTORE_POINT_INFO_W info{};
  info.eventType = kRestorePointBeginSystemChange;
  info.restorePointType = kRestorePointModifySettings;
  info.sequenceNumber = 0;
  const std::size_t chars = std::min<std::size_t>(description.size(), 255);
  std::wmemcpy(info.description, description.data(), chars);
  info.description[chars] = L'\0';
  STATE_MANAGER_STATUS status{};
  if (!setRestorePoint(&info, &status)) {
    outcome.result = RESTORE_POINT_RESULT::kFailed;
    outcome.status = status.status;
    return outcome;
  }
  outcome = JudgeAcceptedRequest(before, status.sequenceNumber);
  info.eventType = kRestorePointEndSystemChange;
  info.sequenceNumber = status.sequenceNumber;
  STATE_MANAGER_STATUS ended{};
  if (!setRestorePoint(&info, &ended)) {
    outcome.ended = false;
    outcome.endStatus = ended.status;
  }
  return outcome;
}

}  // namespace

RESTORE_POINT_OUTCOME CWin32SystemRestore::CreateRestorePoint(std::wstring_view description) {
  RESTORE_POINT_OUTCOME outcome;
  outcome.result = RESTORE_POINT_RESULT::kFailed;
  outcome.status = kRestoreStatusInternalError;  // kept only when the thread cannot run
  try {
    std::thread request([&outcome, description] {
      try {
        outcome = RequestRestorePoint(description);
      } catch (const std::exception&) {
        // Out of memory while listing: the outcome stays a refusal.
      }
    });
    request.join();
  } catch (const std::exception&) {
    // No thread could be started.
  }
  return outcome;
}

}  // namespace qv
