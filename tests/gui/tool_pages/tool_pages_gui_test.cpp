// The pages behind the settings, backups and other-tools buttons of QuarveloDll.dll's main
// window, under Wine and Xvfb, driven from a second thread by control id and text: the general
// settings stored as they are hidden, the ignore list, the backups list (delete and restore), the
// startup manager (an entry switched off and on again, one switched off by Task Manager), the
// restore points and defragmenter pages.
// Screenshots of every page go to QV_SCREENSHOT_DIR.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "tests/support/win32/gui_driver.h"
#include "tests/support/win32/task_scheduler.h"
#include "ui/settings_options.h"
#include "ui/ui_texts.h"
#include "ui/win32/resource.h"
#include "ui/win32/schedule_editor.h"

#ifndef QV_DLL_PATH
#error QV_DLL_PATH must name the QuarveloDll.dll to test
#endif

namespace qv {
namespace {

using namespace test::gui;  // NOLINT: the driver's vocabulary

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kSwitchesKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr wchar_t kToolCommand[] = L"C:\\tools\\qvtool.exe /min \"a b\"";

std::wstring DataFolder() {
  wchar_t common[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, common),
            S_OK);
  const std::wstring folder = std::wstring(common) + L"\\Quarvelo";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\Backup").c_str(), nullptr);
  return folder;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(ToUtf8(path), std::ios::binary);
  out << bytes;
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  WriteFile(path, bytes);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ReadString(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t buffer[512] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
    return L"<none>";
  }
  return buffer;
}

int Rows(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring Cell(HWND list, int row, int column) {
  wchar_t buffer[1024] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 1024;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

int RowNamed(HWND list, int column, const std::wstring& text) {
  for (int row = 0; row < Rows(list); ++row) {
    if (Cell(list, row, column) == text) return row;
  }
  return -1;
}

void SetCheck(HWND list, int row, bool checked) {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// A message box of the process showing this text (whatever its caption), answered with the
// button (after a screenshot when `shot` names one); false when none came.
bool Answer(const std::wstring& text, int button, const wchar_t* shot = nullptr) {
  HWND found = nullptr;
  const bool came = WaitFor(
      [&] {
        struct SEARCH {
          const std::wstring* text;
          HWND found;
        } search{&text, nullptr};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
              auto* s = reinterpret_cast<SEARCH*>(data);
              DWORD process = 0;
              GetWindowThreadProcessId(window, &process);
              if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
                  MessageText(window) == *s->text) {
                s->found = window;
                return FALSE;
              }
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        found = search.found;
        return found != nullptr;
      },
      30);
  if (!came) return false;
  if (shot != nullptr) Shot(found, shot);
  PostMessageW(found, WM_COMMAND, static_cast<WPARAM>(button), 0);
  return WaitFor([&] { return !IsWindow(found); }, 10);
}

void ClickLabel(HWND root, int id) {
  HWND label = Find(root, id);
  ASSERT_NE(label, nullptr) << "no visible label " << id;
  PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

class ToolPagesGui : public testing::Test {
 protected:
  void SetUp() override { m_data = DataFolder(); }
  // The main window, on its own thread, once the test has seeded what it needs.
  void Open() {
    m_library = LoadLibraryAt(QV_DLL_PATH);
    ASSERT_NE(m_library.showMainDialog, nullptr);
    m_ui = std::thread([this] { m_result = m_library.showMainDialog(); });
    ASSERT_TRUE(WaitFor([&] { return (m_main = FindDialog(ui::kMainCaption)) != nullptr; }, 30));
    ASSERT_TRUE(WaitFor([&] { return Find(m_main, IDC_SCAN_NOW) != nullptr; }, 10));
  }
  void TearDown() override {
    if (m_main != nullptr) PostMessageW(m_main, WM_CLOSE, 0, 0);
    if (m_ui.joinable()) m_ui.join();
    EXPECT_EQ(m_result, 1);
    if (m_library.module != nullptr) FreeLibrary(m_library.module);
  }
  HWND Shown(int id) {
    HWND control = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (control = Find(m_main, id)) != nullptr; }, 10)) << id;
    return control;
  }
  std::wstring Title() { return Text(Find(m_main, IDC_PAGE_TITLE)); }

  std::wstring m_data;
  LIBRARY m_library;
  std::thread m_ui;
  int m_result = -1;
  HWND m_main = nullptr;
};

TEST_F(ToolPagesGui, SettingsAreStoredAsThePageIsLeftAndTheIgnoreListRemovesTheCheckedRow) {
  // Two entries of the same identity (as the user's list and a repair can both hold): the page
  // shows the newest first, and removing the lower row removes that row's own entry.
  WriteFile(m_data + L"\\ignore.wls",
            "2\r\nhkey_classes_root\\.qva\\|x\r\n7\r\nhkey_current_user\\software\\a\\b|c\r\n"
            "3\r\nhkey_classes_root\\.qva\\|x\r\n");
  Open();

  Click(m_main, IDC_NAV_FIRST + 1);
  HWND splash = Shown(IDC_OPTION_CHECK_FIRST + 5);
  EXPECT_EQ(Title(), L"Settings");
  // Nothing stored yet: CLOSEAFTER and AUTOREPAIR off, the other four on.
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(SendMessageW(Find(m_main, IDC_OPTION_CHECK_FIRST + i), BM_GETCHECK, 0, 0),
              i < 2 ? BST_UNCHECKED : BST_CHECKED)
        << i;
  }
  EXPECT_EQ(Text(splash), L"Splash");
  ClickLabel(m_main, IDC_OPTION_LABEL_FIRST + 5);  // "Show Splash Screen"
  EXPECT_TRUE(WaitFor([&] { return SendMessageW(splash, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }, 5));
  // The seventh: what a repair uncovers is repaired too, unless the user turns it off.
  HWND uncovered = Find(m_main, ui::kGeneralOptions[6].checkBoxId);
  EXPECT_EQ(Text(uncovered), L"REPAIRUNCOVERED");
  EXPECT_EQ(SendMessageW(uncovered, BM_GETCHECK, 0, 0), BST_CHECKED);
  ClickLabel(m_main, ui::kGeneralOptions[6].labelId);
  EXPECT_TRUE(
      WaitFor([&] { return SendMessageW(uncovered, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }, 5));
  Shot(m_main, L"settings_general");

  // Leaving the page stores every box at once.
  Click(m_main, IDC_CONTAINER_TAB_FIRST + 1);
  HWND list = Shown(IDC_IGNORE_LIST);
  EXPECT_TRUE(WaitFor([&] { return Title() == L"Ignore List"; }, 5));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quarvelo", L"Splash"), L"0");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quarvelo", L"CLOSEAFTER"), L"0");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quarvelo", L"AUTOUPDATES"), L"1");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quarvelo", L"REPAIRUNCOVERED"), L"0");

  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 3; }, 5));
  EXPECT_EQ(Cell(list, 0, 1), L"hkey_classes_root\\.qva\\|x");
  EXPECT_EQ(Cell(list, 1, 1), L"hkey_current_user\\software\\a\\b|c");
  EXPECT_EQ(Cell(list, 2, 1), L"hkey_classes_root\\.qva\\|x");
  const std::wstring newestCategory = Cell(list, 0, 0);
  const std::wstring oldestCategory = Cell(list, 2, 0);
  EXPECT_NE(newestCategory, oldestCategory);
  SetCheck(list, 2, true);
  Shot(m_main, L"settings_ignore_list");
  Click(m_main, IDC_IGNORE_REMOVE);
  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 2; }, 5));
  EXPECT_EQ(Cell(list, 0, 0), newestCategory);  // the other row of that identity stays
  EXPECT_EQ(Cell(list, 1, 1), L"hkey_current_user\\software\\a\\b|c");
  // Removing the rest deletes the user's list.
  SetCheck(list, 0, true);
  SetCheck(list, 1, true);
  Click(m_main, IDC_IGNORE_REMOVE);
  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 0; }, 5));
  EXPECT_FALSE(Exists(m_data + L"\\ignore.wls"));

  // No scheduled task yet: the schedule shows its one inactive line.
  Click(m_main, IDC_CONTAINER_TAB_FIRST + 2);
  HWND schedule = Shown(IDC_SCHEDULE_LIST);
  EXPECT_TRUE(WaitFor([&] { return Title() == L"Manage Schedule"; }, 5));
  ASSERT_EQ(SendMessageW(schedule, LB_GETCOUNT, 0, 0), 1);
  wchar_t line[256] = {};
  SendMessageW(schedule, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_STREQ(line, L"System scan schedule is not active");
  Shot(m_main, L"settings_schedule_inactive");

  // Manage Schedule makes the task; Wine has no schedule page, so ours opens: a daily trigger
  // added there is listed on the page once it has closed.
  Click(m_main, IDC_MANAGE_SCHEDULE);
  HWND editor = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (editor = FindDialog(ui::kScheduleEditorCaption.english.data())) != nullptr; }, 30));
  SendMessageW(GetDlgItem(editor, ui::kScheduleEditorNew), BM_CLICK, 0, 0);
  Shot(editor, L"settings_schedule_editor");
  PostMessageW(GetDlgItem(editor, IDOK), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor(
      [&] {
        wchar_t shown[256] = {};
        if (SendMessageW(schedule, LB_GETCOUNT, 0, 0) != 1) return false;
        SendMessageW(schedule, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(shown));
        return std::wstring(shown).rfind(L"At 9:00 every day, starting ", 0) == 0;
      },
      10));
  Shot(m_main, L"settings_schedule_active");

  // Another program's installer makes the task start its program: it is no longer ours to list
  // or edit, and Manage Schedule says so instead.
  const std::wstring other = L"C:\\Other\\other.exe";
  test::SetRawTaskApplication(L"Quarvelo", other.c_str());
  Click(m_main, IDC_MANAGE_SCHEDULE);
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FindDialog(L"Quarvelo", m_main)) != nullptr; }, 10));
  const std::wstring listed = L"The task Quarvelo starts another program (" + other + L")";
  EXPECT_EQ(MessageText(box), listed +
                                  L": it is left alone (not replaced, changed or deleted).\n\nTo "
                                  L"schedule scans, rename or delete that task in the Task "
                                  L"Scheduler first.");
  Shot(box, L"settings_schedule_other_program_message");
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  SendMessageW(schedule, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_EQ(std::wstring(line), listed + L": it is left alone");
  const test::RAW_TASK raw = test::ReadRawTask(L"Quarvelo");
  EXPECT_EQ(raw.application, other);
  EXPECT_EQ(test::EnabledTriggers(raw).size(), 1u);
  EXPECT_TRUE(WaitFor([&] { return FindDialog(L"Quarvelo", m_main) == nullptr; }, 10));
  Shot(m_main, L"settings_schedule_other_program");
}

