// The two markup list controls in a real window under Wine and Xvfb, driven from inside this
// process with the messages a user's mouse and keys would send: their window classes and styles,
// the notifications the parent receives, the check states and counts behind them, the "Ignore"
// link handing its problem back without deleting it, keys, scroll bar and wheel, the cursor, and
// the painted pixels (row colours, pictures, coloured markup). Screenshots of the host window go
// to QV_SCREENSHOT_DIR for people to look at.
#include "controls/win32/html_list_ctrl.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: they need its declarations
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "controls/control_texts.h"
#include "controls/markup_text.h"
#include "engine/categories.h"
#include "tests/support/win32/screenshot.h"

#ifndef QV_SCREENSHOT_DIR
#error QV_SCREENSHOT_DIR must name the folder the screenshots are written to
#endif

namespace qv {
namespace {

constexpr wchar_t kHostClassName[] = L"QuarveloListTestHost";
constexpr int kClientWidth = 780;
constexpr int kClientHeight = 580;
constexpr RECT kResultsRect{10, 10, 770, 330};
constexpr RECT kScanRect{10, 340, 770, 570};

// A WM_NOTIFY as the host saw it (the record lives only while the message is handled).
struct NOTIFICATION {
  WPARAM wParam = 0;
  NMHTMLLIST record{};
  std::wstring text = L"<null>";
};

std::vector<NOTIFICATION>* g_notes = nullptr;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && g_notes != nullptr) {
    const auto* record = reinterpret_cast<const NMHTMLLIST*>(lParam);
    NOTIFICATION note{wParam, *record, record->text != nullptr ? record->text : L"<null>"};
    g_notes->push_back(note);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A problem that counts its own destruction, so a deletion by the control would show.
int g_problemsDestroyed = 0;
class CCountedProblem final : public CRegistryProblem {
 public:
  using CRegistryProblem::CRegistryProblem;
  ~CCountedProblem() override { ++g_problemsDestroyed; }
};

// The row text as the results page writes it: a red verdict, the key with backslashes, the value;
// the registry's text escaped, so tags in it show as text.
std::wstring RowText(const CRegistryProblem& problem) {
  return L"<font color=#ff0000><b>The file referenced doesn't exist.</b></font><br><b>Key: </b>" +
         EscapeMarkup(problem.key) + L"<br>" + EscapeMarkup(problem.name) + L"=" +
         EscapeMarkup(problem.data);
}

// What a captured client area shows, one 0x00RRGGBB value per pixel.
struct SCREENSHOT {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  [[nodiscard]] COLORREF At(int x, int y) const {
    const std::uint32_t p = pixels[static_cast<std::size_t>(y * width + x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // How many pixels of the box (clipped to the picture) satisfy the test.
  template <typename Test>
  [[nodiscard]] int Count(const MARKUP_RECT& box, Test test) const {
    int n = 0;
    for (int y = std::max(0, box.top); y < std::min(height, box.bottom); ++y) {
      for (int x = std::max(0, box.left); x < std::min(width, box.right); ++x) {
        const COLORREF c = At(x, y);
        if (test(GetRValue(c), GetGValue(c), GetBValue(c))) ++n;
      }
    }
    return n;
  }
};

// The client area of the window as painted, written to <name>.bmp as well. It is read from the
// window's own device context, which shows what was drawn at once (the screen itself may show
// it a little later).
SCREENSHOT Capture(HWND window, const wchar_t* name) {
  UpdateWindow(GetAncestor(window, GA_ROOT));
  RECT client{};
  GetClientRect(window, &client);
  SCREENSHOT shot{client.right, client.bottom, {}};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER),
                    shot.width,
                    -shot.height,
                    1,
                    32,
                    BI_RGB,
                    0,
                    0,
                    0,
                    0,
                    0};  // top-down
  const CWindowDc screen = GetWindowDc(window);
  const CMemoryDc memory(CreateCompatibleDC(screen.get()));
  void* bits = nullptr;
  const CGdiObject bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bits == nullptr) {
    ADD_FAILURE() << "no bitmap for the screenshot";
    return shot;
  }
  {
    const CSelectedObject selected(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, shot.width, shot.height, screen.get(), 0, 0, SRCCOPY);
    GdiFlush();
  }
  const auto* first = static_cast<const std::uint32_t*>(bits);
  shot.pixels.assign(first, first + static_cast<std::size_t>(shot.width) * shot.height);
  test::WriteScreenshotFile(name, shot.width, shot.height, shot.pixels);
  return shot;
}

class HtmlListGuiTest : public ::testing::Test {
 protected:
  // One host window for all the tests: a captioned window that goes takes Wine seconds to
  // withdraw without a window manager.
  static void SetUpTestSuite() {
    WNDCLASSEXW hostClass{};
    hostClass.cbSize = sizeof(hostClass);
    hostClass.lpfnWndProc = HostProc;
    hostClass.hInstance = GetModuleHandleW(nullptr);
    hostClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    hostClass.lpszClassName = kHostClassName;
    RegisterClassExW(&hostClass);
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    host = CreateWindowExW(0, kHostClassName, L"Quarvelo list controls", WS_OVERLAPPEDWINDOW, 0, 0,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    ShowWindow(host, SW_SHOW);
    SetForegroundWindow(host);
  }
  static void TearDownTestSuite() {
    DestroyWindow(host);
    host = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(host, nullptr);
    g_notes = &notes;
    g_problemsDestroyed = 0;
    ASSERT_EQ(results.Create(host, kResultsRect), kErrorSuccess);
    ASSERT_EQ(scan.Create(host, kScanRect), kErrorSuccess);
    FillResults();
    FillScan();
    Pump();
  }
  // The lists' windows go with the objects.
  void TearDown() override { g_notes = nullptr; }

  CCountedProblem* Problem(std::wstring key, std::wstring name, std::wstring data,
                           REGPROBLEM_TYPE type, bool selected = true) {
    problems.push_back(
        std::make_unique<CCountedProblem>(std::move(key), std::move(name), std::move(data), type));
    problems.back()->selected = selected;
    return problems.back().get();
  }
  void AddCategory(CHTMLListWindow& list, CScanCategory& category,
                   const std::vector<CCountedProblem*>& rows) {
    category.rowCount = static_cast<int>(rows.size());
    category.problemCount = category.rowCount;
    category.selectedCount = 0;
    for (const CCountedProblem* p : rows) category.selectedCount += p->selected ? 1 : 0;
    list.AddItem(category.name, kHtmlListCategoryRow, &category);
    for (CCountedProblem* p : rows) list.AddItem(RowText(*p), kHtmlListProblemRow, p);
  }
  // Rows 0-2 COM (two problems), 3-4 Uninstalled Files (one), 5-7 Fonts (one of two selected).
  void FillResults() {
    com1 =
        Problem(L"HKEY_CLASSES_ROOT\\CLSID\\{0A1B2C3D-0000-4000-8000-00000000C0DE}\\InprocServer32",
                L"<font color=#0000ff>(Default)", L"C:\\Program Files\\Gone\\gone.dll",
                REGPROBLEM_COM);
    com2 =
        Problem(L"HKEY_CLASSES_ROOT\\CLSID\\{0A1B2C3D-0000-4000-8000-00000000BEEF}\\LocalServer32",
                L"(Default)", L"C:\\Old Tools\\viewer.exe /embedding", REGPROBLEM_COM);
    uninstall = Problem(
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OldApp",
        L"UninstallString", L"C:\\OldApp\\remove.exe", REGPROBLEM_UNINSTALL);
    font1 = Problem(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                    L"Gone Sans (TrueType)", L"gonesans.ttf", REGPROBLEM_FONT);
    font2 = Problem(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                    L"Lost Serif & Co (TrueType)", L"lostserif.ttf", REGPROBLEM_FONT, false);
    AddCategory(results, comCategory, {com1, com2});
    AddCategory(results, uninstallCategory, {uninstall});
    AddCategory(results, fontCategory, {font1, font2});
  }
  // Rows 0-1 COM with one problem, 2 Uninstalled Files, 3 Fonts.
  void FillScan() {
    scanProblem = Problem(L"HKEY_CLASSES_ROOT\\CLSID\\{0A1B2C3D-0000-4000-8000-0000000000AA}",
                          L"(Default)", L"C:\\Gone\\a.dll", REGPROBLEM_COM);
    AddCategory(scan, scanCom, {scanProblem});
    scan.AddItem(scanUninstall.name, kHtmlListCategoryRow, &scanUninstall);
    scan.AddItem(scanFonts.name, kHtmlListCategoryRow, &scanFonts);
    scanUninstall.rowCount = 3;
    scanFonts.rowCount = 12;
  }

  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // A point of the row: x from its left edge, y its middle; the link area's point.
  static LPARAM At(const CHTMLListWindow& list, int id, int x) {
    const MARKUP_RECT& r = list.Model().Item(id)->rect;
    return MAKELPARAM(r.left + x, (r.top + r.bottom) / 2);
  }
  static LPARAM Link(const CHTMLListWindow& list, int id) {
    const MARKUP_RECT& r = list.Model().Item(id)->rect;
    return MAKELPARAM(r.right - 20, r.bottom - 5);
  }
  static LPARAM Box(const CHTMLListWindow& list, int id) {
    return At(list, id, list.Model().Item(id)->type == kHtmlListProblemRow ? 25 : 28);
  }
  static void Click(const CHTMLListWindow& list, LPARAM point) {
    SendMessageW(list.Window(), WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(list.Window(), WM_LBUTTONUP, 0, point);
  }
  static void Key(const CHTMLListWindow& list, WPARAM key) {
    SendMessageW(list.Window(), WM_KEYDOWN, key, 0);
    SendMessageW(list.Window(), WM_KEYUP, key, 0);
  }
  static int ScrollBarPos(const CHTMLListWindow& list) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(list.Window(), SB_VERT, &info);
    return info.nPos;
  }
  void ExpectNote(std::size_t index, const CHTMLListWindow& list, UINT code, int item,
                  const void* data) const {
    ASSERT_LT(index, notes.size());
    const NOTIFICATION& note = notes[index];
    EXPECT_EQ(note.wParam, static_cast<WPARAM>(kHtmlListControlId));
    EXPECT_EQ(note.record.hdr.hwndFrom, list.Window());
    EXPECT_EQ(note.record.hdr.idFrom, static_cast<UINT_PTR>(kHtmlListControlId));
    EXPECT_EQ(note.record.hdr.code, code);
    EXPECT_EQ(note.record.item, item);
    EXPECT_EQ(note.text, L"");
    EXPECT_EQ(note.record.data, data);
  }

  std::vector<NOTIFICATION> notes;
  std::vector<std::unique_ptr<CCountedProblem>> problems;
  static inline HWND host = nullptr;
  CHTMLListCtrl results;
  CMyHTMLListCtrl scan;
  CScanCategory comCategory{std::wstring(CategoryDisplayName(REGPROBLEM_COM)), REGPROBLEM_COM};
  CScanCategory uninstallCategory{std::wstring(CategoryDisplayName(REGPROBLEM_UNINSTALL)),
                                  REGPROBLEM_UNINSTALL};
  CScanCategory fontCategory{std::wstring(CategoryDisplayName(REGPROBLEM_FONT)), REGPROBLEM_FONT};
  CScanCategory scanCom{std::wstring(CategoryDisplayName(REGPROBLEM_COM)), REGPROBLEM_COM};
  CScanCategory scanUninstall{std::wstring(CategoryDisplayName(REGPROBLEM_UNINSTALL)),
                              REGPROBLEM_UNINSTALL};
  CScanCategory scanFonts{std::wstring(CategoryDisplayName(REGPROBLEM_FONT)), REGPROBLEM_FONT};
  CCountedProblem* com1 = nullptr;
  CCountedProblem* com2 = nullptr;
  CCountedProblem* uninstall = nullptr;
  CCountedProblem* font1 = nullptr;
  CCountedProblem* font2 = nullptr;
  CCountedProblem* scanProblem = nullptr;
};

// The colours of a pixel test: pure enough to be the colour, whatever the font smoothing.
bool Blue(int r, int g, int b) { return b >= 200 && r <= 110 && g <= 110; }
bool Red(int r, int g, int b) { return r >= 200 && g <= 110 && b <= 110; }
bool Dark(int r, int g, int b) { return r <= 90 && g <= 90 && b <= 90; }
bool Orange(int r, int g, int b) { return r >= 230 && g >= 170 && g <= 215 && b <= 140; }

TEST_F(HtmlListGuiTest, BothListsAreBorderedScrollingChildWindowsOfTheirClasses) {
  struct EXPECTED {
    const CHTMLListWindow* list;
    const wchar_t* className;
    int images;
  };
  for (const EXPECTED& expected :
       {EXPECTED{&results, L"HTMLListCtrl", 5}, EXPECTED{&scan, L"MyHTMLListCtrl", 4}}) {
    const HWND window = expected.list->Window();
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    EXPECT_STREQ(name, expected.className);
    EXPECT_EQ(GetParent(window), host);
    EXPECT_EQ(GetDlgCtrlID(window), kHtmlListControlId);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const DWORD wanted = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_NE(GetClassLongPtrW(window, GCL_STYLE) & CS_DBLCLKS, 0u);
    EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
    EXPECT_EQ(ImageList_GetImageCount(expected.list->Images()), expected.images);
    int cx = 0;
    int cy = 0;
    ImageList_GetIconSize(expected.list->Images(), &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
    // The scroll bar's range is the rows' total height, its page the client height.
    RECT client{};
    GetClientRect(window, &client);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(window, SB_VERT, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, std::max(0, expected.list->Model().TotalHeight() - 1));
    // (The system shrinks a page larger than the range to the range.)
    EXPECT_EQ(static_cast<int>(info.nPage), std::min<int>(client.bottom, info.nMax + 1));
  }
  EXPECT_EQ(results.Create(host, kResultsRect), kErrorAlreadyExists);

  // An empty list starts with the range 0; its rows are measured in the row font.
  CHTMLListCtrl empty;
  ASSERT_EQ(empty.Create(host, RECT{0, 0, 200, 100}), kErrorSuccess);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  GetScrollInfo(empty.Window(), SB_VERT, &info);
  EXPECT_EQ(info.nMax, 0);
  EXPECT_EQ(info.nPos, 0);
  EXPECT_GT(results.Model().Item(0)->height, 20);  // a category row: one line plus 20
  EXPECT_GT(results.Model().Item(1)->height,
            2 * results.Model().Item(0)->height - 40 + 9);  // three lines plus 9
}

TEST_F(HtmlListGuiTest, ResultsListClicksChangeCheckStatesAndNotifyTheParent) {
  // A problem's box: the problem, its row and its category's row and count change.
  Click(results, Box(results, 1));
  EXPECT_FALSE(com1->selected);
  EXPECT_EQ(results.Model().Item(1)->checkState, 0);
  EXPECT_EQ(results.Model().Item(0)->checkState, 2);
  EXPECT_EQ(comCategory.selectedCount, 1);
  EXPECT_EQ(results.Model().SelectedItem(), 1);
  EXPECT_EQ(GetFocus(), results.Window());
  EXPECT_TRUE(results.HasFocus());
  ASSERT_EQ(notes.size(), 1u);
  ExpectNote(0, results, kHtmlListNotifyChecked, 1, com1);

  // A partly checked category's box selects all, then a second click none.
  Click(results, Box(results, 0));
  EXPECT_TRUE(com1->selected && com2->selected);
  EXPECT_EQ(comCategory.selectedCount, 2);
  EXPECT_EQ(results.Model().Item(0)->checkState, 1);
  Click(results, Box(results, 0));
  EXPECT_FALSE(com1->selected || com2->selected);
  EXPECT_EQ(results.Model().Item(0)->checkState, 0);
  EXPECT_EQ(results.Model().Item(2)->checkState, 0);
  ASSERT_EQ(notes.size(), 3u);
  ExpectNote(2, results, kHtmlListNotifyChecked, 0, &comCategory);

  // The body of a row selects it and changes nothing; the marker folds the category.
  notes.clear();
  Click(results, At(results, 4, 300));
  EXPECT_EQ(results.Model().SelectedItem(), 4);
  const int total = results.Model().TotalHeight();
  const int hidden = results.Model().Item(6)->height + results.Model().Item(7)->height;
  Click(results, At(results, 5, 10));
  EXPECT_FALSE(results.Model().IsShown(6));
  EXPECT_EQ(results.Model().TotalHeight(), total - hidden);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE;
  GetScrollInfo(results.Window(), SB_VERT, &info);
  EXPECT_EQ(info.nMax, total - hidden - 1);
  EXPECT_TRUE(notes.empty());

  // Right button and double click name the row under the pointer, or none.
  SendMessageW(results.Window(), WM_RBUTTONDOWN, MK_RBUTTON, At(results, 3, 200));
  SendMessageW(results.Window(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(results, 1, 200));
  const MARKUP_RECT last = results.Model().Item(5)->rect;
  SendMessageW(results.Window(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, last.bottom + 10));
  ASSERT_EQ(notes.size(), 3u);
  ExpectNote(0, results, kHtmlListNotifyRightButton, 3, &uninstallCategory);
  ExpectNote(1, results, kHtmlListNotifyDoubleClick, 1, com1);
  ExpectNote(2, results, kHtmlListNotifyRightButton, -1, nullptr);
}

TEST_F(HtmlListGuiTest, IgnoreLinkHandsTheProblemBackAndNeverDeletesIt) {
  // The second Fonts problem (unselected): its row goes, the category stays with one problem.
  Click(results, Link(results, 7));
  ASSERT_EQ(notes.size(), 2u);
  ExpectNote(0, results, kHtmlListNotifyIgnore, 7, font2);
  ExpectNote(1, results, kHtmlListNotifyChecked, -1, nullptr);
  EXPECT_EQ(results.Model().ItemCount(), 7);
  EXPECT_EQ(fontCategory.rowCount, 1);
  EXPECT_EQ(fontCategory.selectedCount, 1);
  EXPECT_EQ(results.Model().Item(5)->checkState, 1);

  // The only Uninstalled Files problem: its category row goes too, the rest is renumbered.
  Click(results, Link(results, 4));
  ASSERT_EQ(notes.size(), 4u);
  ExpectNote(2, results, kHtmlListNotifyIgnore, 4, uninstall);
  EXPECT_EQ(results.Model().ItemCount(), 5);
  EXPECT_EQ(results.Model().Item(3)->data, &fontCategory);
  EXPECT_EQ(results.Model().Item(4)->data, font1);

  // Both problems are still alive and whole: the owner removes them, not the control.
  EXPECT_EQ(g_problemsDestroyed, 0);
  EXPECT_EQ(font2->name, L"Lost Serif & Co (TrueType)");
  EXPECT_EQ(uninstall->data, L"C:\\OldApp\\remove.exe");

  // The scan list: its boxes change the records but never send 1; it has no link area.
  notes.clear();
  Click(scan, Box(scan, 1));
  EXPECT_FALSE(scanProblem->selected);
  Click(scan, Box(scan, 0));
  EXPECT_TRUE(scanProblem->selected);
  Key(scan, VK_SPACE);
  EXPECT_FALSE(scanProblem->selected);
  EXPECT_TRUE(notes.empty());
  Click(scan, Link(scan, 1));
  EXPECT_TRUE(notes.empty());
  EXPECT_EQ(scan.Model().ItemCount(), 4);  // the row is still there
  EXPECT_EQ(g_problemsDestroyed, 0);
  problems.clear();
  EXPECT_EQ(g_problemsDestroyed, 6);
}

TEST_F(HtmlListGuiTest, KeysScrollBarAndWheelMoveAsTheModelSays) {
  // Eight shortcut problems below the rest make the rows far taller than the list.
  std::vector<CCountedProblem*> shortcuts;
  for (int i = 0; i < 8; ++i) {
    shortcuts.push_back(
        Problem(L"C:\\Users\\Public\\Desktop\\Old tool " + std::to_wstring(i) + L".lnk", L"",
                L"C:\\Tools\\old.exe", REGPROBLEM_SHORTCUT));
  }
  CScanCategory shortcutCategory{std::wstring(CategoryDisplayName(REGPROBLEM_SHORTCUT)),
                                 REGPROBLEM_SHORTCUT};
  AddCategory(results, shortcutCategory, shortcuts);
  const CHTMLListModel& model = results.Model();
  const int last = model.ItemCount() - 1;
  const int max = model.MaxScrollPos();
  ASSERT_GT(max, 300) << "the rows must be taller than the list plus a line and a page";

  // Down with nothing selected: the last row, scrolled to the bottom edge; up: the one before.
  Key(results, VK_DOWN);
  EXPECT_EQ(model.SelectedItem(), last);
  EXPECT_EQ(model.ScrollPos(), max);
  EXPECT_EQ(ScrollBarPos(results), max);
  RECT client{};
  GetClientRect(results.Window(), &client);
  EXPECT_EQ(model.Item(last)->rect.bottom, client.bottom);
  Key(results, VK_UP);
  EXPECT_EQ(model.SelectedItem(), last - 1);
  // Space on the selected Fonts row checks all of its problems; on a problem row that one.
  SendMessageW(results.Window(), WM_VSCROLL, SB_TOP, 0);
  Click(results, At(results, 5, 300));
  Key(results, VK_SPACE);
  EXPECT_TRUE(font2->selected);
  EXPECT_EQ(model.Item(5)->checkState, 1);
  ASSERT_EQ(notes.size(), 1u);
  ExpectNote(0, results, kHtmlListNotifyChecked, 5, &fontCategory);
  Click(results, At(results, 6, 300));
  Key(results, VK_SPACE);
  EXPECT_EQ(model.Item(6)->checkState, 0);
  EXPECT_EQ(model.Item(5)->checkState, 2);
  EXPECT_EQ(notes.size(), 2u);
  Key(results, VK_SPACE);
  EXPECT_EQ(model.Item(5)->checkState, 1);
  // Down to the last row and up to the first again: each is scrolled into view.
  for (int i = 0; i < last; ++i) Key(results, VK_DOWN);
  EXPECT_EQ(model.ScrollPos(), max);
  for (int i = 0; i < last; ++i) Key(results, VK_UP);
  EXPECT_EQ(model.SelectedItem(), 0);
  EXPECT_EQ(model.ScrollPos(), 0);
  EXPECT_EQ(ScrollBarPos(results), 0);

  struct STEP {
    UINT message;
    WPARAM wParam;
    int expected;
  };
  const STEP steps[] = {
      {WM_VSCROLL, SB_LINEDOWN, 50},
      {WM_VSCROLL, SB_PAGEDOWN, 300},
      {WM_VSCROLL, SB_LINEUP, 250},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 290},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 250},
      {WM_VSCROLL, SB_PAGEUP, 0},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0},
      {WM_VSCROLL, SB_BOTTOM, max},
      {WM_VSCROLL, SB_LINEDOWN, max},
      {WM_VSCROLL, SB_TOP, 0},
  };
  for (const STEP& step : steps) {
    SendMessageW(results.Window(), step.message, step.wParam, 0);
    EXPECT_EQ(model.ScrollPos(), step.expected) << step.message << "/" << step.wParam;
    EXPECT_EQ(ScrollBarPos(results), step.expected) << step.message << "/" << step.wParam;
    EXPECT_EQ(model.Item(0)->rect.top, -step.expected);
  }
  // The thumb: the scroll bar's own position (the track position outside a drag) is taken.
  SetScrollPos(results.Window(), SB_VERT, 277, FALSE);
  SendMessageW(results.Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 277), 0);
  EXPECT_EQ(model.ScrollPos(), 277);
  EXPECT_EQ(model.Item(0)->rect.top, -277);
  (void)Capture(host, L"both_lists_long_scrolled");
}

// ---- What a screen reader reads: the list's accessible object and its WinEvents ----

struct WIN_EVENT {
  DWORD event;
  HWND window;
  LONG child;
  friend bool operator==(const WIN_EVENT&, const WIN_EVENT&) = default;
};
std::vector<WIN_EVENT> g_events;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                          DWORD) {
  if (object == OBJID_CLIENT) g_events.push_back({event, window, child});
}

