// A library planted in the host folder under a system library's name ("gdi32.dll"). If any
// process ever loads it, its entry point leaves a marker file beside it, so a test can tell.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    while (n > 0 && path[n - 1] != '\\') --n;
    lstrcpyA(path + n, "PLANTED_DLL_WAS_LOADED.txt");
    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written;
      WriteFile(f, "loaded\r\n", 8, &written, nullptr);
      CloseHandle(f);
    }
  }
  return TRUE;
}
