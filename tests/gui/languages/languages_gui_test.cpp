// The windows in the user's language and colours, on the demo registry, at 144 DPI (the
// prefix's LogPixels) and, after a DPI change, at 96:
//   - German: the program runs with LANG=de_DE.UTF-8, which Wine makes the display language;
//   - the pseudo-language: the library is told the display language is qps-ploc;
//   - Windows' dark app mode (AppsUseLightTheme 0): every text at 4.5:1 or more against its
//     background, measured from the pixels;
//   - a contrast theme: the library is told one is on (Wine 8 always says off), and the system
//     colours are a contrast scheme's; every pixel of every page is a system colour.
// Every page, the scan's, the repair's and the backup's windows and the schedule editor are
// photographed (QV_SCREENSHOT_DIR, "lang-*", "contrast-*", "dark-*") and checked whole: no
// control outside its parent, no text or column caption cut. The console's report in German
// closes the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/pseudo_language.h"
#include "base/utf16.h"
#include "controls/control_texts.h"
#include "controls/list_colours.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/gui_driver.h"
#include "tests/support/win32/gui_layout.h"
#include "tests/support/win32/import_patch.h"
#include "ui/ui_texts.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/resource.h"
#include "ui/win32/schedule_editor.h"

#ifndef QV_DLL_PATH
#error QV_DLL_PATH must name the QuarveloDll.dll to test
#endif
#ifndef QV_DEMO_REG
#error QV_DEMO_REG must name the demo registry file
#endif

namespace qv {
namespace {

using namespace test::gui;  // NOLINT: the driver's vocabulary

constexpr int kDpi = 144;
constexpr LANGID kPseudoLocale = 0x0501;  // qps-ploc

// ---- What the library is told instead of Wine's answers ----

using SpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
SpiFunction g_systemParametersInfo = nullptr;
bool g_contrastOn = false;

LANGID WINAPI PseudoLocale() { return kPseudoLocale; }

BOOL WINAPI SystemParameters(UINT action, UINT param, PVOID data, UINT flags) {
  if (action == SPI_GETHIGHCONTRAST && g_contrastOn && data != nullptr) {
    auto* contrast = static_cast<HIGHCONTRASTW*>(data);
    contrast->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
    contrast->lpszDefaultScheme = nullptr;
    return TRUE;
  }
  return g_systemParametersInfo(action, param, data, flags);
}

// ---- The window, run on a thread of its own ----

// The demo registry as it was before any repair (a test's repair removes what the next scans).
void SeedDemoRegistry() {
  std::wstring reg = L"Z:" + FromUtf8(QV_DEMO_REG);
  std::replace(reg.begin(), reg.end(), L'/', L'\\');
  const test::CHILD_RESULT seeded = test::RunProgram(L"regedit.exe /s \"" + reg + L"\"");
  ASSERT_EQ(seeded.exitCode, 0u);
}

class CWindowRun {
 public:
  // Loads the library; `prepare` patches it before the window opens.
  explicit CWindowRun(const std::function<void(HMODULE)>& prepare = {}) {
    m_library = LoadLibraryAt(QV_DLL_PATH);
    if (m_library.showMainDialog == nullptr) return;
    if (prepare) prepare(m_library.module);
    m_thread = std::thread([this] { m_result = m_library.showMainDialog(); });
    WaitFor([&] { return (m_main = FindDialog(ui::kMainCaption)) != nullptr; }, 30);
    WaitFor([&] { return Find(m_main, IDC_SCAN_NOW) != nullptr; }, 10);
  }
  ~CWindowRun() {
    if (m_main != nullptr) PostMessageW(m_main, WM_CLOSE, 0, 0);
    if (m_thread.joinable()) m_thread.join();
    if (m_library.module != nullptr) FreeLibrary(m_library.module);
  }
  CWindowRun(const CWindowRun&) = delete;
  CWindowRun& operator=(const CWindowRun&) = delete;
  [[nodiscard]] HWND Main() const { return m_main; }

