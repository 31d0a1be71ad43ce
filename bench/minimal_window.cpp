// The reference for start-up in bench/run.sh: the least a Win32 window program does before
// its window is on screen. It registers a class, creates a window, shows it, runs its message
// loop and closes itself half a second later, so an observer can time the window's first
// appearance and the process's memory floor under the same system. bench/run.sh also links
// it with the installer's carried inputs (minimal_carrying.exe): the same program with the
// same bytes in its image.
#include <windows.h>

namespace {

const UINT_PTR kCloseTimer = 1;

LRESULT CALLBACK MinimalWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kCloseTimer) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = MinimalWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "MinimalWindow";
  if (!RegisterClassA(&windowClass)) return 1;
  HWND hwnd = CreateWindowA("MinimalWindow", "Minimal window", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                            CW_USEDEFAULT, CW_USEDEFAULT, 281, 252, nullptr, nullptr, instance,
                            nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  SetTimer(hwnd, kCloseTimer, 500, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
