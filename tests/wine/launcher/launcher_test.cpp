// Quarvelo.exe end to end under Wine and Xvfb, run as a child process: beside the stand-in for
// its library (library_double.cpp, which records the export called, the messages its window
// gets and how it was unloaded), and alone in a folder without a library. The test finds the
// windows by caption from outside, as a second instance does, and reads the stand-in's records.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/win32/win32_handles.h"

#ifndef QV_LAUNCHER_EXE
#error QV_LAUNCHER_EXE must name the Quarvelo.exe beside the library stand-in
#endif
#ifndef QV_EXPECTED_VERSION
#error QV_EXPECTED_VERSION must give the version the program embeds
#endif

namespace qv {
namespace {

constexpr wchar_t kRecordKey[] = L"Software\\QuarveloLauncherTest";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quarvelo";
constexpr DWORD kGenerousMs = 30000;  // for anything that should take a second or so
constexpr char kNoLibraryText[] = "Message printed from executable\n";

std::wstring WinePath(const char* linuxPath) {
  std::wstring path = L"Z:" + FromUtf8(linuxPath);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

// ---- The stand-in's records and the product's setting ----

std::wstring Record(const wchar_t* name) {
  wchar_t buffer[2048] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kRecordKey, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  return buffer;
}

void SetRecordNumber(const wchar_t* name, DWORD value) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kRecordKey, name, REG_DWORD, &value, sizeof(value)),
            ERROR_SUCCESS);
}

void ResetRecords(DWORD result = 1) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kRecordKey);
  SetRecordNumber(L"Result", result);
}

// nullptr: no "Splash" value at all.
void SetSplash(const wchar_t* text) {
  if (text == nullptr) {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, L"Splash");
    return;
  }
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, L"Splash", REG_SZ, text,
                            static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

// ---- Windows, found from outside ----

// A top-level window captioned exactly `caption` (letter case included: FindWindowExW alone
// ignores it), of the given process when processId is not 0.
HWND FindTopLevel(const wchar_t* caption, DWORD processId = 0) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, nullptr, caption)) != nullptr) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (std::wstring(text) == caption && (processId == 0 || owner == processId)) return window;
  }
  return nullptr;
}

// Polls `done` every 20 ms, meanwhile handling the messages of the test's own windows.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return true;
}

// ---- The launcher as a child process, its standard output on a pipe ----

class CLauncherRun {
 public:
  CLauncherRun(const std::wstring& program, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 65536)) {
      ADD_FAILURE() << "CreatePipe " << GetLastError();
      return;
    }
    CUniqueHandle<CWin32HandleTraits> writer(write);
    m_reader.reset(read);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
      ADD_FAILURE() << "CreateProcessW " << GetLastError();
      return;
    }
    m_process.reset(process.hProcess);
    CloseHandle(process.hThread);
    m_processId = process.dwProcessId;
  }
  ~CLauncherRun() {
    if (running()) TerminateProcess(m_process.get(), 99);
  }
  CLauncherRun(const CLauncherRun&) = delete;
  CLauncherRun& operator=(const CLauncherRun&) = delete;

  [[nodiscard]] bool running() {
    return m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
  }
  [[nodiscard]] bool WaitForExit(DWORD timeoutMs) {
    return m_process && WaitUntil([this] { return !running(); }, timeoutMs);
  }
  [[nodiscard]] DWORD exitCode() {
    DWORD code = 0xDEADBEEF;
    GetExitCodeProcess(m_process.get(), &code);
    return code;
  }
  // What it wrote, once it has ended: what the pipe holds. Reading up to the pipe's end waits
  // for ever under Wine once the child has opened a window (a copy of the writing end outlives
  // the child).
  [[nodiscard]] std::string output() {
    std::string bytes;
    DWORD available = 0;
    while (PeekNamedPipe(m_reader.get(), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
      std::string chunk(available, '\0');
      DWORD got = 0;
      if (!ReadFile(m_reader.get(), chunk.data(), available, &got, nullptr) || got == 0) break;
      bytes.append(chunk, 0, got);
    }
    return bytes;
  }
  [[nodiscard]] DWORD processId() const { return m_processId; }

 private:
  CUniqueHandle<CWin32HandleTraits> m_process;
  CUniqueHandle<CWin32HandleTraits> m_reader;
  DWORD m_processId = 0;
};

