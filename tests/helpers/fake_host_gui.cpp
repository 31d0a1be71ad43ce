// fake_host_gui.exe: a stand-in for the host program. A GUI-subsystem program that shows
// nothing and waits until it is terminated. Copied under the host's executable names
// (and look-alikes) by the end-to-end scenarios.
//
//   fake_host_gui.exe [PID_FILE]
//
// With PID_FILE it first writes its process id there (decimal, one line), so a scenario can
// tell which of several stand-ins is which.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc > 1) {
    FILE* file = std::fopen(__argv[1], "wb");
    if (file) {
      std::fprintf(file, "%lu\n", GetCurrentProcessId());
      std::fclose(file);
    }
  }
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
  }
}
