// A page's place in the main window (CPage::CreatePage) and the containers of the Settings,
// Backups and Other Tools pages: a row of tab buttons over sub-pages, one shown at a time.
// It touches its own windows and its sub-pages; what the sub-pages show is theirs.
#include "ui/win32/pages.h"

#include <utility>

#include "platform/win32/win32_dpi.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/resource.h"

namespace qv::ui {

void CPage::CreatePage(CBaseDlg& parent, const RECT& area) {
  Create(parent.Handle(), IDD_PAGE);
  KeepDialogFromSystemScaling(m_hwnd);
  SetLayout(parent.Dpi(), SIZE{area.right - area.left, area.bottom - area.top});
  // The template makes it hidden; placing it leaves it so.
  parent.Place(m_hwnd, area.left, area.top, area.right - area.left, area.bottom - area.top);
  parent.AddChildDialog(*this);
  OnInitDialog();  // the controls are made once the page has its size
}

CContainerPage::CContainerPage(CQuarveloDlg& main, std::vector<CONTAINER_TAB> tabs)
    : CPage(main, /*headerLine=*/true), m_tabs(std::move(tabs)) {}

void CContainerPage::OnInitDialog() {
  if (m_tabs.empty() || Item(m_tabs.front().buttonId) != nullptr) return;
  const SIZE client = DesignSize();
  // The sub-pages fill the container less the tab row's 27 pixels and a pixel at each side.
  const RECT area{1, 27, client.cx - 1, client.cy - 1};
  // Every tab button before the sub-pages: Tab goes along the tab row, then into the page shown.
  for (std::size_t i = 0; i < m_tabs.size(); ++i) {
    AddControl(CONTROL_LOOK::kNavButton, m_tabs[i].buttonId, Tr(m_tabs[i].caption),
               10 + static_cast<int>(i) * 200, 0, 190, 26);
  }
  for (CONTAINER_TAB& tab : m_tabs) tab.page->CreatePage(*this, area);
}

void CContainerPage::SelectNextTab(bool backwards) {
  const int count = static_cast<int>(m_tabs.size());
  if (count == 0) return;
  const int from = m_selected >= 0 ? m_selected : m_last;
  SelectTab((from + (backwards ? count - 1 : 1)) % count);
  if (m_selected >= 0) ::SetFocus(Item(m_tabs[static_cast<std::size_t>(m_selected)].buttonId));
}

void CContainerPage::OnShow() { SelectTab(m_last); }

void CContainerPage::OnHide() {
  if (m_selected < 0) return;
  CONTAINER_TAB& tab = m_tabs[static_cast<std::size_t>(m_selected)];
  SetSelected(tab.buttonId, false);
  tab.page->OnHide();
  ::ShowWindow(tab.page->Handle(), SW_HIDE);
  m_last = m_selected;
  m_selected = -1;
}

void CContainerPage::SelectTab(int index) {
  if (index < 0 || index >= static_cast<int>(m_tabs.size()) || index == m_selected) return;
  if (m_selected >= 0) {
    CONTAINER_TAB& shown = m_tabs[static_cast<std::size_t>(m_selected)];
    SetSelected(shown.buttonId, false);
    shown.page->OnHide();
    ::ShowWindow(shown.page->Handle(), SW_HIDE);
  }
  m_selected = index;
  m_last = index;
  CONTAINER_TAB& tab = m_tabs[static_cast<std::size_t>(index)];
  SetSelected(tab.buttonId, true);
  if (tab.title.id != 0) m_main.SetItemText(IDC_PAGE_TITLE, Tr(tab.title));
  ::ShowWindow(tab.page->Handle(), SW_SHOW);
  tab.page->OnShow();
}

void CContainerPage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  for (std::size_t i = 0; i < m_tabs.size(); ++i) {
    if (m_tabs[i].buttonId == id) SelectTab(static_cast<int>(i));
  }
}

}  // namespace qv::ui