 private:
  LIBRARY m_library;
  std::thread m_thread;
  HWND m_main = nullptr;
  int m_result = -1;
};

// Answers the product's message boxes with OK until `done` holds.
bool AnswerBoxesUntil(HWND main, const std::function<bool()>& done, int seconds) {
  return WaitFor(
      [&] {
        if (HWND box = FindDialog(ui::kMainCaption, main)) {
          if (GetDlgItem(box, 0xFFFF) != nullptr) PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        return done();
      },
      seconds);
}

using CHECK = std::function<void(HWND window, const std::wstring& name)>;

// The windows over the main one: the repair's progress (the repair of the last scan's problems
// runs, from the options page's link), the statistics after it, the registry backup's dialog and
// our schedule editor.
void RepairBackupAndSchedule(HWND main, const std::wstring& repairCaption,
                             const std::wstring& backupCaption,
                             const std::wstring& editorCaption, const CHECK& check) {
  Click(main, IDC_NAV_FIRST);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_REPAIR_LINK) != nullptr; }, 5));
  Click(main, IDC_REPAIR_LINK);
  HWND progress = nullptr;
  AnswerBoxesUntil(
      main, [&] { return (progress = FindDialog(repairCaption.c_str())) != nullptr; }, 30);
  if (progress != nullptr) check(progress, L"repair-progress");
  EXPECT_TRUE(AnswerBoxesUntil(
      main,
      [&] {
        return FindDialog(repairCaption.c_str()) == nullptr &&
               Find(main, IDC_STATS_DATE) != nullptr;
      },
      120));
  check(main, L"statistics-after-repair");

  Click(main, IDC_NAV_FIRST + 2);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_TAB_BACKUPS) != nullptr; }, 5));
  Click(main, IDC_TAB_BACKUPS);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_BACKUP_CREATE) != nullptr; }, 5));
  Click(main, IDC_BACKUP_CREATE);
  HWND backup = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (backup = FindDialog(backupCaption.c_str())) != nullptr; }, 30));
  check(backup, L"registry-backup");
  AnswerBoxesUntil(main, [&] { return FindDialog(backupCaption.c_str()) == nullptr; }, 300);

  Click(main, IDC_NAV_FIRST + 1);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_CONTAINER_TAB_FIRST + 2) != nullptr; }, 5));
  Click(main, IDC_CONTAINER_TAB_FIRST + 2);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_MANAGE_SCHEDULE) != nullptr; }, 5));
  Click(main, IDC_MANAGE_SCHEDULE);
  HWND editor = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (editor = FindDialog(editorCaption.c_str())) != nullptr; }, 30));
  SendMessageW(GetDlgItem(editor, ui::kScheduleEditorNew), BM_CLICK, 0, 0);
  // Each kind of schedule shows its own fields.
  HWND kind = GetDlgItem(editor, ui::kScheduleEditorType);
  for (int type = 0; type < static_cast<int>(std::size(ui::kScheduleEditorTypes)); ++type) {
    SendMessageW(kind, CB_SETCURSEL, static_cast<WPARAM>(type), 0);
    SendMessageW(editor, WM_COMMAND, MAKEWPARAM(ui::kScheduleEditorType, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(kind));
    check(editor, L"schedule-editor-" + std::to_wstring(type));
  }
  PostMessageW(GetDlgItem(editor, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(editor); }, 10));
}

// ---- The checks ----

// Photographed, and whole: nothing outside its parent, no text or column caption cut.
CHECK Whole(const std::wstring& prefix) {
  return [prefix](HWND window, const std::wstring& name) {
    const std::wstring shot = prefix + name;
    Shot(window, shot.c_str());
    for (const std::string& fault : CutOff(window)) ADD_FAILURE() << ToUtf8(shot) << ": " << fault;
  };
}

bool HasLetters(const std::wstring& text) {
  return std::any_of(text.begin(), text.end(), [](wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c > 0x7F;
  });
}

