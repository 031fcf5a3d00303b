#include "controls/win32/html_list_accessible.h"

#include <objbase.h>
#include <oleacc.h>

#include <string>
#include <utility>

#include "controls/control_texts.h"
#include "controls/markup_text.h"
#include "controls/win32/accessibility_library.h"
#include "controls/win32/html_list_ctrl.h"
#include "engine/categories.h"

namespace qv {

namespace {

const CRegistryProblem* ProblemOf(const HTMLLIST_ITEM& item) {
  return item.type == kHtmlListProblemRow ? static_cast<const CRegistryProblem*>(item.data)
                                          : nullptr;
}

const CScanCategory* CategoryOf(const HTMLLIST_ITEM& item) {
  return item.type != kHtmlListProblemRow ? static_cast<const CScanCategory*>(item.data) : nullptr;
}

// The check box state a row shows on the results list: 0, 1 or 2 (partly, category rows only).
int CheckStateOf(const HTMLLIST_ITEM& item) {
  if (const CRegistryProblem* problem = ProblemOf(item)) return problem->selected ? 1 : 0;
  if (const CScanCategory* category = CategoryOf(item)) {
    return CategoryCheckState(category->selectedCount, category->rowCount);
  }
  return item.checkState;
}

// The states that change with the rows' contents rather than with the selection.
LONG RowStateBits(const CHTMLListModel& model, const HTMLLIST_ITEM& item) {
  LONG state = 0;
  if (model.Kind() == kResultsList) {
    const int check = CheckStateOf(item);
    if (check == 1) state |= STATE_SYSTEM_CHECKED;
    if (check == 2) state |= STATE_SYSTEM_MIXED;
  }
  if (item.type != kHtmlListProblemRow) {
    state |= item.expanded ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
  }
  if (!model.IsShown(item.id)) state |= STATE_SYSTEM_INVISIBLE;
  return state;
}

// What the default action of a row does, as a click on a part of it; kAreaNone for none.
HTMLLIST_AREA ActionArea(const CHTMLListModel& model, const HTMLLIST_ITEM& item) {
  if (model.Kind() != kResultsList || item.data == nullptr) return kAreaNone;
  return item.type == kHtmlListProblemRow ? kAreaLink : kAreaCheckBox;
}

std::wstring ActionName(const CHTMLListModel& model, const HTMLLIST_ITEM& item) {
  switch (ActionArea(model, item)) {
    case kAreaLink: return MarkupPlainText(Tr(kIgnoreLinkText));
    case kAreaCheckBox: {
      // The box selects everything of the category unless everything is selected already.
      const CScanCategory* category = CategoryOf(item);
      const bool all = category != nullptr && category->selectedCount >= category->rowCount;
      return std::wstring(Tr(all ? kUncheckActionName : kCheckActionName));
    }
    default: return {};
  }
}

std::wstring RowName(const HTMLLIST_ITEM& item) {
  if (item.type == kHtmlListProblemRow) return MarkupPlainText(item.text);
  const CScanCategory* category = CategoryOf(item);
  return category != nullptr ? category->name : item.text;
}

std::wstring RowDescription(const CHTMLListModel& model, const HTMLLIST_ITEM& item) {
  if (item.type == kHtmlListProblemRow || item.data == nullptr) return {};
  std::wstring description = MarkupPlainText(model.CountText(item.id));
  if (model.Kind() == kScanList) {
    // The risk painted beside it, looked up as the painting does (by the shown name).
    description += kCountRiskSeparator;
    description += MarkupPlainText(RiskMarkup(ShownCategorySeverity(item.text)));
  }
  return description;
}

HRESULT TextResult(const std::wstring& text, BSTR* out) {
  if (text.empty()) return S_FALSE;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

void SetChild(VARIANT* out, LONG child) {
  out->vt = VT_I4;
  out->lVal = child;
}

LONG ChildOf(int row) { return row + 1; }

}  // namespace

class CHTMLListAccessible final : public CAccessibleObject {
 public:
  explicit CHTMLListAccessible(CHTMLListWindow& list) : m_list(&list) {
    void* standard = nullptr;
    if (SUCCEEDED(CreateStandardAccessible(list.Window(), OBJID_CLIENT, &standard))) {
      m_standard = static_cast<IAccessible*>(standard);
    }
  }

