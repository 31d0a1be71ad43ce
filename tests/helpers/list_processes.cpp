// list_processes.exe: prints the system's process list in the order a Toolhelp snapshot
// walks it, one process a line: "PID PARENT_PID NAME" (NAME as UTF-8). That order is the one
// in which a search by executable name meets the processes.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>

int main() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    char name[MAX_PATH * 3];
    int n = WideCharToMultiByte(CP_UTF8, 0, entry.szExeFile, -1, name, sizeof name, nullptr,
                                nullptr);
    if (n == 0) name[0] = '\0';
    std::printf("%lu %lu %s\n", entry.th32ProcessID, entry.th32ParentProcessID, name);
  }
  CloseHandle(snapshot);
  std::fflush(stdout);
  return 0;
}
