// The two calls of oleacc.dll the accessible objects need. oleacc.dll is not a known DLL, so an
// import of it would be looked for in the program's own folder first, before any code of ours
// could say otherwise; it is loaded at run time from the system folder instead.
#pragma once

#include <windows.h>
#include <oleacc.h>

namespace qv {

// CreateStdAccessibleObject(window, objectId, IID_IAccessible, object); E_NOTIMPL when the
// system's oleacc.dll is not there.
HRESULT CreateStandardAccessible(HWND window, LONG objectId, void** object);

// LresultFromObject(IID_IAccessible, flags, object): what WM_GETOBJECT returns; 0 (the window
// gives no object of its own) when the system's oleacc.dll is not there.
LRESULT AccessibleResult(WPARAM flags, IUnknown* object);

// What every accessible object of ours shares: its reference count (it starts at one and the
// object deletes itself at zero) and the IDispatch part, which gives no type information:
// clients use the IAccessible methods, which each object implements.
#pragma GCC diagnostic push
// The interfaces have no virtual destructor: a COM object ends through Release, which deletes
// through this class's virtual one.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class CAccessibleObject : public IAccessible {
 public:
  CAccessibleObject() = default;
  CAccessibleObject(const CAccessibleObject&) = delete;
  CAccessibleObject& operator=(const CAccessibleObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override;

 protected:
  virtual ~CAccessibleObject() = default;  // through Release only

 private:
  LONG m_references = 1;
};
#pragma GCC diagnostic pop

}  // namespace qv