// Whole, and every text a person reads is the pseudo-language's: a text in plain English did not
// come from the tables. Data (a registry path, a date in a sentence) is inside the brackets.
CHECK WholeAndPseudo(const std::wstring& prefix) {
  const CHECK whole = Whole(prefix);
  return [whole, prefix](HWND window, const std::wstring& name) {
    whole(window, name);
    for (HWND control : DialogControls(window)) {
      const std::wstring cls = ClassOf(control);
      const int id = GetDlgCtrlID(control);
      std::vector<std::wstring> texts;
      if (cls == L"static" || cls == L"button") {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
        const SIZE size = ClientSize(control);
        const bool boxOnly = cls == L"button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX &&
                             size.cx < 2 * size.cy;
        const bool picture = cls == L"static" && ((style & SS_TYPEMASK) == SS_ICON ||
                                                  (style & SS_TYPEMASK) == SS_BITMAP);
        // The entry being scanned is a registry path.
        if (!boxOnly && !picture && id != IDC_SCAN_ENTRY) texts.push_back(Text(control));
      } else if (cls == L"syslistview32") {
        HWND header = ListView_GetHeader(control);
        for (int i = 0; header != nullptr && i < Header_GetItemCount(header); ++i) {
          wchar_t caption[256] = {};
          HDITEMW item{};
          item.mask = HDI_TEXT;
          item.pszText = caption;
          item.cchTextMax = 256;
          if (Header_GetItem(header, i, &item)) texts.emplace_back(caption);
        }
      }
      for (const std::wstring& text : texts) {
        if (HasLetters(text) && text.find(L'[') == std::wstring::npos) {
          ADD_FAILURE() << ToUtf8(prefix + name) << ": " << Describe(control) << " shows \""
                        << ToUtf8(text) << "\", which is not of the tables";
        }
      }
    }
  };
}

