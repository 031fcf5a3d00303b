// The window framework of the library: a dialog window that routes its messages to a C++ object,
// the skinned dialog base every page derives from, the fonts and colours of the skin, and small
// helpers that make the controls of a page in code. It is declared here and defined by job:
// dialog_window.cpp (the dialog and its window procedure), skin_fonts.cpp, skinned_dialog.cpp
// (CBaseDlg's controls, layout and colours), skinned_buttons.cpp (its owner-drawn controls),
// skin_pictures.cpp (the pictures drawn by code), over skin_drawing.h's primitives.
//
// Skinned buttons and link buttons are owner-drawn push buttons whose window text is their
// caption, so the keyboard, screen readers and tests find them by text and id.
//
// Display scale: the layout of every page is written in pixels of 96 DPI. A skinned dialog keeps
// the 96-DPI rectangle and font of each control it places and shows them at its DPI (CDpiScale),
// again whenever the DPI changes; what it draws itself is drawn at that DPI too.
#pragma once

#include <windows.h>
// after windows.h: it needs its declarations
#include <commctrl.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/dpi_scale.h"
#include "ui/win32/skin_palette.h"

namespace qv::ui {

// The library's module (set when it is loaded).
[[nodiscard]] HINSTANCE LibraryInstance();
void SetLibraryInstance(HINSTANCE instance);

// The colours of the skin are named by their role (SKIN_COLOUR, skin_palette.h) and drawn in the
// user's colour mode: the skin's own, a dark one, or a contrast theme's system colours.

// A font of the skin: "Tahoma" at a point size, normal or bold.
struct FONT_SPEC {
  int points = 8;
  bool bold = false;
  friend bool operator==(const FONT_SPEC&, const FONT_SPEC&) = default;
};

// "Tahoma" at a point size and DPI, normal or bold; made once, kept for the run.
[[nodiscard]] HFONT TahomaFont(int pointSize, bool bold = false, int dpi = kBaseDpi);
[[nodiscard]] inline HFONT TahomaFont(const FONT_SPEC& font, int dpi) {
  return TahomaFont(font.points, font.bold, dpi);
}

// How a control of a page looks.
enum class CONTROL_LOOK {
  kLabel,        // static text
  kButton,       // a skinned push button
  kLargeButton,  // the large start-scan button
  kNavButton,    // a navigation or tab button (selected: white with a blue bar)
  kLink,         // a link button: blue underlined text
  kCheck,        // a check box
  kPicture,      // a picture drawn by the page (owner-drawn static)
};

struct LABEL_STYLE {
  FONT_SPEC font{};  // Tahoma 8
  SKIN_COLOUR text = SKIN_COLOUR::kText;
  SKIN_COLOUR back = SKIN_COLOUR::kWindow;
  bool transparentBack = false;
};

// A dialog window whose messages reach its object. Subclasses handle what they need in
// OnMessage; an exception leaving a handler is caught at the window procedure and ends nothing
// but that message.
class CDialogWindow {
 public:
  CDialogWindow() = default;
  virtual ~CDialogWindow();
  CDialogWindow(const CDialogWindow&) = delete;
  CDialogWindow& operator=(const CDialogWindow&) = delete;

  // A modeless dialog from the library's template (a page: child of the parent).
  HWND Create(HWND parent, int templateId);
  // A modal dialog; returns its end result (-1 when it cannot be made).
  INT_PTR RunModal(HWND owner, int templateId);
  [[nodiscard]] HWND Handle() const { return m_hwnd; }
  [[nodiscard]] HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
  void SetItemText(int id, std::wstring_view text) const;
  [[nodiscard]] std::wstring ItemText(int id) const;
  void ShowItem(int id, bool show) const;

 protected:
  virtual void OnInitDialog() {}
  // False: OnInitDialog is left to the creator (a page lays its controls out once it has its
  // size, which the template does not give it).
  [[nodiscard]] virtual bool InitializesOnCreate() const { return true; }
  // *handled false: the dialog's default handling.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled);
  virtual void OnCommand(int /*id*/, int /*code*/, HWND /*control*/) {}
  virtual void OnDestroy() {}

  HWND m_hwnd = nullptr;

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// The skinned dialog: the window colour (white), an optional header line (#BBCFF2, one pixel, 26
// pixels below the top), Enter and Escape ignored, labels and buttons of the skin, laid out at its
// DPI and drawn in the colours of the user's colour mode.
class CBaseDlg : public CDialogWindow {
 public:
  explicit CBaseDlg(bool headerLine = false) : m_headerLine(headerLine) {}

