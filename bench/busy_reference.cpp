// The reference for processor share in bench/run.sh: a window program that pauses the way a
// naive pause does, polling the message queue and the clock without ever waiting. It shows a
// window with a 30 ms timer (standing for a turning spinner), pauses for
// TOVARA_BENCH_BUSY_MS milliseconds (default 20000) in one such loop, and exits.
#include <windows.h>

#include <cstdlib>

namespace {

const UINT_PTR kSpinTimer = 1;

LRESULT CALLBACK BusyWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Keeps the window answering, and never lets the thread sleep.
void NaivePause(DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start <= ms) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  DWORD ms = 20000;
  char value[32];
  if (GetEnvironmentVariableA("TOVARA_BENCH_BUSY_MS", value, sizeof value) > 0) {
    const long parsed = std::atol(value);
    if (parsed > 0) ms = static_cast<DWORD>(parsed);
  }
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = BusyWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "BusyReference";
  if (!RegisterClassA(&windowClass)) return 1;
  HWND hwnd = CreateWindowA("BusyReference", "Busy reference", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                            CW_USEDEFAULT, CW_USEDEFAULT, 281, 252, nullptr, nullptr, instance,
                            nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  SetTimer(hwnd, kSpinTimer, 30, nullptr);
  NaivePause(ms);
  KillTimer(hwnd, kSpinTimer);
  DestroyWindow(hwnd);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  return 0;
}