TEST_F(ToolPagesGui, BackupsAreListedDeletedAndRestoredAndTheToolPagesShow) {
  const std::wstring backups = m_data + L"\\Backup";
  WriteFile(backups + L"\\Old.reg", "x");
  WriteFile(backups + L"\\Old.bak", "y");
  WriteFile(backups + L"\\Empty.reg", "");
  WriteUtf16File(backups + L"\\Keep.reg",
                 L"Windows Registry Editor Version 5.00\r\n\r\n"
                 L"[HKEY_CURRENT_USER\\Software\\QvRestored]\r\n\"Value\"=\"back again\"\r\n\r\n");
  // A repair's backup with its shortcut list and folder, and one whose shortcut cannot go back
  // while a file is in its place.
  for (const wchar_t* folder : {L"\\QuarveloBak_T", L"\\QuarveloBak_P"}) {
    CreateDirectoryW((backups + folder).c_str(), nullptr);
  }
  WriteFile(backups + L"\\RCBak_T.reg", "REGEDIT4\r\n");
  WriteFile(backups + L"\\QuarveloBak_T.bak",
            "C:\\T.lnk," + ToUtf8(backups) + "\\QuarveloBak_T\\T.lnk\r\n");
  WriteFile(backups + L"\\QuarveloBak_T\\T.lnk", "t");
  WriteFile(backups + L"\\RCBak_P.reg",
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QvPartial]\r\n\"Value\"=\"merged\"\r\n");
  WriteFile(backups + L"\\QuarveloBak_P.bak",
            "C:\\P.lnk," + ToUtf8(backups) + "\\QuarveloBak_P\\P.lnk\r\n");
  WriteFile(backups + L"\\QuarveloBak_P\\P.lnk", "the shortcut");
  WriteFile(L"C:\\P.lnk", "in the way");
  // A list whose line no repair wrote: its copy lies outside the backup's own folder.
  WriteFile(backups + L"\\RCBak_L.reg", "REGEDIT4\r\n");
  WriteFile(backups + L"\\QuarveloBak_L.bak", "C:\\windows\\system32\\evil.lnk,C:\\evil.lnk\r\n");
  WriteFile(L"C:\\evil.lnk", "planted");
  Open();

  Click(m_main, IDC_NAV_FIRST + 2);
  HWND list = Shown(IDC_BACKUP_LIST);
  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 5; }, 5));  // the empty file is not listed
  EXPECT_GE(RowNamed(list, 0, L"Old"), 0);
  EXPECT_GE(RowNamed(list, 0, L"Keep"), 0);
  // The date as the user's locale writes it: the backups were written today.
  SYSTEMTIME today{};
  GetLocalTime(&today);
  wchar_t date[64] = {};
  ASSERT_GT(GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &today, nullptr, date, 64,
                            nullptr),
            0);
  EXPECT_EQ(Cell(list, 0, 1).rfind(date, 0), 0u) << ToUtf8(Cell(list, 0, 1));
  Shot(m_main, L"backups_list");

  // Delete asks, removes every file of the checked names, and says so once.
  SetCheck(list, RowNamed(list, 0, L"Old"), true);
  SetCheck(list, RowNamed(list, 0, L"RCBak_T"), true);
  Click(m_main, IDC_BACKUP_DELETE);
  ASSERT_TRUE(Answer(L"Do you really want to Delete selected Restore Entries?", IDYES));
  ASSERT_TRUE(Answer(L"Succesfully, Selected Backup files has been deleted", IDOK));
  for (const wchar_t* gone : {L"\\Old.reg", L"\\Old.bak", L"\\RCBak_T.reg", L"\\QuarveloBak_T.bak",
                              L"\\QuarveloBak_T"}) {
    EXPECT_FALSE(Exists(backups + gone)) << ToUtf8(gone);
  }
  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 3; }, 5));

  // A restore that merged the registry but could not move the shortcut back says what is left
  // and where, and the backup stays listed.
  SetCheck(list, RowNamed(list, 0, L"RCBak_P"), true);
  Click(m_main, IDC_BACKUP_RESTORE);
  ASSERT_TRUE(Answer(L"Do you really want to Restore selected Restore Entries?", IDYES));
  ASSERT_TRUE(Answer(L"The backup could not be restored completely.\n\nThe registry was merged "
                     L"back.\n\n1 shortcut could not be moved back (a file is in its place, or it "
                     L"cannot be moved): it is in " + backups +
                         L"\\QuarveloBak_P. The backup stays listed: restore it again once it can "
                         L"go back.",
                     IDOK, L"backups_restore_left"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, L"Software\\QvPartial", L"Value"), L"merged");
  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 3 && RowNamed(list, 0, L"RCBak_P") >= 0; }, 10));

  // The line no repair wrote is left alone and named, the planted file stays where it is, and the
  // backup stays listed until it is deleted.
  SetCheck(list, RowNamed(list, 0, L"RCBak_L"), true);
  Click(m_main, IDC_BACKUP_RESTORE);
  ASSERT_TRUE(Answer(L"Do you really want to Restore selected Restore Entries?", IDYES));
  ASSERT_TRUE(Answer(L"The backup could not be restored completely.\n\nThe registry was merged "
                     L"back.\n\n1 line of the shortcut list " + backups +
                         L"\\QuarveloBak_L.bak was left alone; the list is kept:\n"
                         L"C:\\windows\\system32\\evil.lnk,C:\\evil.lnk (its moved copy is not in "
                         L"this backup's shortcut folder)",
                     IDOK, L"backups_restore_line_left"));
  EXPECT_TRUE(Exists(L"C:\\evil.lnk"));
  EXPECT_FALSE(Exists(L"C:\\windows\\system32\\evil.lnk"));
  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 3 && RowNamed(list, 0, L"RCBak_L") >= 0; }, 10));
  SetCheck(list, RowNamed(list, 0, L"RCBak_L"), true);
  Click(m_main, IDC_BACKUP_DELETE);
  ASSERT_TRUE(Answer(L"Do you really want to Delete selected Restore Entries?", IDYES));
  ASSERT_TRUE(Answer(L"Succesfully, Selected Backup files has been deleted", IDOK));
  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 2; }, 5));

  // Restore merges the checked backup, which is then gone from the list; so does the one whose
  // shortcut can go back now.
  SetCheck(list, RowNamed(list, 0, L"Keep"), true);
  Click(m_main, IDC_BACKUP_RESTORE);
  ASSERT_TRUE(Answer(L"Do you really want to Restore selected Restore Entries?", IDYES));
  ASSERT_TRUE(Answer(std::wstring(ui::kRestoreDoneMessage.english), IDOK));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, L"Software\\QvRestored", L"Value"), L"back again");
  ASSERT_TRUE(WaitFor([&] { return Rows(list) == 1; }, 10));
  ASSERT_TRUE(DeleteFileW(L"C:\\P.lnk"));
  SetCheck(list, 0, true);
  Click(m_main, IDC_BACKUP_RESTORE);
  ASSERT_TRUE(Answer(L"Do you really want to Restore selected Restore Entries?", IDYES));
  ASSERT_TRUE(Answer(std::wstring(ui::kRestoreDoneMessage.english), IDOK));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, L"Software\\QvPartial", L"Value"), L"merged");
  EXPECT_TRUE(Exists(L"C:\\P.lnk"));
  EXPECT_TRUE(WaitFor([&] { return Rows(list) == 0; }, 10));
  // With nothing listed, Restore and Delete say there is nothing to do.
  Click(m_main, IDC_BACKUP_RESTORE);
  EXPECT_TRUE(Answer(L"Restore Information \n\n There are no items to restore.", IDOK));

  Click(m_main, IDC_TAB_RESTORE_POINTS);
  Shown(IDC_RESTORE_POINTS);
  EXPECT_TRUE(IsWindowVisible(Find(m_main, IDC_TAB_BACKUPS)));
  Shot(m_main, L"backups_restore_points");

  Click(m_main, IDC_NAV_FIRST + 3);
  Shown(IDC_STARTUP_LIST);
  Click(m_main, IDC_TAB_DEFRAGMENT);
  Shown(IDC_DEFRAGMENT);
  Shot(m_main, L"tools_defragment");
}