// The pixels of the window's client area, top row first (0x00RRGGBB).
std::vector<std::uint32_t> ClientPixels(HWND window, int* width, int* height) {
  RECT client{};
  GetClientRect(window, &client);
  *width = client.right;
  *height = client.bottom;
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), *width, -*height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<std::uint32_t> pixels;
  if (bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, *width, *height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    pixels.assign(first, first + static_cast<std::size_t>(*width) * *height);
    for (std::uint32_t& p : pixels) p &= 0xFFFFFFu;
    SelectObject(memory, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::uint32_t Pixel(COLORREF colour) {  // 0x00BBGGRR to 0x00RRGGBB
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// On the straight line from colour a to colour b (within a few steps a channel), as the edge of a
// smoothed letter in one colour on the other is. A colour beside that line, the skin's blue
// between black and white say, is no blend of the two.
bool OnTheWay(std::uint32_t pixel, std::uint32_t a, std::uint32_t b) {
  double along = 0;
  double length = 0;
  for (int shift : {0, 8, 16}) {
    const double step = Channel(b, shift) - Channel(a, shift);
    along += (Channel(pixel, shift) - Channel(a, shift)) * step;
    length += step * step;
  }
  if (length == 0) return false;
  const double t = along / length;
  if (t < -0.02 || t > 1.02) return false;
  for (int shift : {0, 8, 16}) {
    const double expected = Channel(a, shift) + t * (Channel(b, shift) - Channel(a, shift));
    if (std::abs(Channel(pixel, shift) - expected) > 8) return false;
  }
  return true;
}

// Every pixel is one of the system's colours, or a blend of a system colour near it (kBlendReach
// pixels round it) with another system colour: the edge of a letter, where a smoothed thin stroke
// may nowhere reach its own colour. A colour of the skin's palette, or a style's grey face, is
// no such blend.
constexpr int kBlendReach = 2;
CHECK OnlySystemColours(const std::wstring& prefix) {
  return [prefix](HWND window, const std::wstring& name) {
    const std::wstring shot = prefix + name;
    Shot(window, shot.c_str());
    std::vector<std::uint32_t> system;
    for (int index = 0; index <= COLOR_MENUBAR; ++index) system.push_back(Pixel(GetSysColor(index)));
    const auto isSystem = [&](std::uint32_t p) {
      return std::find(system.begin(), system.end(), p) != system.end();
    };
    int width = 0;
    int height = 0;
    const std::vector<std::uint32_t> pixels = ClientPixels(window, &width, &height);
    ASSERT_FALSE(pixels.empty());
    // The scroll bars at a list's edge are the system's drawing, not ours: under a contrast theme
    // Windows draws them in its colours, Wine 8 in its style's greys whatever the colours.
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    std::vector<RECT> scrollBars;
    for (HWND control : DialogControls(window)) {
      for (LONG bar : {OBJID_VSCROLL, OBJID_HSCROLL}) {
        SCROLLBARINFO info{};
        info.cbSize = sizeof(info);
        if (GetScrollBarInfo(control, bar, &info) &&
            (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) == 0) {
          RECT rect = info.rcScrollBar;
          OffsetRect(&rect, -origin.x, -origin.y);
          scrollBars.push_back(rect);
        }
      }
    }
    const auto onScrollBar = [&](int x, int y) {
      return std::any_of(scrollBars.begin(), scrollBars.end(),
                         [&](const RECT& r) { return PtInRect(&r, POINT{x, y}) != FALSE; });
    };
    std::map<std::uint32_t, int> foreign;
    std::map<std::uint32_t, POINT> where;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
        if (isSystem(p) || onScrollBar(x, y)) continue;
        std::vector<std::uint32_t> around;  // distinct
        for (int dy = -kBlendReach; dy <= kBlendReach; ++dy) {
          for (int dx = -kBlendReach; dx <= kBlendReach; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
            const std::uint32_t n = pixels[static_cast<std::size_t>(ny) * width + nx];
            if (isSystem(n) && std::find(around.begin(), around.end(), n) == around.end()) {
              around.push_back(n);
            }
          }
        }
        bool blend = false;
        for (std::size_t i = 0; i < around.size() && !blend; ++i) {
          for (std::size_t j = 0; j < system.size() && !blend; ++j) {
            blend = OnTheWay(p, around[i], system[j]);
          }
        }
        if (!blend && foreign[p]++ == 0) where[p] = POINT{x, y};
      }
    }
    std::ostringstream report;
    int count = 0;
    for (const auto& [colour, pixelsOfIt] : foreign) {
      count += pixelsOfIt;
      report << " #" << std::hex << colour << std::dec << " x" << pixelsOfIt << " at "
             << where[colour].x << "," << where[colour].y;
    }
    EXPECT_EQ(count, 0) << ToUtf8(shot) << ": pixels in no system colour:" << report.str();
  };
}

double Contrast(std::uint32_t a, std::uint32_t b) {
  const auto markup = [](std::uint32_t p) {
    return MarkupRgb(Channel(p, 16), Channel(p, 8), Channel(p, 0));
  };
  return ContrastRatio(markup(a), markup(b));
}

// Every label, button, tab and link shows its text at 4.5:1 or more against its background: the
// background is the control's commonest pixel, the text its pixel of the greatest contrast to it
// (the middle of a stroke, where smoothing leaves the text's own colour).
CHECK ReadableText(const std::wstring& prefix) {
  return [prefix](HWND window, const std::wstring& name) {
    const std::wstring shot = prefix + name;
    Shot(window, shot.c_str());
    int width = 0;
    int height = 0;
    const std::vector<std::uint32_t> pixels = ClientPixels(window, &width, &height);
    ASSERT_FALSE(pixels.empty());
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    int measured = 0;
    for (HWND control : DialogControls(window)) {
      const std::wstring cls = ClassOf(control);
      if ((cls != L"static" && cls != L"button") || !IsWindowEnabled(control)) continue;
      const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
      if (cls == L"button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) continue;
      const std::wstring text = Text(control);
      if (!HasLetters(text) && text.find_first_of(L"0123456789|") == std::wstring::npos) continue;
      RECT rect{};
      GetWindowRect(control, &rect);
      std::map<std::uint32_t, int> counts;
      for (int y = rect.top - origin.y; y < rect.bottom - origin.y; ++y) {
        for (int x = rect.left - origin.x; x < rect.right - origin.x; ++x) {
          if (x < 0 || y < 0 || x >= width || y >= height) continue;
          ++counts[pixels[static_cast<std::size_t>(y) * width + x]];
        }
      }
      if (counts.empty()) continue;
      const auto background = std::max_element(
          counts.begin(), counts.end(),
          [](const auto& a, const auto& b) { return a.second < b.second; })->first;
      double best = 1.0;
      for (const auto& [colour, n] : counts) best = std::max(best, Contrast(colour, background));
      ++measured;
      EXPECT_GE(best, kReadableContrast)
          << ToUtf8(shot) << ": " << Describe(control) << " on #" << std::hex << background;
    }
    EXPECT_GT(measured, 0) << ToUtf8(shot);
  };
}

// ---- The tests ----
// The colour test comes first, before any repair: the demo's repair removes the empty keys, and
// under Wine one of them is the volatile key Wine keeps changed system colours in; once it is
// gone, SetSysColors no longer takes in this process.

// Windows' dark app mode, then a contrast theme, each switched on and off while the window is
// open (one window, one scan): in the dark mode every text readable, under the contrast theme the
// system's colours only, on every page and the results list; and the skin again after each.
TEST(LanguagesGui, TheDarkModeAndAContrastThemeAreFollowedWhileOpen) {
  SeedDemoRegistry();
  const CWindowRun run([](HMODULE library) {
    g_systemParametersInfo = reinterpret_cast<SpiFunction>(test::PatchImport(
        library, "user32.dll", "SystemParametersInfoW", reinterpret_cast<void*>(&SystemParameters)));
    ASSERT_NE(g_systemParametersInfo, nullptr);
  });
  HWND main = run.Main();
  ASSERT_NE(main, nullptr);
  // The pixel at the page's bottom left corner, and a pixel of the Settings button's face.
  const auto pixelOf = [](HWND window, bool middle) {
    int width = 0;
    int height = 0;
    const std::vector<std::uint32_t> pixels = ClientPixels(window, &width, &height);
    if (pixels.empty()) return 0xFFFFFFFFu;
    const int y = middle ? height / 2 : height - 4;
    return pixels[static_cast<std::size_t>(y) * width + 4];
  };
  const auto appsUseLightTheme = [main](DWORD light) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER,
                              L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                              0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"AppsUseLightTheme", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&light), sizeof(light));
    RegCloseKey(key);
    SendMessageW(main, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
  };

  // The dark mode: a dark page (a test on the light one would prove nothing), every text readable.
  appsUseLightTheme(0);
  Shot(main, L"dark-on");
  const std::uint32_t dark = pixelOf(main, false);
  EXPECT_LT(RelativeLuminance(MarkupRgb(Channel(dark, 16), Channel(dark, 8), Channel(dark, 0))),
            0.05);
  WalkPages(main, ReadableText(L"dark-"));
  ScanToResults(main, ReadableText(L"dark-"));
  appsUseLightTheme(1);
  Shot(main, L"dark-off");
  EXPECT_EQ(pixelOf(main, false), 0xFFFFFFu);

  // High Contrast Black's colours, and the change told as the system tells it.
  const int elements[] = {COLOR_WINDOW,   COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
                          COLOR_HOTLIGHT, COLOR_GRAYTEXT,   COLOR_BTNFACE,   COLOR_BTNTEXT};
  const COLORREF scheme[] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0x1A, 0xEB, 0xFF),
                             RGB(0, 0, 0),       RGB(255, 255, 0),   RGB(0x3F, 0xF2, 0x3F),
                             RGB(0, 0, 0),       RGB(255, 255, 255)};
  std::array<COLORREF, std::size(elements)> before{};
  for (std::size_t i = 0; i < before.size(); ++i) before[i] = GetSysColor(elements[i]);
  g_contrastOn = true;
  ASSERT_TRUE(SetSysColors(static_cast<int>(std::size(elements)), elements, scheme));
  SendMessageW(main, WM_SYSCOLORCHANGE, 0, 0);
  // The scheme took: the page is black.
  ASSERT_EQ(GetSysColor(COLOR_WINDOW), scheme[0]);
  EXPECT_EQ(pixelOf(main, false), 0u);
  OnlySystemColours(L"contrast-")(main, L"scan-results");
  WalkPages(main, OnlySystemColours(L"contrast-"));
  // Off again: the skin's blue buttons are back.
  g_contrastOn = false;
  SetSysColors(static_cast<int>(std::size(elements)), elements, before.data());
  SendMessageW(main, WM_SYSCOLORCHANGE, 0, 0);
  Shot(main, L"contrast-off");
  EXPECT_EQ(pixelOf(Find(main, IDC_NAV_FIRST + 1), true), 0x2F6FD0u);
}

