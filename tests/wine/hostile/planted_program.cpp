// A program planted where a system program would be looked for by its bare name (regedit.exe in
// the folder the console is started from): started, it leaves "<its own path>.started" beside
// itself and ends. Built with QV_LOAD_BY_NAME it is the probe that loads SRCLIENT.DLL by its bare
// name, as the programs must not: the proof that a library planted beside it is loaded then.
#include <windows.h>

int wmain() {
  wchar_t path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 3;
  lstrcatW(path, L".started");
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
#ifdef QV_LOAD_BY_NAME
  if (LoadLibraryW(L"SRCLIENT.DLL") == nullptr) return 4;
#endif
  return 0;
}
