// QuarveloDll.dll under Wine and Xvfb as a screen reader meets it: the skinned controls and the
// results list of a scan of the seeded prefix read through oleacc (AccessibleObjectFromWindow,
// AccessibleChildren) from a second thread, as another process would, and one category unticked
// with the keyboard alone (Tab to the list, arrow keys, Space) while the WinEvents a reader
// follows are recorded.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <oleacc.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "tests/support/win32/gui_driver.h"
#include "ui/ui_texts.h"
#include "ui/win32/resource.h"

#ifndef QV_DLL_PATH
#error QV_DLL_PATH must name the QuarveloDll.dll to test
#endif

namespace qv {
namespace {

using namespace test::gui;  // NOLINT: the driver's vocabulary

constexpr UINT kGetItemCount = WM_USER + 100;
constexpr UINT kGetItemType = WM_USER + 101;
constexpr UINT kGetCheckState = WM_USER + 102;

struct WIN_EVENT {
  DWORD event;
  LONG child;
  friend bool operator==(const WIN_EVENT&, const WIN_EVENT&) = default;
};
HWND g_watched = nullptr;
std::vector<WIN_EVENT> g_events;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                          DWORD) {
  if (window == g_watched && object == OBJID_CLIENT) g_events.push_back({event, child});
}

// Waits as WaitFor does, delivering this thread's messages meanwhile (the WinEvents among them).
bool Pumping(const std::function<bool()>& condition, int seconds) {
  return WaitFor(
      [&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        return condition();
      },
      seconds);
}

// An IAccessible released at the end of its scope.
class CAccessible {
 public:
  explicit CAccessible(HWND window) {
    EXPECT_EQ(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&m_object)),
              S_OK);
  }
  ~CAccessible() {
    if (m_object != nullptr) m_object->Release();
  }
  CAccessible(const CAccessible&) = delete;
  CAccessible& operator=(const CAccessible&) = delete;

  [[nodiscard]] IAccessible* operator->() const { return m_object; }
  [[nodiscard]] explicit operator bool() const { return m_object != nullptr; }

  [[nodiscard]] LONG Role(LONG child = CHILDID_SELF) const {
    return Number(&IAccessible::get_accRole, child);
  }
  [[nodiscard]] LONG State(LONG child = CHILDID_SELF) const {
    return Number(&IAccessible::get_accState, child);
  }
  [[nodiscard]] std::wstring Name(LONG child = CHILDID_SELF) const {
    return Text(&IAccessible::get_accName, child);
  }
  [[nodiscard]] std::wstring Action(LONG child = CHILDID_SELF) const {
    return Text(&IAccessible::get_accDefaultAction, child);
  }
  [[nodiscard]] LONG Focus() const {
    VARIANT focus;
    VariantInit(&focus);
    return m_object->get_accFocus(&focus) == S_OK && focus.vt == VT_I4 ? focus.lVal : -1;
  }
  static VARIANT Child(LONG id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
  }

 private:
  [[nodiscard]] LONG Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*),
                            LONG child) const {
    VARIANT value;
    VariantInit(&value);
    return SUCCEEDED((m_object->*get)(Child(child), &value)) && value.vt == VT_I4 ? value.lVal : -1;
  }
  [[nodiscard]] std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*),
                                  LONG child) const {
    BSTR text = nullptr;
    const HRESULT result = (m_object->*get)(Child(child), &text);
    std::wstring value = result == S_OK ? std::wstring(text, SysStringLen(text)) : L"<none>";
    SysFreeString(text);
    return value;
  }

  IAccessible* m_object = nullptr;
};

HWND FindByClass(HWND root, const wchar_t* cls) {
  struct SEARCH {
    const wchar_t* cls;
    HWND found;
  } search{cls, nullptr};
  EnumChildWindows(
      root,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<SEARCH*>(data);
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (std::wstring(name) != s->cls) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FocusOf(HWND main) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) ? info.hwndFocus
                                                                          : nullptr;
}

// A key pressed and released on the window that has the focus, as the keyboard delivers it
// (the window's message loop gives the dialog manager the first look at it).
void Press(HWND main, WPARAM key) {
  HWND focus = FocusOf(main);
  ASSERT_NE(focus, nullptr);
  PostMessageW(focus, WM_KEYDOWN, key, 1);
  PostMessageW(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
}

// Keys held together, as the keyboard sends them (the modifiers reach the key state the dialog
// manager and the window read).
void Chord(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (const WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto key = keys.end(); key != keys.begin();) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *--key;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
            inputs.size());
}

