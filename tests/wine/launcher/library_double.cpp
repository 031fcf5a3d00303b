// A stand-in for QuarveloDll.dll, built only into the launcher test's own folder: the three
// exports the launcher calls, each recording its name and opening a top-level window captioned
// "Quarvelo" that stays until it is closed, then returning the number stored in "Result"
// (default 1). The window records what reaches it (WM_CLOSE as "close", 1126 and 1127 by
// number) and refuses as many close requests as "RefuseCloses" says. The library records how it
// was unloaded: "FreeLibrary", or "ProcessExit" when it was still loaded at the end.
// Records and settings are values of HKEY_CURRENT_USER\Software\QuarveloLauncherTest; lists
// are texts of items each followed by ';'.
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kRecordKey[] = L"Software\\QuarveloLauncherTest";
constexpr wchar_t kWindowClass[] = L"QuarveloLauncherTestMainWindow";
HINSTANCE g_module = nullptr;

std::wstring ReadText(const wchar_t* name) {
  wchar_t buffer[2048] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kRecordKey, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  return buffer;
}

DWORD ReadNumber(const wchar_t* name, DWORD fallback) {
  DWORD value = 0;
  DWORD bytes = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kRecordKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                   &bytes) != ERROR_SUCCESS) {
    return fallback;
  }
  return value;
}

void Write(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
}

void WriteText(const wchar_t* name, const std::wstring& text) {
  Write(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void Append(const wchar_t* name, const std::wstring& item) {
  WriteText(name, ReadText(name) + item + L";");
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE: {
      Append(L"Messages", L"close");
      const DWORD refuse = ReadNumber(L"RefuseCloses", 0);
      if (refuse > 0) {
        const DWORD left = refuse - 1;
        Write(L"RefuseCloses", REG_DWORD, &left, sizeof(left));
        return 0;
      }
      DestroyWindow(window);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case 1126:
    case 1127:
      Append(L"Messages", std::to_wstring(message));
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

int RunMainWindow(const wchar_t* exportName) {
  Append(L"Calls", exportName);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = g_module;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);
  if (CreateWindowExW(0, kWindowClass, L"Quarvelo", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320,
                      200, nullptr, nullptr, g_module, nullptr) == nullptr) {
    return -1;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  UnregisterClassW(kWindowClass, g_module);
  return static_cast<int>(ReadNumber(L"Result", 1));
}

}  // namespace

extern "C" __declspec(dllexport) int ShowStartScan() { return RunMainWindow(L"ShowStartScan"); }
extern "C" __declspec(dllexport) int ShowMainDialogFirst() {
  return RunMainWindow(L"ShowMainDialogFirst");
}
extern "C" __declspec(dllexport) int ShowMainDialog() { return RunMainWindow(L"ShowMainDialog"); }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  if (reason == DLL_PROCESS_DETACH)
    WriteText(L"Unload", reserved == nullptr ? L"FreeLibrary" : L"ProcessExit");
  return TRUE;
}
