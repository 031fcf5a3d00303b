#include "controls/win32/accessibility_library.h"

#include "platform/win32/system_library.h"

namespace qv {
namespace {

// The mingw-w64 import library of oleacc.dll exports IID_IAccessible as code, not data.
const IID& AccessibleIid() { return __uuidof(IAccessible); }

}  // namespace

HRESULT CreateStandardAccessible(HWND window, LONG objectId, void** object) {
  static const auto create = SystemFunction<decltype(::CreateStdAccessibleObject)>(
      kAccessibilityLibrary, "CreateStdAccessibleObject");
  if (create == nullptr) return E_NOTIMPL;
  return create(window, objectId, AccessibleIid(), object);
}

LRESULT AccessibleResult(WPARAM flags, IUnknown* object) {
  static const auto result =
      SystemFunction<decltype(::LresultFromObject)>(kAccessibilityLibrary, "LresultFromObject");
  if (result == nullptr) return 0;
  return result(AccessibleIid(), flags, object);
}

HRESULT CAccessibleObject::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == AccessibleIid()) {
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CAccessibleObject::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

ULONG CAccessibleObject::Release() {
  const LONG left = InterlockedDecrement(&m_references);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CAccessibleObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT CAccessibleObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT CAccessibleObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT CAccessibleObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                  UINT*) {
  return E_NOTIMPL;
}

}  // namespace qv