bool Selected(HWND tab) {
  if (tab == nullptr) return false;
  const CAccessible object(tab);
  return object && (object.State() & STATE_SYSTEM_SELECTED) != 0;
}

TEST(AccessibilityGui, ResultsListAndSkinnedControlsReadThroughOleaccAndWorkByKeyboard) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const LIBRARY library = LoadLibraryAt(QV_DLL_PATH);
  ASSERT_NE(library.showMainDialog, nullptr) << GetLastError();
  int result = -1;
  std::thread ui([&] { result = library.showMainDialog(); });
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = FindDialog(ui::kMainCaption)) != nullptr; }, 30));
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 10));

  // The keyboard alone: Tab along the navigation row, Space on a tab button, Ctrl+Tab and
  // Ctrl+Shift+Tab round the tabs of the container page (focus on the tab), Enter on a button.
  SetForegroundWindow(main);
  ASSERT_TRUE(WaitFor([&] { return FocusOf(main) == Find(main, IDC_NAV_FIRST); }, 5));
  Press(main, VK_TAB);
  ASSERT_TRUE(WaitFor([&] { return FocusOf(main) == Find(main, IDC_NAV_FIRST + 1); }, 5));
  Press(main, VK_SPACE);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_CONTAINER_TAB_FIRST) != nullptr; }, 5))
      << "Space pressed nothing";
  const HWND settingsTabs[3] = {Find(main, IDC_CONTAINER_TAB_FIRST),
                                Find(main, IDC_CONTAINER_TAB_FIRST + 1),
                                Find(main, IDC_CONTAINER_TAB_FIRST + 2)};
  ASSERT_TRUE(WaitFor([&] { return Selected(settingsTabs[0]); }, 5));
  // Tab goes along the navigation row, then the tab row, before it enters the page shown.
  auto tabUntil = [&](HWND target, std::initializer_list<WORD> keys) {
    for (int tab = 0; tab < 30 && FocusOf(main) != target; ++tab) {
      const HWND before = FocusOf(main);
      Chord(keys);
      if (!WaitFor([&] { return FocusOf(main) != before; }, 5)) break;
    }
    return FocusOf(main) == target;
  };
  ASSERT_TRUE(tabUntil(settingsTabs[0], {VK_TAB}));
  Chord({VK_TAB});
  EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == settingsTabs[1]; }, 5));
  struct {
    std::initializer_list<WORD> keys;
    int tab;
  } const switches[] = {{{VK_CONTROL, VK_TAB}, 1},
                        {{VK_CONTROL, VK_TAB}, 2},
                        {{VK_CONTROL, VK_TAB}, 0},
                        {{VK_CONTROL, VK_SHIFT, VK_TAB}, 2},
                        {{VK_CONTROL, VK_SHIFT, VK_TAB}, 1}};
  for (const auto& step : switches) {
    Chord(step.keys);
    EXPECT_TRUE(WaitFor(
        [&] { return Selected(settingsTabs[step.tab]) && FocusOf(main) == settingsTabs[step.tab]; },
        5))
        << step.tab;
  }
  Shot(main, L"accessibility-ignore-list-tab-by-ctrl-tab");
  ASSERT_TRUE(tabUntil(Find(main, IDC_NAV_FIRST), {VK_SHIFT, VK_TAB}))
      << "Shift+Tab never reached the Scan tab";
  Press(main, VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(Find(main, IDC_SCAN_NOW)) != FALSE; }, 5))
      << "Enter pressed nothing";
  // On into the page: its first category box, named by the label beside it, its focus shown.
  ASSERT_TRUE(tabUntil(Find(main, IDC_CATEGORY_CHECK_FIRST), {VK_TAB}));
  {
    const CAccessible box(Find(main, IDC_CATEGORY_CHECK_FIRST));
    wchar_t label[128] = {};
    GetWindowTextW(Find(main, IDC_CATEGORY_NAME_FIRST), label, 128);
    EXPECT_EQ(box.Name(), label);
    EXPECT_EQ(box.Role(), ROLE_SYSTEM_CHECKBUTTON);
  }
  Shot(main, L"accessibility-options-focus-on-a-box");

  // The skinned controls: their captions, roles and states; "Scan Now" pressed as a reader does.
  {
    const CAccessible scanTab(Find(main, IDC_NAV_FIRST));
    const CAccessible settingsTab(Find(main, IDC_NAV_FIRST + 1));
    const CAccessible health(Find(main, IDC_HEALTH_LABEL));
    const CAccessible scanNow(Find(main, IDC_SCAN_NOW));
    ASSERT_TRUE(scanTab && settingsTab && health && scanNow);
    EXPECT_EQ(scanTab.Name(), ui::kNavButtonScan.english);
    EXPECT_EQ(scanTab.Role(), ROLE_SYSTEM_PAGETAB);
    EXPECT_EQ(scanTab.State() & STATE_SYSTEM_SELECTED, STATE_SYSTEM_SELECTED);
    EXPECT_EQ(settingsTab.State() & STATE_SYSTEM_SELECTED, 0);
    EXPECT_EQ(settingsTab.Action(), L"Switch");
    EXPECT_EQ(health.Name(), L"PC Health is Normal");
    EXPECT_EQ(health.Role(), ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(scanNow.Name(), ui::kScanNow.english);
    EXPECT_EQ(scanNow.Role(), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(scanNow.Action(), L"Press");
    EXPECT_EQ(scanNow->accDoDefaultAction(CAccessible::Child(CHILDID_SELF)), S_OK);
  }
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_FIX_ERRORS) != nullptr; }, 240));
  const HWND results = FindByClass(main, L"HTMLListCtrl");
  const HWND live = FindByClass(main, L"MyHTMLListCtrl");
  ASSERT_TRUE(results != nullptr && live != nullptr);

  // The results list: one child per row, headings and problems, as the list counts them.
  const CAccessible list(results);
  ASSERT_TRUE(list);
  EXPECT_EQ(list.Role(), ROLE_SYSTEM_LIST);
  EXPECT_EQ(list.Name(), ui::kColumnSections.english);
  LONG count = 0;
  ASSERT_EQ(list->get_accChildCount(&count), S_OK);
  ASSERT_EQ(count, static_cast<LONG>(SendMessageW(results, kGetItemCount, 0, 0)));
  ASSERT_GT(count, 0);
  std::vector<VARIANT> children(static_cast<std::size_t>(count));
  LONG got = 0;
  ASSERT_EQ(AccessibleChildren(list.operator->(), 0, count, children.data(), &got), S_OK);
  ASSERT_EQ(got, count);
  std::vector<int> types;
  int headings = 0;
  for (LONG child = 1; child <= count; ++child) {
    EXPECT_EQ(children[static_cast<std::size_t>(child - 1)].lVal, child);
    const int type = static_cast<int>(SendMessageW(results, kGetItemType, child - 1, 0));
    types.push_back(type);
    const std::wstring name = list.Name(child);
    // Plain text: no tag, no entity.
    EXPECT_EQ(name.find_first_of(L"<>"), std::wstring::npos) << ToUtf8(name);
    EXPECT_EQ(name.find(L"&lt;"), std::wstring::npos) << ToUtf8(name);
    const bool checked = (list.State(child) & STATE_SYSTEM_CHECKED) != 0;
    EXPECT_EQ(checked, SendMessageW(results, kGetCheckState, child - 1, 0) == 1) << child;
    if (type == 2) {
      ++headings;
      EXPECT_EQ(list.Role(child), ROLE_SYSTEM_GROUPING);
      EXPECT_EQ(list.Action(child), L"UnCheck");  // every problem starts ticked
    } else {
      EXPECT_EQ(list.Role(child), ROLE_SYSTEM_LISTITEM);
      EXPECT_EQ(list.Action(child), L"Ignore");
      EXPECT_TRUE(name.rfind(L"The file referenced", 0) == 0 ||
                  name.rfind(L"The registry key contains no data.", 0) == 0)
          << ToUtf8(name);
      EXPECT_NE(name.find(L" Key: "), std::wstring::npos) << ToUtf8(name);
    }
  }
  EXPECT_EQ(count - headings, library.errorCount());
  // The live list of the scan page: the same rows, without check states or actions.
  {
    const CAccessible scanList(live);
    LONG liveCount = 0;
    ASSERT_EQ(scanList->get_accChildCount(&liveCount), S_OK);
    EXPECT_EQ(liveCount, count);
    EXPECT_EQ(scanList.State(2) & STATE_SYSTEM_CHECKED, 0);
    EXPECT_EQ(scanList.Action(2), L"<none>");
  }

  // By keyboard only: Tab to the list, up to its first row, down to the heading of a category
  // with one problem (the first one when there is none), Space unticks it.
  int target = 0;
  for (std::size_t i = 0; i + 1 < types.size(); ++i) {
    if (types[i] == 2 && types[i + 1] == 1 && (i + 2 == types.size() || types[i + 2] == 2)) {
      target = static_cast<int>(i);
      break;
    }
  }
  g_watched = results;
  const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_STATECHANGE, nullptr,
                                             RecordEvent, GetCurrentProcessId(), 0,
                                             WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  for (int tab = 0; tab < 30 && FocusOf(main) != results; ++tab) {
    const HWND before = FocusOf(main);
    Press(main, VK_TAB);
    ASSERT_TRUE(WaitFor([&] { return FocusOf(main) != before; }, 5)) << "Tab moved nothing";
  }
  ASSERT_EQ(FocusOf(main), results) << "Tab never reached the results list";
  EXPECT_EQ(list.Focus(), CHILDID_SELF);  // no row selected yet
  Press(main, VK_UP);
  ASSERT_TRUE(Pumping([&] { return list.Focus() == 1; }, 5));
  for (LONG row = 1; row <= target; ++row) {
    Press(main, VK_DOWN);
    ASSERT_TRUE(Pumping([&] { return list.Focus() == row + 1; }, 5)) << row;
  }
  const LONG heading = target + 1;
  EXPECT_TRUE(Pumping(
      [&] {
        return std::find(g_events.begin(), g_events.end(),
                         WIN_EVENT{EVENT_OBJECT_FOCUS, heading}) != g_events.end();
      },
      5));
  g_events.clear();
  Press(main, VK_SPACE);
  EXPECT_TRUE(Pumping([&] { return (list.State(heading) & STATE_SYSTEM_CHECKED) == 0; }, 5));
  std::vector<WIN_EVENT> expected{{EVENT_OBJECT_STATECHANGE, heading}};
  for (LONG child = heading + 1; child <= count && types[child - 1] == 1; ++child) {
    EXPECT_EQ(list.State(child) & STATE_SYSTEM_CHECKED, 0) << child;
    EXPECT_EQ(SendMessageW(results, kGetCheckState, child - 1, 0), 0) << child;
    expected.push_back({EVENT_OBJECT_STATECHANGE, child});
  }
  EXPECT_EQ(list.Action(heading), L"Check");
  EXPECT_TRUE(Pumping([&] { return g_events == expected; }, 5));
  Shot(main, L"accessibility-results-unticked-by-keyboard");
  // Down to its problem: Space ticks that one problem again, and with it its category.
  Press(main, VK_DOWN);
  ASSERT_TRUE(Pumping([&] { return list.Focus() == heading + 1; }, 5));
  Press(main, VK_SPACE);
  EXPECT_TRUE(Pumping([&] { return (list.State(heading + 1) & STATE_SYSTEM_CHECKED) != 0; }, 5));
  EXPECT_EQ(SendMessageW(results, kGetCheckState, heading, 0), 1);
  EXPECT_NE(list.State(heading) & STATE_SYSTEM_CHECKED, 0);

  // "Ignore" as a reader does it: the default action of a problem row that has a sibling takes
  // that row, and only it, off the list.
  LONG ignored = 0;
  for (LONG child = 1; child < count; ++child) {
    if (types[child - 1] == 1 && types[child] == 1) {
      ignored = child;
      break;
    }
  }
  ASSERT_NE(ignored, 0) << "no category with two problems";
  const std::wstring next = list.Name(ignored + 1);
  g_events.clear();
  EXPECT_EQ(list->accDoDefaultAction(CAccessible::Child(ignored)), S_OK);
  LONG after = 0;
  EXPECT_EQ(list->get_accChildCount(&after), S_OK);
  EXPECT_EQ(after, count - 1);
  EXPECT_EQ(list.Name(ignored), next);
  EXPECT_EQ(after, static_cast<LONG>(SendMessageW(results, kGetItemCount, 0, 0)));
  EXPECT_TRUE(Pumping(
      [&] {
        return std::find(g_events.begin(), g_events.end(),
                         WIN_EVENT{EVENT_OBJECT_REORDER, CHILDID_SELF}) != g_events.end();
      },
      5));
  UnhookWinEvent(hook);

  // The options page by its tab's default action: health Bad, with its repair link.
  {
    const CAccessible scanTab(Find(main, IDC_NAV_FIRST));
    EXPECT_EQ(scanTab->accDoDefaultAction(CAccessible::Child(CHILDID_SELF)), S_OK);
  }
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_REPAIR_LINK) != nullptr; }, 10));
  {
    const CAccessible link(Find(main, IDC_REPAIR_LINK));
    EXPECT_EQ(link.Name(), ui::kRepairLink.english);
    EXPECT_EQ(link.Role(), ROLE_SYSTEM_LINK);
    EXPECT_EQ(link.State() & STATE_SYSTEM_LINKED, STATE_SYSTEM_LINKED);
  }
  PostMessageW(main, WM_CLOSE, 0, 0);
  ui.join();
  EXPECT_EQ(result, 1);
  CoUninitialize();
  FreeLibrary(library.module);
}

}  // namespace
}  // namespace qv