  void Disconnect() {
    m_list = nullptr;
    if (m_standard != nullptr) std::exchange(m_standard, nullptr)->Release();
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (m_list == nullptr) return CO_E_OBJNOTCONNECTED;
    return m_standard != nullptr ? m_standard->get_accParent(parent) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    if (m_list == nullptr) return CO_E_OBJNOTCONNECTED;
    *count = Model().ItemCount();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const HTMLLIST_ITEM* row = nullptr;
    const HRESULT found = Resolve(child, &row);
    if (found != S_OK) return found;
    // The rows are simple elements: the list itself answers for them.
    return row != nullptr ? S_FALSE : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return RowText(child, name, &IAccessible::get_accName,
                   [](const CHTMLListModel&, const HTMLLIST_ITEM& item) { return RowName(item); });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return RowText(child, value, &IAccessible::get_accValue,
                   [](const CHTMLListModel&, const HTMLLIST_ITEM&) { return std::wstring(); });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return RowText(child, description, &IAccessible::get_accDescription, RowDescription);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    const HTMLLIST_ITEM* row = nullptr;
    const HRESULT found = Resolve(child, &row);
    if (found != S_OK) return found;
    SetChild(role, row == nullptr                       ? ROLE_SYSTEM_LIST
                   : row->type == kHtmlListProblemRow ? ROLE_SYSTEM_LISTITEM
                                                      : ROLE_SYSTEM_GROUPING);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    const HTMLLIST_ITEM* row = nullptr;
    const HRESULT found = Resolve(child, &row);
    if (found != S_OK) return found;
    if (row == nullptr) {
      return m_standard != nullptr ? m_standard->get_accState(child, state) : S_FALSE;
    }
    const CHTMLListModel& model = Model();
    LONG bits = RowStateBits(model, *row) | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
    if (row->id == model.SelectedItem()) {
      bits |= STATE_SYSTEM_SELECTED;
      if (m_list->HasFocus()) bits |= STATE_SYSTEM_FOCUSED;
    }
    RECT client{};
    GetClientRect(m_list->Window(), &client);
    if (model.IsShown(row->id) && (row->rect.bottom <= 0 || row->rect.top >= client.bottom)) {
      bits |= STATE_SYSTEM_OFFSCREEN;
    }
    SetChild(state, bits);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return RowText(child, help, &IAccessible::get_accHelp,
                   [](const CHTMLListModel&, const HTMLLIST_ITEM&) { return std::wstring(); });
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (file != nullptr) *file = nullptr;
    if (topic != nullptr) *topic = 0;
    return m_list == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return RowText(child, shortcut, &IAccessible::get_accKeyboardShortcut,
                   [](const CHTMLListModel&, const HTMLLIST_ITEM&) { return std::wstring(); });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_POINTER;
    VariantInit(focus);
    if (m_list == nullptr) return CO_E_OBJNOTCONNECTED;
    if (!m_list->HasFocus()) return S_FALSE;
    const int selected = Model().SelectedItem();
    SetChild(focus, selected >= 0 ? ChildOf(selected) : CHILDID_SELF);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_POINTER;
    VariantInit(selection);
    if (m_list == nullptr) return CO_E_OBJNOTCONNECTED;
    const int selected = Model().SelectedItem();
    if (selected < 0) return S_FALSE;
    SetChild(selection, ChildOf(selected));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return RowText(child, action, &IAccessible::get_accDefaultAction, ActionName);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    const HTMLLIST_ITEM* row = nullptr;
    const HRESULT found = Resolve(child, &row);
    if (found != S_OK) return found;
    // One row at a time is selected, and it is the one with the focus.
    constexpr LONG kSingle = SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION;
    if ((flags & ~kSingle) != 0 || (row == nullptr && flags != SELFLAG_TAKEFOCUS)) {
      return E_INVALIDARG;
    }
    AddRef();  // focus messages run other windows' code, which may end the list
    const bool done = row == nullptr ? m_list->SelectRow(-1, true)
                                     : m_list->SelectRow(row->id, (flags & SELFLAG_TAKEFOCUS) != 0);
    Release();
    return done ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
      return E_POINTER;
    }
    *left = *top = *width = *height = 0;
    const HTMLLIST_ITEM* row = nullptr;
    const HRESULT found = Resolve(child, &row);
    if (found != S_OK) return found;
    if (row == nullptr) {
      return m_standard != nullptr ? m_standard->accLocation(left, top, width, height, child)
                                   : S_FALSE;
    }
    // A row folded under its category has no place: it is reported empty (and invisible).
    if (!Model().IsShown(row->id)) return S_OK;
    POINT corner{row->rect.left, row->rect.top};
    ClientToScreen(m_list->Window(), &corner);
    *left = corner.x;
    *top = corner.y;
    *width = row->rect.right - row->rect.left;
    *height = row->rect.bottom - row->rect.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_POINTER;
    VariantInit(end);
    const HTMLLIST_ITEM* row = nullptr;
    const HRESULT found = Resolve(start, &row);
    if (found != S_OK) return found;
    const int count = Model().ItemCount();
    int target = -1;
    if (row == nullptr) {
      if (direction == NAVDIR_FIRSTCHILD) target = 0;
      if (direction == NAVDIR_LASTCHILD) target = count - 1;
      if (direction != NAVDIR_FIRSTCHILD && direction != NAVDIR_LASTCHILD) {
        // Among the list's own siblings: the standard object knows them.
        return m_standard != nullptr ? m_standard->accNavigate(direction, start, end) : S_FALSE;
      }
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
      target = row->id + 1;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
      target = row->id - 1;
    } else if (direction < NAVDIR_UP || direction > NAVDIR_LASTCHILD) {
      return E_INVALIDARG;
    }
    if (target < 0 || target >= count) return S_FALSE;
    SetChild(end, ChildOf(target));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    if (child == nullptr) return E_POINTER;
    VariantInit(child);
    if (m_list == nullptr) return CO_E_OBJNOTCONNECTED;
    POINT point{x, y};
    ScreenToClient(m_list->Window(), &point);
    RECT client{};
    GetClientRect(m_list->Window(), &client);
    if (!PtInRect(&client, point)) return S_FALSE;
    const HTMLLIST_HIT hit = Model().HitTest({static_cast<int>(point.x), static_cast<int>(point.y)});
    SetChild(child, hit.id >= 0 ? ChildOf(hit.id) : CHILDID_SELF);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    const HTMLLIST_ITEM* row = nullptr;
    const HRESULT found = Resolve(child, &row);
    if (found != S_OK) return found;
    if (row == nullptr) {
      return m_standard != nullptr ? m_standard->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
    }
    const HTMLLIST_AREA area = ActionArea(Model(), *row);
    if (area == kAreaNone) return DISP_E_MEMBERNOTFOUND;
    // The action tells the list's owner, which may remove rows or end the whole list (and with
    // it the window's reference) meanwhile.
    AddRef();
    m_list->ActivateRow(row->id, area);
    Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

