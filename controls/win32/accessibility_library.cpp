#include "controls/win32/accessibility_library.h"

#include <oleacc.h>

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

}  // namespace qv
