#include "ui/win32/skin_accessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <string>
#include <string_view>

#include "controls/win32/accessibility_library.h"
#include "ui/ui_texts.h"

namespace qv::ui {
namespace {

constexpr UINT_PTR kSubclassId = 0x51564143;  // one subclass of ours per control
constexpr wchar_t kSelectedProperty[] = L"QuarveloSkinSelected";

// The default actions (kPressAction...) are texts of ui_texts.inc.

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

// The owner-drawn push buttons of the skin.
bool Pressable(CONTROL_LOOK look) {
  return look == CONTROL_LOOK::kButton || look == CONTROL_LOOK::kLargeButton ||
         look == CONTROL_LOOK::kNavButton || look == CONTROL_LOOK::kLink;
}

// WM_KEYDOWN: the key was down before this message (a repeat).
constexpr LPARAM kKeyWasDown = 0x40000000;

bool Checked(HWND control) {
  return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A skinned check box shows only its square; the label made right after it says what it means
// (its own text may be a stored value's name). Empty when no label follows.
std::wstring CheckBoxLabel(HWND box) {
  HWND label = GetWindow(box, GW_HWNDNEXT);
  wchar_t cls[16] = {};
  if (label == nullptr || GetClassNameW(label, cls, 16) == 0 || lstrcmpiW(cls, L"STATIC") != 0) {
    return {};
  }
  const int length = GetWindowTextLengthW(label);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(label, text.data(), length + 1)));
  return text;
}

// A check box too narrow for its text draws no focus frame of its own: while it has the focus
// (and focus cues are shown) a dotted frame goes round its square.
void DrawCheckBoxFocus(HWND box) {
  if (GetFocus() != box || (SendMessageW(box, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0) {
    return;
  }
  HDC dc = GetDC(box);
  if (dc == nullptr) return;
  RECT client{};
  GetClientRect(box, &client);
  DrawFocusRect(dc, &client);
  ReleaseDC(box, dc);
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard object of the control with the role, states and action of its look. Everything
// else is the standard object's.
class CSkinAccessible final : public CAccessibleObject {
 public:
  CSkinAccessible(HWND control, CONTROL_LOOK look, IAccessible* standard)
      : m_control(control), m_look(look), m_standard(standard) {}

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
    if (!IsSelf(child) || m_look != CONTROL_LOOK::kCheck) {
      return m_standard->get_accName(child, name);
    }
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    if (!IsWindow(m_control)) return CO_E_OBJNOTCONNECTED;
    const std::wstring label = CheckBoxLabel(m_control);
    if (label.empty()) return m_standard->get_accName(child, name);
    *name = SysAllocStringLen(label.data(), static_cast<UINT>(label.size()));
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
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
    UI_TEXT name = kPressAction;
    if (m_look == CONTROL_LOOK::kNavButton) name = kSwitchAction;
    if (m_look == CONTROL_LOOK::kLink) name = kJumpAction;
    if (m_look == CONTROL_LOOK::kCheck) name = Checked(m_control) ? kUncheckAction : kCheckAction;
    const std::wstring_view shown = Tr(name);
    *action = SysAllocStringLen(shown.data(), static_cast<UINT>(shown.size()));
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
  ~CSkinAccessible() override { m_standard->Release(); }

  HWND m_control;
  CONTROL_LOOK m_look;
  IAccessible* m_standard;  // owned
};

LRESULT CALLBACK SkinProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR look) {
  if (message == WM_GETOBJECT &&
      static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
    void* standard = nullptr;
    if (SUCCEEDED(CreateStandardAccessible(control, OBJID_CLIENT, &standard))) {
      auto* object = new CSkinAccessible(control, static_cast<CONTROL_LOOK>(look),
                                         static_cast<IAccessible*>(standard));
      const LRESULT result = AccessibleResult(wParam, object);
      object->Release();  // the result holds what the client needs
      return result;
    }
  }
  if (Pressable(static_cast<CONTROL_LOOK>(look))) {
    // Enter presses the button that has the focus, as Space does. The dialog manager would
    // send the dialog IDOK instead (an owner-drawn button is never the default button), so the
    // button asks for the key itself.
    if (message == WM_GETDLGCODE) {
      LRESULT code = DefSubclassProc(control, message, wParam, lParam);
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
      // Once per press: a key held down repeats.
      if ((lParam & kKeyWasDown) == 0) SendMessageW(control, BM_CLICK, 0, 0);
      return 0;
    }
  }
  if (static_cast<CONTROL_LOOK>(look) == CONTROL_LOOK::kCheck) {
    switch (message) {
      case WM_PAINT: {
        const LRESULT result = DefSubclassProc(control, message, wParam, lParam);
        DrawCheckBoxFocus(control);
        return result;
      }
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
      case WM_UPDATEUISTATE: {
        const LRESULT result = DefSubclassProc(control, message, wParam, lParam);
        InvalidateRect(control, nullptr, TRUE);
        return result;
      }
      default: break;
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