VARIANT Child(LONG id) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = id;
  return child;
}

// A text property of a child: the text, "<none>" for S_FALSE, "<error>" for a failure.
std::wstring Read(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*),
                  LONG child) {
  BSTR text = nullptr;
  const HRESULT result = (object->*get)(Child(child), &text);
  std::wstring value = result == S_OK ? std::wstring(text, SysStringLen(text))
                                      : (result == S_FALSE ? L"<none>" : L"<error>");
  SysFreeString(text);
  return value;
}

LONG Number(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*),
            LONG child) {
  VARIANT value;
  VariantInit(&value);
  return SUCCEEDED((object->*get)(Child(child), &value)) && value.vt == VT_I4 ? value.lVal : -1;
}

// The object and child id a getter without arguments (focus, selection) answers; -1 for none.
LONG ChildFrom(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT*)) {
  VARIANT value;
  VariantInit(&value);
  return (object->*get)(&value) == S_OK && value.vt == VT_I4 ? value.lVal : -1;
}

TEST_F(HtmlListGuiTest, ScreenReadersReadTheRowsAndHearWhatChanges) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_STATECHANGE,
                                             nullptr, RecordEvent, GetCurrentProcessId(), 0,
                                             WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  const HWND window = results.Window();
  SetWindowTextW(window, L"Registry Sections");
  IAccessible* list = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&list)),
            S_OK);
  EXPECT_EQ(Number(list, &IAccessible::get_accRole, CHILDID_SELF), ROLE_SYSTEM_LIST);
  EXPECT_EQ(Read(list, &IAccessible::get_accName, CHILDID_SELF), L"Registry Sections");
  LONG count = 0;
  ASSERT_EQ(list->get_accChildCount(&count), S_OK);
  ASSERT_EQ(count, 8);
  VARIANT children[8];
  LONG got = 0;
  ASSERT_EQ(AccessibleChildren(list, 0, count, children, &got), S_OK);
  ASSERT_EQ(got, 8);
  for (LONG i = 0; i < got; ++i) EXPECT_EQ(children[i].vt == VT_I4 ? children[i].lVal : 0, i + 1);

  // Rows: the three categories, their problems as plain text (the second Fonts one unselected).
  constexpr LONG kRow = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
  constexpr LONG kOpen = kRow | STATE_SYSTEM_EXPANDED;
  const std::wstring com(CategoryDisplayName(REGPROBLEM_COM));
  const struct {
    LONG role;
    LONG state;
    std::wstring name;
    const wchar_t* description;
    const wchar_t* action;
  } rows[] = {
      {ROLE_SYSTEM_GROUPING, kOpen | STATE_SYSTEM_CHECKED, com, L"2/2 Error(s) Selected",
       L"UnCheck"},
      {ROLE_SYSTEM_LISTITEM, kRow | STATE_SYSTEM_CHECKED,
       L"The file referenced doesn't exist. Key: HKEY_CLASSES_ROOT/CLSID/"
       L"{0A1B2C3D-0000-4000-8000-00000000C0DE}/InprocServer32 <font color=#0000ff>(Default)="
       L"C:/Program "
       L"Files/Gone/gone.dll",
       L"<none>", L"Ignore"},
      {ROLE_SYSTEM_LISTITEM, kRow | STATE_SYSTEM_CHECKED, MarkupPlainText(RowText(*com2)),
       L"<none>", L"Ignore"},
      {ROLE_SYSTEM_GROUPING, kOpen | STATE_SYSTEM_CHECKED, uninstallCategory.name,
       L"1/1 Error(s) Selected", L"UnCheck"},
      {ROLE_SYSTEM_LISTITEM, kRow | STATE_SYSTEM_CHECKED, MarkupPlainText(RowText(*uninstall)),
       L"<none>", L"Ignore"},
      {ROLE_SYSTEM_GROUPING, kOpen | STATE_SYSTEM_MIXED, L"Fonts", L"1/2 Error(s) Selected",
       L"Check"},
      {ROLE_SYSTEM_LISTITEM, kRow | STATE_SYSTEM_CHECKED, MarkupPlainText(RowText(*font1)),
       L"<none>", L"Ignore"},
      {ROLE_SYSTEM_LISTITEM, kRow,
       L"The file referenced doesn't exist. Key: HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft/Windows "
       L"NT/CurrentVersion/Fonts Lost Serif & Co (TrueType)=lostserif.ttf",
       L"<none>", L"Ignore"},
  };
  for (LONG child = 1; child <= 8; ++child) {
    const auto& row = rows[child - 1];
    EXPECT_EQ(Number(list, &IAccessible::get_accRole, child), row.role) << child;
    // (Rows below the bottom edge are offscreen: how many depends on the font.)
    EXPECT_EQ(Number(list, &IAccessible::get_accState, child) & ~STATE_SYSTEM_OFFSCREEN, row.state)
        << child;
    EXPECT_EQ(Read(list, &IAccessible::get_accName, child), row.name) << child;
    EXPECT_EQ(Read(list, &IAccessible::get_accDescription, child), row.description) << child;
    EXPECT_EQ(Read(list, &IAccessible::get_accDefaultAction, child), row.action) << child;
  }
  EXPECT_EQ(Read(list, &IAccessible::get_accName, 9), L"<error>");

  // Where the rows are, and which is where.
  LONG left = 0, top = 0, width = 0, height = 0;
  ASSERT_EQ(list->accLocation(&left, &top, &width, &height, Child(5)), S_OK);
  const MARKUP_RECT& fifth = results.Model().Item(4)->rect;
  POINT corner{fifth.left, fifth.top};
  ClientToScreen(window, &corner);
  EXPECT_EQ((MARKUP_RECT{left, top, left + width, top + height}),
            (MARKUP_RECT{corner.x, corner.y, corner.x + fifth.right - fifth.left,
                         corner.y + fifth.bottom - fifth.top}));
  VARIANT hit;
  ASSERT_EQ(list->accHitTest(left + 60, top + height / 2, &hit), S_OK);
  EXPECT_EQ(hit.vt == VT_I4 ? hit.lVal : -1, 5);
  VARIANT next;
  ASSERT_EQ(list->accNavigate(NAVDIR_NEXT, Child(5), &next), S_OK);
  EXPECT_EQ(next.lVal, 6);
  EXPECT_EQ(list->accNavigate(NAVDIR_NEXT, Child(8), &next), S_FALSE);
  ASSERT_EQ(list->accNavigate(NAVDIR_LASTCHILD, Child(CHILDID_SELF), &next), S_OK);
  EXPECT_EQ(next.lVal, 8);

  // The focus and an arrow key: the first row is focused and selected, and readers are told.
  auto events = [&] {
    Pump();
    std::vector<WIN_EVENT> seen;
    for (const WIN_EVENT& e : g_events) {
      if (e.window == window) seen.push_back(e);
    }
    g_events.clear();
    return seen;
  };
  SetFocus(window);
  (void)events();
  EXPECT_EQ(ChildFrom(list, &IAccessible::get_accFocus), CHILDID_SELF);
  Key(results, VK_UP);
  EXPECT_EQ(events(), (std::vector<WIN_EVENT>{{EVENT_OBJECT_FOCUS, window, 1},
                                              {EVENT_OBJECT_SELECTION, window, 1}}));
  EXPECT_EQ(ChildFrom(list, &IAccessible::get_accFocus), 1);
  EXPECT_EQ(Number(list, &IAccessible::get_accState, 1) & ~STATE_SYSTEM_OFFSCREEN,
            kOpen | STATE_SYSTEM_CHECKED | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED);
  // Space unticks the category: its row and both problems change, as the problems' flags do.
  Key(results, VK_SPACE);
  EXPECT_EQ(events(), (std::vector<WIN_EVENT>{{EVENT_OBJECT_STATECHANGE, window, 1},
                                              {EVENT_OBJECT_STATECHANGE, window, 2},
                                              {EVENT_OBJECT_STATECHANGE, window, 3}}));
  EXPECT_FALSE(com1->selected || com2->selected);
  EXPECT_EQ(Number(list, &IAccessible::get_accState, 2) & STATE_SYSTEM_CHECKED, 0);
  EXPECT_EQ(Read(list, &IAccessible::get_accDescription, 1), L"0/2 Error(s) Selected");
  // The default actions: the category's box ticks them again; "Ignore" hands the problem over.
  notes.clear();
  EXPECT_EQ(list->accDoDefaultAction(Child(1)), S_OK);
  EXPECT_TRUE(com1->selected && com2->selected);
  ASSERT_EQ(notes.size(), 1u);
  ExpectNote(0, results, kHtmlListNotifyChecked, 0, &comCategory);
  EXPECT_EQ(list->accDoDefaultAction(Child(8)), S_OK);
  ASSERT_EQ(notes.size(), 3u);
  ExpectNote(1, results, kHtmlListNotifyIgnore, 7, font2);
  list->get_accChildCount(&count);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(g_problemsDestroyed, 0);
  const std::vector<WIN_EVENT> acted = events();
  EXPECT_EQ(acted.back(), (WIN_EVENT{EVENT_OBJECT_REORDER, window, CHILDID_SELF}));
  // Selecting a row; folding a category hides its problems from readers as from the eye.
  EXPECT_EQ(list->accSelect(SELFLAG_TAKESELECTION, Child(5)), S_OK);
  EXPECT_EQ(ChildFrom(list, &IAccessible::get_accSelection), 5);
  Click(results, At(results, 0, 10));
  EXPECT_EQ(Number(list, &IAccessible::get_accState, 1) & STATE_SYSTEM_COLLAPSED,
            STATE_SYSTEM_COLLAPSED);
  EXPECT_EQ(Number(list, &IAccessible::get_accState, 2) & STATE_SYSTEM_INVISIBLE,
            STATE_SYSTEM_INVISIBLE);
  ASSERT_EQ(list->accLocation(&left, &top, &width, &height, Child(2)), S_OK);
  EXPECT_EQ(width * height, 0);
  EXPECT_EQ(list->accSelect(SELFLAG_ADDSELECTION, Child(4)), E_INVALIDARG);

  // The scan list: rows without check states or actions; its categories' totals and risks.
  IAccessible* live = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(scan.Window(), OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&live)),
            S_OK);
  EXPECT_EQ(Number(live, &IAccessible::get_accState, 2) & STATE_SYSTEM_CHECKED, 0);
  EXPECT_EQ(Read(live, &IAccessible::get_accDefaultAction, 2), L"<none>");
  EXPECT_EQ(live->accDoDefaultAction(Child(2)), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Read(live, &IAccessible::get_accDescription, 1), L"1, HIGH");
  EXPECT_EQ(Read(live, &IAccessible::get_accDescription, 4), L"12, LOW");
  live->Release();

  // A reader holding the object past the list's window gets errors, never a crash.
  DestroyWindow(window);
  EXPECT_EQ(list->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
  EXPECT_EQ(Read(list, &IAccessible::get_accName, 1), L"<error>");
  EXPECT_EQ(list->accDoDefaultAction(Child(1)), CO_E_OBJNOTCONNECTED);
  list->Release();
  UnhookWinEvent(hook);
  CoUninitialize();
}