 private:
  ~CHTMLListAccessible() override { Disconnect(); }

  [[nodiscard]] const CHTMLListModel& Model() const { return m_list->Model(); }

  // The row of a child id in *row (null for CHILDID_SELF): S_OK, CO_E_OBJNOTCONNECTED once the
  // window has gone, E_INVALIDARG for anything but a 32-bit child id of this list.
  HRESULT Resolve(const VARIANT& child, const HTMLLIST_ITEM** row) const {
    *row = nullptr;
    if (m_list == nullptr) return CO_E_OBJNOTCONNECTED;
    if (child.vt != VT_I4) return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF) return S_OK;
    *row = Model().Item(static_cast<int>(child.lVal) - 1);
    return *row != nullptr ? S_OK : E_INVALIDARG;
  }

  // A text property: the standard object's for the list itself, the row's own otherwise (none:
  // S_FALSE and a null text).
  template <typename RowTextOf>
  HRESULT RowText(const VARIANT& child, BSTR* out,
                  HRESULT (STDMETHODCALLTYPE IAccessible::*standard)(VARIANT, BSTR*),
                  RowTextOf rowText) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const HTMLLIST_ITEM* row = nullptr;
    const HRESULT found = Resolve(child, &row);
    if (found != S_OK) return found;
    if (row == nullptr) return m_standard != nullptr ? (m_standard->*standard)(child, out) : S_FALSE;
    return TextResult(rowText(Model(), *row), out);
  }