// A second instance, run to its end: it must end by itself, normally and silently.
void RunSecondInstance(const std::wstring& arguments) {
  SCOPED_TRACE("second instance " + ToUtf8(arguments));
  CLauncherRun second(WinePath(QV_LAUNCHER_EXE), arguments);
  ASSERT_TRUE(second.WaitForExit(kGenerousMs));
  EXPECT_EQ(second.exitCode(), 0u);
  EXPECT_EQ(second.output(), "");
}

TEST(Launcher, EachCommandLineCallsOneExportWithoutSplash) {
  struct Case {
    const wchar_t* arguments;
    const wchar_t* splash;  // nullptr: no value
    DWORD result;           // what the export returns
    const wchar_t* calls;
    const wchar_t* unload;
  };
  const Case cases[] = {
      {L"-t", nullptr, 1, L"ShowStartScan;", L"FreeLibrary"},
      {L"-d", nullptr, 1, L"ShowMainDialog;", L"FreeLibrary"},
      {L"", L"0", 1, L"ShowMainDialogFirst;", L"FreeLibrary"},
      {L"-d -t", L"1", 1, L"ShowStartScan;", L"FreeLibrary"},
      {L"/T /D -C", L"0", 1, L"ShowMainDialogFirst;", L"FreeLibrary"},
      {L"x-dx", nullptr, 1, L"ShowMainDialog;", L"FreeLibrary"},
      // Any result but 1 leaves the library loaded until the process ends.
      {L"-d", nullptr, 0, L"ShowMainDialog;", L"ProcessExit"},
      // Nothing runs that "-c" could close: the library is never loaded.
      {L"-c", nullptr, 1, L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("arguments \"" + ToUtf8(c.arguments) + "\"");
    ResetRecords(c.result);
    SetSplash(c.splash);
    CLauncherRun run(WinePath(QV_LAUNCHER_EXE), c.arguments);
    bool sawSplash = false;
    HWND mainWindow = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
          sawSplash = sawSplash || FindTopLevel(L"QUARVELO") != nullptr;
          mainWindow = FindTopLevel(L"Quarvelo", run.processId());
          return mainWindow != nullptr || !run.running();
        },
        kGenerousMs));
    EXPECT_FALSE(sawSplash);
    EXPECT_EQ(Record(L"Calls"), c.calls);
    if (mainWindow != nullptr) PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    ASSERT_TRUE(run.WaitForExit(kGenerousMs));
    EXPECT_EQ(run.exitCode(), 0u);
    EXPECT_EQ(run.output(), "");
    EXPECT_EQ(Record(L"Unload"), c.unload);
  }
}

TEST(Launcher, WithoutTheLibraryItSaysSoOnStandardOutputAndEnds) {
  SetSplash(L"0");
  for (const wchar_t* arguments : {L"-t", L"-d", L""}) {
    SCOPED_TRACE("arguments \"" + ToUtf8(arguments) + "\"");
    CLauncherRun run(WinePath(QV_LAUNCHER_ALONE_EXE), arguments);
    ASSERT_TRUE(run.WaitForExit(kGenerousMs));
    EXPECT_EQ(run.exitCode(), 0u);
    EXPECT_EQ(run.output(), kNoLibraryText);
  }
}

// Top-level windows of the test's own process captioned "Quarvelo" and "quarvelo" (answered
// while the test waits, since its waits handle messages): a second instance must take neither
// for the running instance's main window.
std::vector<UINT> g_decoyMessages;

