// A library planted beside a program under the name of a system library (version.dll,
// SRCLIENT.DLL): when a process loads it, it leaves "<its own path>.loaded" beside itself, and
// when one of its functions is called, "<its own path>.called". The functions stand in for the
// system library's that the programs call, each failing, so a program that imports it still
// starts and the loading is recorded rather than a start refused.
#include <windows.h>

namespace {

HMODULE g_self = nullptr;

// Leaves "<its own path><suffix>" beside the library.
void Record(const wchar_t* suffix) {
  wchar_t path[MAX_PATH + 16] = {};
  const DWORD length = GetModuleFileNameW(g_self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  lstrcatW(path, suffix);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = instance;
    Record(L".loaded");
  }
  return TRUE;
}

extern "C" {

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD) {
  Record(L".called");
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return 0;
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) {
  Record(L".called");
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return FALSE;
}

__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) {
  Record(L".called");
  return FALSE;
}

__declspec(dllexport) BOOL WINAPI SRSetRestorePointW(void*, void*) {
  Record(L".called");
  SetLastError(ERROR_SERVICE_DISABLED);
  return FALSE;
}

}  // extern "C"