TEST_F(ToolPagesGui, AStartupEntrySwitchedOffLeavesItsRunKeyAndComesBackExactly) {
  HKEY run = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &run, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(run, L"QvTool", 0, REG_SZ, reinterpret_cast<const BYTE*>(kToolCommand),
                 static_cast<DWORD>((wcslen(kToolCommand) + 1) * sizeof(wchar_t)));
  RegSetValueExW(run, L"QvTaskManaged", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\tm.exe"),
                 sizeof(L"C:\\tm.exe"));
  RegCloseKey(run);
  // Switched off by Task Manager: its switch holds status 3 and the time.
  const BYTE off[12] = {3, 0, 0, 0, 0x71, 0xC9, 0x33, 0xAE, 0x16, 0xD9, 0xD1, 0x01};
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSwitchesKey, L"QvTaskManaged", REG_BINARY, off,
                            sizeof(off)),
            ERROR_SUCCESS);
  Open();

  Click(m_main, IDC_NAV_FIRST + 3);
  HWND list = Shown(IDC_STARTUP_LIST);
  int row = -1;
  ASSERT_TRUE(WaitFor([&] { return (row = RowNamed(list, 1, L"QvTool")) >= 0; }, 5));
  EXPECT_EQ(Cell(list, row, 0), L"On");
  EXPECT_EQ(Cell(list, row, 2), kToolCommand);
  EXPECT_EQ(Cell(list, row, 3), L"HKEY_CURRENT_USER/Run");
  int managed = RowNamed(list, 1, L"QvTaskManaged");
  ASSERT_GE(managed, 0);
  EXPECT_EQ(Cell(list, managed, 0), L"Off");
  EXPECT_EQ(Cell(list, managed, 3), L"HKEY_CURRENT_USER/Run");
  EXPECT_NE(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(managed), LVIS_STATEIMAGEMASK),
            static_cast<LRESULT>(INDEXTOSTATEIMAGEMASK(2)));
  // A click on the row's text selects it and leaves it as it is; a double click flips it.
  RECT name{};
  name.top = 1;  // the program name's column
  name.left = LVIR_LABEL;
  ASSERT_TRUE(SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                           reinterpret_cast<LPARAM>(&name)));
  const LPARAM at = MAKELPARAM(name.left + 10, (name.top + name.bottom) / 2);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(Cell(list, row, 0), L"On");
  PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
  EXPECT_TRUE(WaitFor([&] { return Cell(list, row, 0) == L"Off"; }, 5));
  EXPECT_FALSE(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) ==
               INDEXTOSTATEIMAGEMASK(2));
  Shot(m_main, L"tools_startups");

  Click(m_main, IDC_STARTUP_APPLY);
  EXPECT_TRUE(
      WaitFor([&] { return ReadString(HKEY_CURRENT_USER, kRunKey, L"QvTool") == L"<none>"; }, 5));
  ASSERT_TRUE(WaitFor(
      [&] { return (row = RowNamed(list, 1, L"QvTool")) >= 0 && Cell(list, row, 0) == L"Off"; },
      5));
  Shot(m_main, L"tools_startups_applied");

  SetCheck(list, row, true);
  SetCheck(list, RowNamed(list, 1, L"QvTaskManaged"), true);
  Click(m_main, IDC_STARTUP_APPLY);
  EXPECT_TRUE(WaitFor(
      [&] { return ReadString(HKEY_CURRENT_USER, kRunKey, L"QvTool") == kToolCommand; }, 5));
  ASSERT_TRUE(WaitFor([&] { return (row = RowNamed(list, 1, L"QvTool")) >= 0; }, 5));
  EXPECT_EQ(Cell(list, row, 0), L"On");
  EXPECT_EQ(Cell(list, row, 3), L"HKEY_CURRENT_USER/Run");
  // Switched on here: Task Manager's switch in its enabled form, the Run value where it was.
  ASSERT_TRUE(WaitFor(
      [&] { return Cell(list, RowNamed(list, 1, L"QvTaskManaged"), 0) == L"On"; }, 5));
  BYTE on[16] = {};
  DWORD size = sizeof(on);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSwitchesKey, L"QvTaskManaged", RRF_RT_REG_BINARY,
                         nullptr, on, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::vector<BYTE>(on, on + size),
            (std::vector<BYTE>{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRunKey, L"QvTaskManaged"), L"C:\\tm.exe");
  Shot(m_main, L"tools_startups_enabled");
}

}  // namespace
}  // namespace qv