LRESULT CALLBACK DecoyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE || message == 1126 || message == 1127) {
    g_decoyMessages.push_back(message);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<CUniqueHandle<CWin32WindowTraits>> MakeDecoys() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DecoyProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QuarveloLauncherTestDecoy";
  RegisterClassW(&windowClass);
  std::vector<CUniqueHandle<CWin32WindowTraits>> decoys;
  for (const wchar_t* caption : {L"Quarvelo", L"quarvelo"}) {
    decoys.emplace_back(CreateWindowExW(0, windowClass.lpszClassName, caption,
                                        WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                        windowClass.hInstance, nullptr));
  }
  return decoys;
}

// Waits for the main window's record of messages to become `expected`.
::testing::AssertionResult MessagesBecome(const wchar_t* expected) {
  if (WaitUntil([&] { return Record(L"Messages") == expected; }, 10000))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "messages \"" << ToUtf8(Record(L"Messages"))
                                       << "\", expected \"" << ToUtf8(expected) << "\"";
}

TEST(Launcher, ASecondInstanceForwardsToTheRunningOneAndEnds) {
  ResetRecords();
  CLauncherRun first(WinePath(QV_LAUNCHER_EXE), L"-d");
  HWND mainWindow = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] { return (mainWindow = FindTopLevel(L"Quarvelo", first.processId())) != nullptr; },
      kGenerousMs));
  const auto decoys = MakeDecoys();  // made after the main window: above it in the window order

  RunSecondInstance(L"");
  EXPECT_TRUE(MessagesBecome(L"1127;"));
  RunSecondInstance(L"-t");
  EXPECT_TRUE(MessagesBecome(L"1127;1126;"));
  // A refused close is asked once more after 100 ms, and the start request still follows.
  SetRecordNumber(L"RefuseCloses", 5);
  RunSecondInstance(L"-c");
  EXPECT_TRUE(MessagesBecome(L"1127;1126;close;close;1127;"));
  EXPECT_TRUE(first.running());
  EXPECT_TRUE(IsWindow(mainWindow));
  // An idle instance closes at the first request, and the first instance ends.
  SetRecordNumber(L"RefuseCloses", 0);
  RunSecondInstance(L"-c");
  EXPECT_TRUE(MessagesBecome(L"1127;1126;close;close;1127;close;"));
  ASSERT_TRUE(first.WaitForExit(kGenerousMs));
  EXPECT_EQ(first.exitCode(), 0u);
  // Only the first instance called the library, and unloaded it after its result of 1.
  EXPECT_EQ(Record(L"Calls"), L"ShowMainDialog;");
  EXPECT_EQ(Record(L"Unload"), L"FreeLibrary");
  EXPECT_TRUE(g_decoyMessages.empty());
}