TEST_F(HtmlListGuiTest, TheHandShowsOverTheLinkAreaOnly) {
  const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  SendMessageW(results.Window(), WM_MOUSEMOVE, 0, Link(results, 1));
  EXPECT_EQ(GetCursor(), hand);
  SendMessageW(results.Window(), WM_MOUSEMOVE, 0, At(results, 1, 200));
  EXPECT_EQ(GetCursor(), arrow);
  SendMessageW(results.Window(), WM_MOUSEMOVE, 0, Link(results, 0));  // a category row
  EXPECT_EQ(GetCursor(), arrow);
  // The scan list draws no link and offers none.
  SendMessageW(scan.Window(), WM_MOUSEMOVE, 0, Link(scan, 1));
  EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(HtmlListGuiTest, ANarrowerListMeasuresItsRowsAgainAndShortensCategoryNames) {
  // Narrower: the problem rows wrap onto more lines, the range and the scroll bar follow.
  const int problemHeight = results.Model().Item(1)->height;
  const int categoryHeight = results.Model().Item(0)->height;
  MoveWindow(results.Window(), 10, 10, 300, 320, TRUE);
  EXPECT_GT(results.Model().Item(1)->height, problemHeight);
  EXPECT_EQ(results.Model().Item(0)->height, categoryHeight);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE;
  GetScrollInfo(results.Window(), SB_VERT, &info);
  EXPECT_EQ(info.nMax, results.Model().TotalHeight() - 1);

  // A category name too wide for the scan list's name column is shortened when painted, and the
  // shortened name, no longer a category's, shows LOW.
  CMyHTMLListCtrl narrow;
  ASSERT_EQ(narrow.Create(host, RECT{320, 10, 650, 110}), kErrorSuccess);
  CScanCategory associations{std::wstring(CategoryDisplayName(REGPROBLEM_FILE_ASSOCIATION)),
                             REGPROBLEM_FILE_ASSOCIATION};
  associations.rowCount = 4;
  narrow.AddItem(associations.name, kHtmlListCategoryRow, &associations);
  const SCREENSHOT shot = Capture(narrow.Window(), L"scan_list_narrow");
  const std::wstring& shown = narrow.Model().Item(0)->text;
  EXPECT_NE(shown, associations.name);
  EXPECT_NE(shown.find(L"..."), std::wstring::npos) << ToUtf8(shown);
  const MARKUP_RECT& r = narrow.Model().Item(0)->rect;
  const MARKUP_RECT risk{r.right - 70, r.top, r.right, r.bottom};
  EXPECT_EQ(shot.Count(risk, Orange), 0);
  EXPECT_GT(shot.Count(risk, Dark), 10);
}

TEST_F(HtmlListGuiTest, RowsPaintTheirColoursPicturesAndMarkup) {
  Click(results, At(results, 3, 300));  // select the Uninstalled Files row
  const SCREENSHOT shot = Capture(results.Window(), L"results_list");
  const CHTMLListModel& model = results.Model();
  auto imageTop = [&](int id) {
    return (model.Item(id)->rect.top + model.Item(id)->rect.bottom) / 2 - 8;
  };

  // Backgrounds: the selection colour, white elsewhere (between the box and the text).
  EXPECT_EQ(shot.At(42, model.Item(3)->rect.top + 2), RGB(97, 174, 252));
  EXPECT_EQ(shot.At(42, model.Item(0)->rect.top + 2), RGB(255, 255, 255));
  // Check boxes at x 22: the frame, and inside it the tick (COM, checked), nothing (the second
  // Fonts problem, unchecked) or the square (Fonts, partly checked).
  EXPECT_EQ(shot.At(22 + 1, imageTop(0) + 8), RGB(80, 80, 80));
  EXPECT_EQ(shot.At(22 + 5, imageTop(0) + 9), RGB(24, 24, 24));
  EXPECT_EQ(shot.At(22 + 5, imageTop(7) + 9), RGB(255, 255, 255));
  EXPECT_EQ(shot.At(22 + 7, imageTop(5) + 8), RGB(110, 110, 110));
  // The unfolded marker at x 3: a minus, no upright.
  EXPECT_EQ(shot.At(3 + 8, imageTop(0) + 8), RGB(24, 24, 24));
  EXPECT_EQ(shot.At(3 + 8, imageTop(0) + 6), RGB(255, 255, 255));
  // Around the box the row's background shows through the mask.
  EXPECT_EQ(shot.At(22 + 14, imageTop(3) + 1), RGB(97, 174, 252));

  // The red verdict and dark key text of a problem row, the blue link, the dark count.
  const MARKUP_RECT& problem = model.Item(1)->rect;
  const MARKUP_RECT verdict{50, problem.top, 300, problem.top + 18};
  EXPECT_GT(shot.Count(verdict, Red), 20);
  EXPECT_GT(shot.Count(MARKUP_RECT{50, problem.top + 18, 400, problem.bottom}, Dark), 40);
  const MARKUP_RECT link{problem.right - 40, problem.bottom - 15, problem.right, problem.bottom};
  EXPECT_GT(shot.Count(link, Blue), 10);
  EXPECT_EQ(shot.Count(MARKUP_RECT{50, problem.top, problem.right - 40, problem.bottom}, Blue), 0);
  const MARKUP_RECT& category = model.Item(0)->rect;
  EXPECT_GT(
      shot.Count(MARKUP_RECT{category.right - 150, category.top, category.right, category.bottom},
                 Dark),
      20);

  // The scan list: the count, and the risk in its colour (COM HIGH, uninstall MEDIUM, Fonts LOW).
  const SCREENSHOT scanShot = Capture(scan.Window(), L"scan_list");
  const CHTMLListModel& scanModel = scan.Model();
  auto risk = [&](int id) {
    const MARKUP_RECT& r = scanModel.Item(id)->rect;
    return MARKUP_RECT{r.right - 70, r.top, r.right, r.bottom};
  };
  EXPECT_GT(scanShot.Count(risk(0), Red), 10);
  EXPECT_GT(scanShot.Count(risk(2), Orange), 10);
  EXPECT_GT(scanShot.Count(risk(3), Dark), 10);
  EXPECT_EQ(scanShot.Count(risk(3), Red), 0);
  EXPECT_EQ(scanShot.Count(risk(1), Red) + scanShot.Count(risk(1), Blue), 0);  // problem: no link
  const MARKUP_RECT& r0 = scanModel.Item(0)->rect;
  EXPECT_GT(scanShot.Count(MARKUP_RECT{r0.right - 180, r0.top, r0.right - 70, r0.bottom}, Dark), 3);

  // For people: the whole window; COM folded, the sunken row edges and the focus rectangle;
  // the second Fonts problem ignored.
  (void)Capture(host, L"both_lists");
  Click(results, At(results, 0, 10));
  results.SetStyle(kHtmlListReserveRight | kHtmlListSunkenEdge);
  results.SetFocusRectangle(true);
  (void)Capture(host, L"both_lists_folded_edges_focus");
  results.SetStyle(kHtmlListReserveRight);
  results.SetFocusRectangle(false);
  Click(results, Link(results, 7));
  EXPECT_EQ(results.Model().ItemCount(), 7);
  (void)Capture(host, L"results_list_after_ignore");
}

}  // namespace
}  // namespace qv
