// Delay and ProcessEvents. Delay keeps the window alive by dispatching messages, and between
// its checks the thread sleeps until a message arrives or the remaining time is up, so a
// long installation costs next to no processor time.
#include <windows.h>
#include <mmsystem.h>

#include "services/dispatch_win32.h"
#include "services/platform.h"
#include "window/engine_win32.h"

void DispatchOneMessage(MSG* msg) {
  if (EnginePreTranslate(msg)) return;
  TranslateMessage(msg);
  DispatchMessageA(msg);
}

// Dispatches what is waiting; answers true when it stopped at a waiting quit request.
static bool DispatchWaiting() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (msg.message == WM_QUIT) return true;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {   // arrived between the two looks: leave it for the loop
      PostQuitMessage(static_cast<int>(msg.wParam));
      return true;
    }
    DispatchOneMessage(&msg);
  }
  return false;
}

void ProcessEvents() { DispatchWaiting(); }

void Delay(int32_t ms) {
  if (ms <= 0) return;
  // Waits shorter than the system tick (~16 ms) would stretch without a finer timer.
  const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
  const DWORD start = GetTickCount();
  bool quitWaiting = DispatchWaiting();
  quitWaiting = DispatchWaiting() || quitWaiting;
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed > static_cast<DWORD>(ms)) break;
    const DWORD remaining = static_cast<DWORD>(ms) - elapsed + 1;
    if (quitWaiting) {
      // A waiting quit request counts as input: waiting for input would return at once.
      Sleep(remaining);
    } else {
      MsgWaitForMultipleObjectsEx(0, nullptr, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    quitWaiting = DispatchWaiting();
    quitWaiting = DispatchWaiting() || quitWaiting;
  }
  if (fineTimer) timeEndPeriod(1);
}
