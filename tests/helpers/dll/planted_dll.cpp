// A library planted in the host folder under a library's name ("gdi32.dll", "winmm.dll", ...;
// the build makes one copy per name). If any process ever loads it, its entry point adds a
// line to PLANTED_DLL_WAS_LOADED.txt beside itself, naming the library and the process that
// loaded it, so a test can tell whether the installer's own process ran it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH], process[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n >= MAX_PATH) return TRUE;
    DWORD p = GetModuleFileNameA(nullptr, process, MAX_PATH);
    process[p < MAX_PATH ? p : 0] = 0;
    char line[2 * MAX_PATH + 16];
    while (n > 0 && path[n - 1] != '\\') --n;
    lstrcpyA(line, path + n);   // the library's own file name
    lstrcatA(line, " ");
    lstrcatA(line, process);
    lstrcatA(line, "\r\n");
    lstrcpyA(path + n, "PLANTED_DLL_WAS_LOADED.txt");
    HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written;
      WriteFile(f, line, lstrlenA(line), &written, nullptr);
      CloseHandle(f);
    }
  }
  return TRUE;
}