TEST(Launcher, ProgramCarriesItsIconManifestAndVersion) {
  const std::wstring program = WinePath(QV_LAUNCHER_EXE);
  CUniqueHandle<CWin32ModuleTraits> image(LoadLibraryExW(
      program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(image.valid()) << GetLastError();
  EXPECT_NE(FindResourceW(image.get(), MAKEINTRESOURCEW(128), RT_GROUP_ICON), nullptr);
  const HRSRC manifest = FindResourceW(image.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(manifest, nullptr);
  const std::string xml(
      static_cast<const char*>(LockResource(LoadResource(image.get(), manifest))),
      SizeofResource(image.get(), manifest));
  EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  // The main window writes the machine's keys: the program asks for administrator rights.
  EXPECT_NE(xml.find("level=\"requireAdministrator\""), std::string::npos);

  DWORD ignored = 0;
  std::vector<BYTE> block(GetFileVersionInfoSizeW(program.c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(block.size()),
                                  block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(version, QV_EXPECTED_VERSION);
}

// ---- The splash ----

struct SCREEN_SHOT {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // top-down rows, 0x00RRGGBB
  [[nodiscard]] std::uint32_t At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
};

// The whole screen, through the screen's device context; also written to `path` as a BMP file.
SCREEN_SHOT TakeScreenShot(const std::wstring& path) {
  SCREEN_SHOT shot;
  shot.width = GetSystemMetrics(SM_CXSCREEN);
  shot.height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, shot.width, shot.height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  shot.pixels.resize(static_cast<std::size_t>(shot.width) * shot.height);
  GetDIBits(memory, bitmap, 0, shot.height, shot.pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  for (std::uint32_t& pixel : shot.pixels) pixel &= 0xFFFFFF;

  const DWORD bits = static_cast<DWORD>(shot.pixels.size() * 4);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
  file.bfSize = file.bfOffBits + bits;
  CUniqueHandle<CWin32FileTraits> out(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_TRUE(out.valid()) << ToUtf8(path);
  DWORD written = 0;
  WriteFile(out.get(), &file, sizeof(file), &written, nullptr);
  WriteFile(out.get(), &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr);
  WriteFile(out.get(), shot.pixels.data(), bits, &written, nullptr);
  return shot;
}

TEST(Launcher, SplashShowsItsPictureThenClosesByItselfBeforeTheExport) {
  ResetRecords();
  SetSplash(nullptr);
  CLauncherRun run(WinePath(QV_LAUNCHER_EXE), L"");
  HWND splash = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (splash = FindTopLevel(L"QUARVELO")) != nullptr; },
                        kGenerousMs));
  const ULONGLONG appeared = GetTickCount64();
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(splash) != FALSE; }, 5000));
  Sleep(300);  // let it paint

  // A dialog without a caption bar, of this process, sized to its 440 x 200 picture.
  const LONG_PTR style = GetWindowLongPtrW(splash, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_NE(style & WS_POPUP, 0);
  wchar_t className[32] = {};
  GetClassNameW(splash, className, 32);
  EXPECT_EQ(std::wstring(className), L"#32770");
  DWORD owner = 0;
  GetWindowThreadProcessId(splash, &owner);
  EXPECT_EQ(owner, run.processId());
  RECT box{};
  GetWindowRect(splash, &box);
  EXPECT_EQ(box.right - box.left, 440);
  EXPECT_EQ(box.bottom - box.top, 200);

  CreateDirectoryW(WinePath(QV_SCREENSHOT_DIR).c_str(), nullptr);
  const SCREEN_SHOT shot = TakeScreenShot(WinePath(QV_SCREENSHOT_DIR) + L"\\launcher-splash.bmp");
  // The frame line, white paper, the blue emblem and the product name's dark ink.
  EXPECT_EQ(shot.At(box.left, box.top), 0xBBCFF2u);
  EXPECT_EQ(shot.At(box.left + 6, box.top + 6), 0xFFFFFFu);
  int line = 0, blue = 0, ink = 0;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      const std::uint32_t pixel = shot.At(x, y);
      line += pixel == 0xBBCFF2u;
      blue += pixel == 0x2B63C8u;
      ink += pixel == 0x1F3F7Au;
    }
  }
  EXPECT_GT(line, 2 * (440 + 200));  // the frame and the rule under the name
  EXPECT_GT(blue, 3000);
  EXPECT_GT(ink, 300);

  // Enter, Escape and a close request leave it up; so do second instances, which find no main
  // window to forward to and end; the library is not called yet.
  PostMessageW(splash, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(splash, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(splash, WM_COMMAND, IDOK, 0);
  PostMessageW(splash, WM_COMMAND, IDCANCEL, 0);
  PostMessageW(splash, WM_CLOSE, 0, 0);
  Sleep(300);
  EXPECT_TRUE(IsWindow(splash));
  RunSecondInstance(L"-c");
  RunSecondInstance(L"");
  EXPECT_EQ(Record(L"Calls"), L"");

  // Closed by its timer (4 s; checked loosely), then the first-start export.
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(splash); }, 15000));
  EXPECT_GE(GetTickCount64() - appeared, 2500u);
  HWND mainWindow = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] { return (mainWindow = FindTopLevel(L"Quarvelo", run.processId())) != nullptr; },
      kGenerousMs));
  EXPECT_EQ(Record(L"Calls"), L"ShowMainDialogFirst;");
  PostMessageW(mainWindow, WM_CLOSE, 0, 0);
  ASSERT_TRUE(run.WaitForExit(kGenerousMs));
  EXPECT_EQ(run.exitCode(), 0u);
}

}  // namespace
}  // namespace qv