// The pages in German (the display language Wine takes from LANG), at 144 DPI and after a move
// to a display of 96 DPI, with the windows over them.
TEST(LanguagesGui, GermanFitsEveryPageAt144And96Dpi) {
  HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), kDpi) << "the prefix's LogPixels is not 144";
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), LANG_GERMAN)
      << "the test runs with LANG=de_DE.UTF-8 (its ctest environment)";
  SeedDemoRegistry();
  const CWindowRun run;
  HWND main = run.Main();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Text(Find(main, IDC_SCAN_NOW)), L"Jetzt scannen");
  EXPECT_EQ(Text(Find(main, IDC_NAV_FIRST + 1)), L"Einstellungen");
  WalkPages(main, Whole(L"lang-de-144-"));
  ScanToResults(main, Whole(L"lang-de-144-"));
  EXPECT_EQ(Text(Find(main, IDC_FIX_ERRORS)), L"Fehler beheben");
  ChangeDpi(main, kBaseDpi, ui::kMainClientWidth, ui::kMainClientHeight);
  Whole(L"lang-de-96-")(main, L"scan-results");
  WalkPages(main, Whole(L"lang-de-96-"));
  ChangeDpi(main, kDpi, ui::kMainClientWidth, ui::kMainClientHeight);
  RepairBackupAndSchedule(main, L"Registrierungsfehler beheben", L"Registrierungssicherung",
                          L"Zeitplan", Whole(L"lang-de-144-"));
}