  // Controls made in code, in tab order. Positions and sizes in pixels of the page at 96 DPI.
  HWND AddControl(CONTROL_LOOK look, int id, std::wstring_view text, int x, int y, int width,
                  int height, const LABEL_STYLE& style = {}, DWORD extraStyle = 0);
  // A child window made elsewhere (a list, a progress bar, a page), placed at a 96-DPI rectangle
  // of this window now and after every DPI change.
  void Place(HWND child, int x, int y, int width, int height);
  // The child's font, at this window's DPI now and after every DPI change.
  void SetControlFont(HWND child, FONT_SPEC font);
  // A column of a list view of this window, its width in pixels at 96 DPI.
  void AddListColumn(HWND list, int index, std::wstring_view caption, int width,
                     int format = LVCFMT_LEFT);
  void SetLabelStyle(int id, const LABEL_STYLE& style);
  // The selected look of a navigation or tab button.
  void SetSelected(int id, bool selected);

  // The window's display scale; lengths of 96 DPI through Scale()(length).
  [[nodiscard]] const CDpiScale& Scale() const { return m_scale; }
  [[nodiscard]] int Dpi() const { return m_scale.Dpi(); }
  // The client area in pixels of 96 DPI: what the layout of the page is written for.
  [[nodiscard]] SIZE DesignSize() const;
  // Lays the window out for the DPI: its placed children moved and sized, their fonts made
  // again, its pages laid out the same way, then OnDpiChanged. Nothing happens at the DPI it has.
  void ApplyDpi(int dpi);
  // A page inside this window: laid out again with it.
  void AddChildDialog(CBaseDlg& child) { m_children.push_back(&child); }
  // Gives the window's lists the colours of the palette of the moment (the markup lists theirs,
  // the system's list views the dark mode's or the system's) and repaints the window whole.
  void ApplyColours();

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  // The DPI the window starts at and the 96-DPI size of its client area, before its controls are
  // made.
  void SetLayout(int dpi, SIZE designSize);
  // After ApplyDpi has placed everything: what the window keeps at its DPI itself (lists,
  // icons, the window's shape).
  virtual void OnDpiChanged() {}
  // Paints the page's own background after the white fill, the header line and the default
  // corner picture.
  virtual void PaintBackground(HDC /*dc*/, const RECT& /*client*/) {}
  // A page with a background picture of its own (drawn in PaintBackground) draws no corner
  // picture.
  [[nodiscard]] virtual bool HasBackgroundPicture() const { return false; }
  // Draws an owner-drawn picture control.
  virtual void DrawPicture(int /*id*/, HDC /*dc*/, const RECT& /*rect*/) {}
  // A 96-DPI rectangle of this window in its pixels.
  [[nodiscard]] RECT ScaleRect(int left, int top, int right, int bottom) const;

 private:
  struct PLACED {
    HWND window;
    RECT design;  // 96 DPI
  };
  struct COLUMN {
    HWND list;
    int index;
    int width;  // 96 DPI
    std::wstring caption;
  };
  // The column's width at the DPI of the moment: its width, or more when its caption needs it.
  [[nodiscard]] int ColumnWidth(const COLUMN& column) const;
  void DrawItem(const DRAWITEMSTRUCT& item);
  void PlaceAtDpi(const PLACED& placed) const;

  bool m_headerLine;
  CDpiScale m_scale;
  SIZE m_designSize{0, 0};
  std::vector<PLACED> m_placed;
  std::map<HWND, FONT_SPEC> m_fonts;
  std::vector<COLUMN> m_columns;
  std::vector<CBaseDlg*> m_children;
  std::map<int, CONTROL_LOOK> m_looks;
  std::map<int, LABEL_STYLE> m_styles;
  std::map<int, bool> m_selected;
  std::map<COLORREF, HBRUSH> m_brushes;
  // A brush of the colour, kept until the window goes.
  HBRUSH Brush(COLORREF colour);
};

// A message box of the product (caption "Quarvelo").
int ProductMessageBox(HWND owner, std::wstring_view text, UINT flags);

// Pictures drawn by code: the health and verdict pictures (a green tick, a red cross, a grey
// question mark in a circle) and the scanning animation's frame.
enum class PICTURE { kGood, kBad, kNeverScanned };
// Each is drawn to fill the rectangle it is given, at the size it is shown.
void DrawHealthPicture(HDC dc, const RECT& rect, PICTURE picture);
void DrawScanAnimation(HDC dc, const RECT& rect, int frame, const CDpiScale& scale);
// The default corner picture of a page without a background picture of its own.
void DrawCornerPicture(HDC dc, const RECT& client, const CDpiScale& scale);

}  // namespace qv::ui
