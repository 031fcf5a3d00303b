#include "ui/win32/skin_accessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <string_view>

namespace qv::ui {
namespace {

constexpr UINT_PTR kSubclassId = 0x51564143;  // one subclass of ours per control
constexpr wchar_t kSelectedProperty[] = L"QuarveloSkinSelected";

// The default actions, as the system names those of its push buttons, page tabs and check boxes.
constexpr std::wstring_view kPressAction = L"Press";
constexpr std::wstring_view kSwitchAction = L"Switch";
constexpr std::wstring_view kJumpAction = L"Jump";
constexpr std::wstring_view kCheckAction = L"Check";
constexpr std::wstring_view kUncheckAction = L"UnCheck";

// The mingw-w64 import library of oleacc.dll exports IID_IAccessible as code, not data.
const IID& AccessibleIid() { return __uuidof(IAccessible); }

LONG RoleOf(CONTROL_LOOK look) {
  switch (look) {
    case CONTROL_LOOK::kButton:
    case CONTROL_LOOK::kLargeButton: return ROLE_SYSTEM_PUSHBUTTON;
    case CONTROL_LOOK::kNavButton: return ROLE_SYSTEM_PAGETAB;
    case CONTROL_LOOK::kLink: return ROLE_SYSTEM_LINK;
    case CONTROL_LOOK::kCheck: return ROLE_SYSTEM_CHECKBUTTON;
    case CONTROL_LOOK::kLabel: return ROLE_SYSTEM_STATICTEXT;
    case CONTROL_LOOK::kPicture: return ROLE_SYSTEM_GRAPHIC;
  }
  return ROLE_SYSTEM_CLIENT;
}

bool Clickable(CONTROL_LOOK look) {
  return look != CONTROL_LOOK::kLabel && look != CONTROL_LOOK::kPicture;
}

bool Checked(HWND control) {
  return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard object of the control with the role, states and action of its look. Everything
// else is the standard object's.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"  // COM objects end through Release
class CSkinAccessible final : public IAccessible {
 public:
  CSkinAccessible(HWND control, CONTROL_LOOK look, IAccessible* standard)
      : m_control(control), m_look(look), m_standard(standard) {}
  CSkinAccessible(const CSkinAccessible&) = delete;
  CSkinAccessible& operator=(const CSkinAccessible&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == AccessibleIid()) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&m_references));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return m_standard->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return m_standard->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return m_standard->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return m_standard->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return m_standard->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return m_standard->get_accDescription(child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child)) return m_standard->get_accRole(child, role);
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    if (!IsWindow(m_control)) return CO_E_OBJNOTCONNECTED;
    role->vt = VT_I4;
    role->lVal = RoleOf(m_look);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!IsSelf(child)) return m_standard->get_accState(child, state);
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    if (!IsWindow(m_control)) return CO_E_OBJNOTCONNECTED;
    VARIANT standard;
    VariantInit(&standard);
    LONG bits = 0;
    if (SUCCEEDED(m_standard->get_accState(child, &standard)) && standard.vt == VT_I4) {
      bits = standard.lVal;
    }
    switch (m_look) {
      case CONTROL_LOOK::kNavButton:
        bits |= STATE_SYSTEM_SELECTABLE;
        if (GetPropW(m_control, kSelectedProperty) != nullptr) bits |= STATE_SYSTEM_SELECTED;
        break;
      case CONTROL_LOOK::kLink: bits |= STATE_SYSTEM_LINKED; break;
      case CONTROL_LOOK::kCheck:
        if (Checked(m_control)) bits |= STATE_SYSTEM_CHECKED;
        break;
      case CONTROL_LOOK::kLabel:
      case CONTROL_LOOK::kPicture:
        // Text and pictures take no focus, whatever a window may.
        bits = (bits & ~(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED)) | STATE_SYSTEM_READONLY;
        break;
      case CONTROL_LOOK::kButton:
      case CONTROL_LOOK::kLargeButton: break;
    }
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return m_standard->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return m_standard->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return m_standard->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return m_standard->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return m_standard->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!IsSelf(child) || !Clickable(m_look)) return m_standard->get_accDefaultAction(child, action);
    if (action == nullptr) return E_POINTER;
    *action = nullptr;
    if (!IsWindow(m_control)) return CO_E_OBJNOTCONNECTED;
    std::wstring_view name = kPressAction;
    if (m_look == CONTROL_LOOK::kNavButton) name = kSwitchAction;
    if (m_look == CONTROL_LOOK::kLink) name = kJumpAction;
    if (m_look == CONTROL_LOOK::kCheck) name = Checked(m_control) ? kUncheckAction : kCheckAction;
    *action = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
    return *action != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return m_standard->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return m_standard->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return m_standard->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return m_standard->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!IsSelf(child) || !Clickable(m_look)) return m_standard->accDoDefaultAction(child);
    if (!IsWindow(m_control)) return CO_E_OBJNOTCONNECTED;
    if (!IsWindowEnabled(m_control)) return E_FAIL;  // as a click on a disabled button: nothing
    // Posted: the click may open a modal window, which must not hold the caller's call.
    return PostMessageW(m_control, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return m_standard->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return m_standard->put_accValue(child, value);
  }

 private:
  ~CSkinAccessible() { m_standard->Release(); }

  LONG m_references = 1;
  HWND m_control;
  CONTROL_LOOK m_look;
  IAccessible* m_standard;  // owned
};
#pragma GCC diagnostic pop

LRESULT CALLBACK SkinProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR look) {
  if (message == WM_GETOBJECT &&
      static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
    void* standard = nullptr;
    if (SUCCEEDED(CreateStdAccessibleObject(control, OBJID_CLIENT, AccessibleIid(), &standard))) {
      auto* object = new CSkinAccessible(control, static_cast<CONTROL_LOOK>(look),
                                         static_cast<IAccessible*>(standard));
      const LRESULT result = LresultFromObject(AccessibleIid(), wParam, object);
      object->Release();  // LresultFromObject holds what the client needs
      return result;
    }
  }
  if (message == WM_NCDESTROY) {
    RemovePropW(control, kSelectedProperty);
    RemoveWindowSubclass(control, SkinProc, kSubclassId);
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void AttachSkinAccessible(HWND control, CONTROL_LOOK look) {
  if (control != nullptr) {
    SetWindowSubclass(control, SkinProc, kSubclassId, static_cast<DWORD_PTR>(look));
  }
}

void SetSkinAccessibleSelected(HWND control, bool selected) {
  if (control == nullptr) return;
  const bool was = GetPropW(control, kSelectedProperty) != nullptr;
  if (selected == was) return;
  if (selected) {
    SetPropW(control, kSelectedProperty, reinterpret_cast<HANDLE>(1));
  } else {
    RemovePropW(control, kSelectedProperty);
  }
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace qv::ui