// The pseudo-language: every text some 40 % longer, each of them from the tables.
TEST(LanguagesGui, PseudoLanguageFitsEveryPageAt144And96Dpi) {
  SeedDemoRegistry();
  const CWindowRun run([](HMODULE library) {
    ASSERT_NE(test::PatchImport(library, "kernel32.dll", "GetUserDefaultUILanguage",
                                reinterpret_cast<void*>(&PseudoLocale)),
              nullptr);
  });
  HWND main = run.Main();
  ASSERT_NE(main, nullptr);
  WalkPages(main, WholeAndPseudo(L"lang-qps-144-"));
  ScanToResults(main, WholeAndPseudo(L"lang-qps-144-"));
  ChangeDpi(main, kBaseDpi, ui::kMainClientWidth, ui::kMainClientHeight);
  WholeAndPseudo(L"lang-qps-96-")(main, L"scan-results");
  WalkPages(main, WholeAndPseudo(L"lang-qps-96-"));
  ChangeDpi(main, kDpi, ui::kMainClientWidth, ui::kMainClientHeight);
  RepairBackupAndSchedule(main, PseudoText(ui::kRepairCaption.english),
                          PseudoText(ui::kBackupCaption.english),
                          PseudoText(ui::kScheduleEditorCaption.english),
                          WholeAndPseudo(L"lang-qps-144-"));
}

// The console's report in German; its JSON as documented, in English.
TEST(LanguagesConsole, TheTextReportIsGermanAndTheJsonEnglish) {
  SeedDemoRegistry();
  const std::wstring cli = L"\"" + test::CliPath() + L"\"";
  const test::CHILD_RESULT text = test::RunProgram(cli + L" scan --category 2");
  EXPECT_NE(text.out.find("Schriftarten (Risiko: NIEDRIG): "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Gefundene Probleme:"), std::string::npos) << text.out;
  const test::CHILD_RESULT json = test::RunProgram(cli + L" scan --category 2 --json -");
  EXPECT_NE(json.out.find("\"name\": \"Fonts\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"risk\": \"LOW\""), std::string::npos) << json.out;
  const test::CHILD_RESULT bad = test::RunProgram(cli + L" restore \"no|name\"");
  EXPECT_NE(bad.err.find("ist kein Sicherungsname"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace qv