  CHTMLListWindow* m_list;  // null once the window has gone
  IAccessible* m_standard = nullptr;
};

LRESULT HtmlListGetObject(CHTMLListWindow& list, CHTMLListAccessible*& object, WPARAM flags,
                          LPARAM objectId) {
  // Compared as 32 bits: on 64-bit Windows the object id arrives sign-extended or not.
  if (static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
  if (object == nullptr) object = new CHTMLListAccessible(list);
  return AccessibleResult(flags, object);
}

void ReleaseHtmlListAccessible(CHTMLListAccessible*& object) {
  if (object == nullptr) return;
  CHTMLListAccessible* released = std::exchange(object, nullptr);
  released->Disconnect();
  // Without COM on this thread there is nothing to disconnect, and the call says so harmlessly.
  static_cast<void>(CoDisconnectObject(released, 0));
  released->Release();
}

HTMLLIST_SNAPSHOT TakeHtmlListSnapshot(const CHTMLListModel& model) {
  HTMLLIST_SNAPSHOT snapshot;
  snapshot.count = model.ItemCount();
  snapshot.selected = model.SelectedItem();
  if (const HTMLLIST_ITEM* selected = model.Item(snapshot.selected)) {
    snapshot.selectedData = selected->data;
  }
  snapshot.states.reserve(static_cast<std::size_t>(snapshot.count));
  for (int id = 0; id < snapshot.count; ++id) {
    snapshot.states.push_back(RowStateBits(model, *model.Item(id)));
  }
  return snapshot;
}

void RaiseHtmlListEvents(HWND window, const HTMLLIST_SNAPSHOT& before,
                         const CHTMLListModel& model, bool focused) {
  if (window == nullptr) return;
  const int count = model.ItemCount();
  if (count != before.count) {
    NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
  } else {
    for (int id = 0; id < count; ++id) {
      if (RowStateBits(model, *model.Item(id)) != before.states[static_cast<std::size_t>(id)]) {
        NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, ChildOf(id));
      }
    }
  }
  const int selected = model.SelectedItem();
  const HTMLLIST_ITEM* row = model.Item(selected);
  if (row != nullptr && (selected != before.selected || row->data != before.selectedData)) {
    if (focused) NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, ChildOf(selected));
    NotifyWinEvent(EVENT_OBJECT_SELECTION, window, OBJID_CLIENT, ChildOf(selected));
  }
}

void RaiseHtmlListFocus(HWND window, const CHTMLListModel& model) {
  const int selected = model.SelectedItem();
  if (window != nullptr && selected >= 0) {
    NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, ChildOf(selected));
  }
}

void RaiseHtmlListReorder(HWND window) {
  if (window != nullptr) NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace qv
